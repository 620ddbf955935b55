#include "bus/bus_link.h"

#include <QDBusMessage>

BusLink::BusLink(QDBusConnection connection, QObject* parent)
    : QObject(parent), m_connection(std::move(connection)) {
    if (m_connection.isConnected()) {
        // The slot takes the whole message, so Qt never converts the arguments to
        // fixed types: a message of another shape would otherwise abort the process.
        m_listening = m_connection.connect(
            QString(), bus_names::kPath, bus_names::kCoordinationInterface, bus_names::kPostMember,
            QString::fromLatin1(bus_names::kPostSignature), this, SLOT(OnMessage(QDBusMessage)));
    }
}

void BusLink::Post(int32_t command, int64_t argument) {
    if (!m_listening) {
        return;
    }
    QDBusMessage message = QDBusMessage::createSignal(
        bus_names::kPath, bus_names::kCoordinationInterface, bus_names::kPostMember);
    message << static_cast<int>(command) << static_cast<qlonglong>(argument);
    m_connection.send(message);
}

void BusLink::OnMessage(const QDBusMessage& message) {
    if (message.type() != QDBusMessage::SignalMessage ||
        message.signature() != QLatin1String(bus_names::kPostSignature)) {
        return;
    }
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() != 2 || arguments[0].metaType() != QMetaType::fromType<int>() ||
        arguments[1].metaType() != QMetaType::fromType<qlonglong>()) {
        return;
    }
    Deliver(arguments[0].toInt(), arguments[1].toLongLong());
}

bool BusLink::ExportAdaptors(QObject* holder) {
    return m_listening &&
           m_connection.registerObject(bus_names::kPath, holder, QDBusConnection::ExportAdaptors);
}

namespace {

// The bus's own service, and how long the window thread may wait on it.
constexpr int kBusCallTimeoutMs = 5000;

QDBusMessage BusCall(const char* method) {
    return QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(method));
}

} // namespace

BusLink::Claim BusLink::ClaimCopyNumber(int32_t instanceNumber) {
    if (!m_listening) {
        return Claim::Failed;
    }
    // Without queueing: a taken name is refused at once, never handed over later.
    constexpr uint kDoNotQueue = 4;
    constexpr uint kPrimaryOwner = 1;
    constexpr uint kAlreadyOwner = 4;
    const QString name = QString::fromStdString(bus_names::CopyName(instanceNumber + 1));
    QDBusMessage request = BusCall("RequestName");
    request << name << kDoNotQueue;
    const QDBusMessage reply = m_connection.call(request, QDBus::Block, kBusCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1) {
        return Claim::Failed;
    }
    const uint code = reply.arguments()[0].toUInt();
    if (code != kPrimaryOwner && code != kAlreadyOwner) {
        return Claim::Taken;
    }
    m_claimedName = name;
    return Claim::Granted;
}

void BusLink::ReleaseCopyNumber() {
    if (!m_claimedName.isEmpty() && m_connection.isConnected()) {
        QDBusMessage release = BusCall("ReleaseName");
        release << m_claimedName;
        m_connection.call(release, QDBus::Block, kBusCallTimeoutMs);
    }
    m_claimedName.clear();
}
