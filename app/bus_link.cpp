#include "app/bus_link.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

BusLink::BusLink(QDBusConnection connection, QObject* parent)
    : QObject(parent), m_connection(std::move(connection)) {
    if (m_connection.isConnected()) {
        // The slot takes the whole message, so Qt never converts the arguments to
        // fixed types: a message of another shape would otherwise abort the process.
        m_listening = m_connection.connect(QString(), kPath, kInterface, kMember,
                                           QString::fromLatin1(kSignature), this,
                                           SLOT(OnMessage(QDBusMessage)));
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

void BusLink::OnMessage(const QDBusMessage& message) {
    if (message.type() != QDBusMessage::SignalMessage ||
        message.signature() != QLatin1String(kSignature)) {
        return;
    }
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() != 2 || arguments[0].metaType() != QMetaType::fromType<int>() ||
        arguments[1].metaType() != QMetaType::fromType<qlonglong>()) {
        return;
    }
    emit posted(arguments[0].toInt(), arguments[1].toLongLong());
}

QString BusLink::CopyBusName(int32_t instanceNumber) {
    return QStringLiteral("uk.KovaCo.Skyfill.Copy%1").arg(instanceNumber + 1);
}

BusLink::Claim BusLink::ClaimCopyNumber(int32_t instanceNumber) {
    QDBusConnectionInterface* bus = m_listening ? m_connection.interface() : nullptr;
    if (bus == nullptr) {
        return Claim::Failed;
    }
    const QString name = CopyBusName(instanceNumber);
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus->registerService(name, QDBusConnectionInterface::DontQueueService,
                             QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        return Claim::Failed;
    }
    if (reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        return Claim::Taken;
    }
    m_claimedName = name;
    return Claim::Granted;
}

void BusLink::ReleaseCopyNumber() {
    if (!m_claimedName.isEmpty() && m_connection.isConnected()) {
        m_connection.interface()->unregisterService(m_claimedName);
    }
    m_claimedName.clear();
}
