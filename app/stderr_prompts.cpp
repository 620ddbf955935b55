#include "app/stderr_prompts.h"

#include <cstdio>

bool StderrPrompts::AskOkCancel(const QString& caption, const QString& text) {
    std::fprintf(stderr, "skyfill: %s: %s - yes (no display to ask on)\n",
                 caption.toLocal8Bit().constData(), text.toLocal8Bit().constData());
    return true;
}

void StderrPrompts::Tell(const QString& caption, const QString& text) {
    std::fprintf(stderr, "skyfill: %s: %s\n", caption.toLocal8Bit().constData(),
                 text.toLocal8Bit().constData());
}
