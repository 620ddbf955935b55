#include "app/copy_control.h"

#include "app/main_window.h"

CopyControl::CopyControl(CopyControlObject* holder, MainWindow& window)
    : QDBusAbstractAdaptor(holder), m_holder(holder), m_window(window) {}

void CopyControl::Answer(const ControlReply& reply) {
    // Called directly (not from the bus) there is nobody to answer.
    if (reply.Refused() && m_holder->calledFromDBus()) {
        m_holder->sendErrorReply(reply.errorName, reply.message);
    }
}

QVariantMap CopyControl::Status() {
    return m_window.RemoteStatus();
}

void CopyControl::Start() {
    Answer(m_window.RemoteStart());
}

void CopyControl::Stop() {
    Answer(m_window.RemoteStop());
}

void CopyControl::SelectSlot(int slot) {
    Answer(m_window.RemoteSelectSlot(slot));
}

QStringList CopyControl::LoadPresets(const QString& path) {
    const ControlReply reply = m_window.RemoteLoadPresets(path);
    Answer(reply);
    return reply.warnings;
}

void CopyControl::SetOutput(int width, int height, const QString& rate) {
    Answer(m_window.RemoteSetOutput(width, height, rate));
}
