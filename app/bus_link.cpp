#include "app/bus_link.h"

#include <QDBusMessage>

BusLink::BusLink(QDBusConnection connection, QObject* parent)
    : QObject(parent), m_connection(std::move(connection)) {
    if (m_connection.isConnected()) {
        m_listening = m_connection.connect(QString(), kPath, kInterface, kMember, this,
                                           SLOT(OnPost(int, qlonglong)));
    }
}

void BusLink::Post(int32_t command, int64_t argument) {
    if (!m_listening) {
        return;
    }
    QDBusMessage message = QDBusMessage::createSignal(kPath, kInterface, kMember);
    message << static_cast<int>(command) << static_cast<qlonglong>(argument);
    m_connection.send(message);
}

void BusLink::OnPost(int command, qlonglong argument) {
    emit posted(command, argument);
}
