#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <functional>

// This user's copies on the session bus as the control program reaches them: which
// numbers are owned now, calls to one copy, and what the copies announce. It keeps no
// copy's state; every answer comes from the copy itself. Lives on the Qt thread.
class CopyBus : public QObject {
    Q_OBJECT
public:
    struct Reply {
        bool ok = false;
        // The D-Bus error's name and text when not ok.
        QString errorName;
        QString message;
        QVariantList arguments;
    };
    using Done = std::function<void(const Reply&)>;

    struct Event {
        enum class Kind { Appeared, Left, Status };
        Kind kind;
        int number;
        QVariantMap status; // for Status
    };

    explicit CopyBus(QDBusConnection bus, QObject* parent = nullptr);

    // Starts following the copies; `onEvent` hears each copy that appears or leaves and
    // each status it announces.
    void Watch(std::function<void(const Event&)> onEvent);
    QList<int> Numbers() const { return m_owners.values(); }

    // One method of copy `number`'s interface; `done` runs on this thread, always once.
    void Call(int number, const QString& method, const QVariantList& arguments, Done done,
              int timeoutMs = 3000);

private slots:
    void OnOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);
    void OnStatusChanged(const QDBusMessage& message);

private:
    QDBusConnection m_bus;
    QDBusServiceWatcher m_watcher;
    // Unique bus name of each copy's owner, and its number.
    QMap<QString, int> m_owners;
    std::function<void(const Event&)> m_onEvent;
};
