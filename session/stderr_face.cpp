#include "session/stderr_face.h"

#include "session/copy_session.h"
#include "session/copy_title.h"

#include <cstdio>

void StderrFace::StatusChanged() {
    // Said once the source exists, so whoever reads it can find the source.
    if (!m_titleSaid && m_session.CopyNumber() > 0) {
        m_titleSaid = true;
        std::fprintf(stderr, "skyfill: %s\n",
                     CopyTitle(m_session.CopyNumber()).toUtf8().constData());
        std::fflush(stderr);
    }
}

void StderrFace::ShowMessage(const SessionMessage& message) {
    std::fprintf(stderr, "skyfill: %s: %s\n", message.caption.toLocal8Bit().constData(),
                 message.text.toLocal8Bit().constData());
    std::fflush(stderr);
}

std::optional<bool> StderrFace::Ask(const SessionQuestion& question) {
    std::fprintf(stderr, "skyfill: %s: %s - %s (nobody to ask)\n",
                 question.caption.toLocal8Bit().constData(),
                 question.text.toLocal8Bit().constData(), question.unattendedAnswer ? "yes" : "no");
    std::fflush(stderr);
    return std::nullopt;
}
