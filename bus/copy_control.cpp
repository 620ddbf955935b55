#include "bus/copy_control.h"

#include "bus/bus_link.h"
#include "bus/copy_status.h"
#include "logging/event_log.h"
#include "session/copy_session.h"
#include "vocabulary/bus_names.h"

#include <QDBusMessage>

namespace {

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
    m_announcedStatus = WithoutFrameCount(CopyStatus(m_session));
    m_session.AttachFace(*this);
}

CopyControl::~CopyControl() {
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
    if (LogWanted(LogLevel::Debug)) {
        const QString sender =
            m_holder->calledFromDBus() ? m_holder->message().service() : QStringLiteral("itself");
        Log(LogLevel::Debug, QStringLiteral("bus: %1 from %2: %3")
                                 .arg(QLatin1String(method), sender,
                                      reply.Refused() ? "refused (" + reply.message.left(200) + ')'
                                                      : QStringLiteral("done"))
                                 .toStdString());
    }
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
