#include "bus/copy_control.h"

#include "bus/bus_link.h"
#include "bus/copy_status.h"
#include "logging/event_log.h"
#include "session/copy_session.h"
#include "vocabulary/bus_names.h"

#include <QDBusMessage>

namespace {

// While sending, a frame is drawn at least every quarter second; one that has not come
// by then will not. Looked for a few times a frame: each look wakes the copy, and a page
// asks every copy once a second.
constexpr int kSnapshotPollMs = 40;
constexpr int kSnapshotWaitMs = 2000;

const char* ErrorName(CommandReply::Refusal refusal) {
    switch (refusal) {
    case CommandReply::Refusal::InvalidArgs:
        return bus_names::kErrorInvalidArgs;
    case CommandReply::Refusal::NotReady:
        return bus_names::kErrorNotReady;
    case CommandReply::Refusal::Sending:
        return bus_names::kErrorSending;
    case CommandReply::Refusal::File:
        return bus_names::kErrorFile;
    case CommandReply::Refusal::Failed:
    case CommandReply::Refusal::None:
        break;
    }
    return bus_names::kErrorFailed;
}

QVariantMap WithoutFrameCount(QVariantMap status) {
    status.remove(QString::fromLatin1(status_key::kFramesSent));
    return status;
}

// With --verbose, who asked for what and how it went.
void LogCall(const char* method, const QString& sender, const CommandReply& reply) {
    if (LogWanted(LogLevel::Debug)) {
        Log(LogLevel::Debug, QStringLiteral("bus: %1 from %2: %3")
                                 .arg(QLatin1String(method), sender,
                                      reply.Refused() ? "refused (" + reply.message.left(200) + ')'
                                                      : QStringLiteral("done"))
                                 .toStdString());
    }
}

} // namespace

CopyControl* CopyControl::Export(BusLink& link, CopySession& session, QObject* parent) {
    auto* holder = new CopyControlObject(parent);
    auto* control = new CopyControl(holder, session);
    if (!link.ExportAdaptors(holder)) {
        delete holder;
        return nullptr;
    }
    return control;
}

CopyControl::CopyControl(CopyControlObject* holder, CopySession& session)
    : QDBusAbstractAdaptor(holder), m_holder(holder), m_session(session) {
    m_statusTimer.setSingleShot(true);
    m_statusTimer.setInterval(0);
    m_statusTimer.callOnTimeout([this] { AnnounceStatus(); });
    m_snapshotTimer.setSingleShot(true);
    m_snapshotTimer.setInterval(kSnapshotPollMs);
    m_snapshotTimer.callOnTimeout([this] { ServeSnapshots(); });
    m_announcedStatus = WithoutFrameCount(CopyStatus(m_session));
    m_session.AttachFace(*this);
}

CopyControl::~CopyControl() {
    if (!m_snapshotCalls.isEmpty()) {
        m_session.DropSnapshot();
    }
    while (!m_snapshotCalls.isEmpty()) {
        AnswerSnapshot({.reply = CommandReply::Refuse(CommandReply::Refusal::NotReady,
                                                      QStringLiteral("This copy is ending"))});
    }
    m_session.DetachFace(*this);
}

void CopyControl::StatusChanged() {
    if (!m_statusTimer.isActive()) {
        m_statusTimer.start();
    }
}

void CopyControl::AnnounceStatus() {
    const QVariantMap status = CopyStatus(m_session);
    QVariantMap compared = WithoutFrameCount(status);
    if (compared != m_announcedStatus) {
        m_announcedStatus = std::move(compared);
        emit StatusChanged(status);
    }
}

void CopyControl::Answer(const char* method, const CommandReply& reply) {
    LogCall(method,
            m_holder->calledFromDBus() ? m_holder->message().service() : QStringLiteral("itself"),
            reply);
    // Called directly (not from the bus) there is nobody to answer.
    if (reply.Refused() && m_holder->calledFromDBus()) {
        m_holder->sendErrorReply(QString::fromLatin1(ErrorName(reply.refusal)), reply.message);
    }
}

QVariantMap CopyControl::Status() {
    return CopyStatus(m_session);
}

void CopyControl::Start() {
    Answer("Start", m_session.StartSending(Caller::Program));
}

void CopyControl::Stop() {
    Answer("Stop", m_session.StopSending(Caller::Program));
}

void CopyControl::SelectSlot(int slot) {
    Answer("SelectSlot", m_session.SelectSlot(slot - 1, Caller::Program));
}

QStringList CopyControl::LoadPresets(const QString& path) {
    const CommandReply reply = m_session.LoadPresets(path, Caller::Program);
    Answer("LoadPresets", reply);
    return reply.warnings;
}

void CopyControl::SetOutput(int width, int height, const QString& rate) {
    Answer("SetOutput", m_session.SetOutput(width, height, rate, Caller::Program));
}

void CopyControl::SetPixelFormat(const QString& format) {
    Answer("SetPixelFormat", m_session.SetPixelFormat(format, Caller::Program));
}

void CopyControl::Snapshot(int maxWidth) {
    // Called directly there is nobody to give the picture to.
    if (!m_holder->calledFromDBus()) {
        return;
    }
    m_holder->setDelayedReply(true);
    m_snapshotCalls.append({m_holder->connection(), m_holder->message(), maxWidth});
    if (m_snapshotCalls.size() == 1) {
        ServeSnapshots();
    }
}

// The session makes one picture at a time; each call waits for those ahead of it.
void CopyControl::ServeSnapshots() {
    while (!m_snapshotCalls.isEmpty()) {
        if (!m_snapshotAsked) {
            const CommandReply asked = m_session.RequestSnapshot(m_snapshotCalls.front().maxWidth);
            if (asked.Refused()) {
                AnswerSnapshot({.reply = asked});
                continue;
            }
            m_snapshotAsked = true;
            m_snapshotWait.start();
        }
        std::optional<OutputSnapshot> snapshot = m_session.TakeSnapshot();
        if (!snapshot && !m_snapshotWait.hasExpired(kSnapshotWaitMs)) {
            m_snapshotTimer.start();
            return;
        }
        if (!snapshot) {
            m_session.DropSnapshot();
            snapshot = OutputSnapshot{
                .reply = CommandReply::Refuse(
                    CommandReply::Refusal::Failed,
                    QStringLiteral("No frame was drawn within %1 s").arg(kSnapshotWaitMs / 1000))};
        }
        AnswerSnapshot(*snapshot);
    }
}

void CopyControl::AnswerSnapshot(const OutputSnapshot& snapshot) {
    const SnapshotCall call = m_snapshotCalls.takeFirst();
    m_snapshotAsked = false;
    LogCall("Snapshot", call.message.service(), snapshot.reply);
    call.connection.send(
        snapshot.reply.Refused()
            ? call.message.createErrorReply(QString::fromLatin1(ErrorName(snapshot.reply.refusal)),
                                            snapshot.reply.message)
            : call.message.createReply({snapshot.width, snapshot.height, snapshot.jpeg}));
}
