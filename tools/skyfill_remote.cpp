// skyfill-remote start|stop: starts or stops sending in every running copy of Skyfill
// that has finished starting, through the coordination signal on the session bus. The
// same as
//   dbus-send --session --type=signal /KovaCo/UK/Skyfill uk.KovaCo.Skyfill.Post int32:1 int64:1

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 2 || (std::strcmp(argv[1], "start") != 0 && std::strcmp(argv[1], "stop") != 0)) {
        std::fprintf(stderr, "usage: skyfill-remote start|stop\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "skyfill-remote: no session bus: %s\n",
                     bus.lastError().message().toLocal8Bit().constData());
        return 1;
    }
    QDBusMessage post =
        QDBusMessage::createSignal(QStringLiteral("/KovaCo/UK/Skyfill"),
                                   QStringLiteral("uk.KovaCo.Skyfill"), QStringLiteral("Post"));
    post << 1 << static_cast<qlonglong>(std::strcmp(argv[1], "start") == 0 ? 1 : 0);
    if (!bus.send(post)) {
        std::fprintf(stderr, "skyfill-remote: the signal could not be sent\n");
        return 1;
    }
    // A round trip to the bus returns only after the signal ahead of it has gone out.
    const QDBusMessage ping = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
    bus.call(ping, QDBus::Block, 5000);
    return 0;
}
