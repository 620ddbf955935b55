#include "control/copy_bus.h"

#include "vocabulary/bus_names.h"

#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

QString CopyName(int number) {
    return QString::fromStdString(bus_names::CopyName(number));
}

// 1 to 8 for a copy's well-known name, else 0.
int NumberOf(const QString& name) {
    const QString prefix =
        QString::fromLatin1(bus_names::kCopyNamePrefix.data(),
                            static_cast<qsizetype>(bus_names::kCopyNamePrefix.size()));
    if (!name.startsWith(prefix)) {
        return 0;
    }
    bool whole = false;
    const int number = name.mid(prefix.size()).toInt(&whole);
    return whole && number >= 1 && number <= bus_names::kMaxCopies ? number : 0;
}

} // namespace

CopyBus::CopyBus(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)),
      m_watcher(QString(), m_bus, QDBusServiceWatcher::WatchForOwnerChange) {}

void CopyBus::Watch(std::function<void(const Event&)> onEvent) {
    m_onEvent = std::move(onEvent);
    for (int number = 1; number <= bus_names::kMaxCopies; ++number) {
        m_watcher.addWatchedService(CopyName(number));
    }
    connect(&m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &CopyBus::OnOwnerChanged);
    // Any sender: the copies' unique names are mapped to numbers as their owners change.
    m_bus.connect(QString(), QString::fromLatin1(bus_names::kPath),
                  QString::fromLatin1(bus_names::kCopyInterface), QStringLiteral("StatusChanged"),
                  this, SLOT(OnStatusChanged(QDBusMessage)));
    for (int number = 1; number <= bus_names::kMaxCopies; ++number) {
        const QDBusReply<QString> owner = m_bus.interface()->serviceOwner(CopyName(number));
        if (owner.isValid() && !owner.value().isEmpty()) {
            m_owners.insert(owner.value(), number);
        }
    }
}

void CopyBus::OnOwnerChanged(const QString& name, const QString& oldOwner,
                             const QString& newOwner) {
    const int number = NumberOf(name);
    if (number == 0) {
        return;
    }
    if (!oldOwner.isEmpty() && m_owners.remove(oldOwner) > 0 && m_onEvent) {
        m_onEvent({Event::Kind::Left, number, {}});
    }
    if (!newOwner.isEmpty()) {
        m_owners.insert(newOwner, number);
        if (m_onEvent) {
            m_onEvent({Event::Kind::Appeared, number, {}});
        }
    }
}

void CopyBus::OnStatusChanged(const QDBusMessage& message) {
    const int number = m_owners.value(message.service(), 0);
    const QVariantList arguments = message.arguments();
    if (number == 0 || arguments.isEmpty() || !m_onEvent) {
        return;
    }
    const QVariantMap status = qdbus_cast<QVariantMap>(arguments.constFirst());
    m_onEvent({Event::Kind::Status, number, status});
}

void CopyBus::Call(int number, const QString& method, const QVariantList& arguments, Done done,
                   int timeoutMs) {
    if (!m_owners.values().contains(number)) {
        done({false,
              QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"),
              QStringLiteral("no copy %1 runs").arg(number),
              {}});
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(CopyName(number), QString::fromLatin1(bus_names::kPath),
                                       QString::fromLatin1(bus_names::kCopyInterface), method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, timeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [done = std::move(done)](QDBusPendingCallWatcher* finished) {
                const QDBusMessage reply = finished->reply();
                finished->deleteLater();
                if (reply.type() == QDBusMessage::ErrorMessage) {
                    done({false, reply.errorName(), reply.errorMessage(), {}});
                } else {
                    done({true, {}, {}, reply.arguments()});
                }
            });
}
