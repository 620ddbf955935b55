#pragma once

#include <QDBusConnection>
#include <QObject>
#include <cstdint>

// The coordination message between running copies and other programs: a signal
// `Post(int32 command, int64 argument)` on the session bus at /KovaCo/UK/Skyfill,
// interface uk.KovaCo.Skyfill, received from any sender. Signals with other
// arguments do not match and never arrive. Without a bus the link stays silent and
// the copy runs alone.
class BusLink : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kPath = "/KovaCo/UK/Skyfill";
    static constexpr const char* kInterface = "uk.KovaCo.Skyfill";
    static constexpr const char* kMember = "Post";

    explicit BusLink(QDBusConnection connection, QObject* parent = nullptr);
    bool IsConnected() const { return m_listening; }
    void Post(int32_t command, int64_t argument);

signals:
    void posted(int command, qint64 argument);

private slots:
    void OnPost(int command, qlonglong argument);

private:
    QDBusConnection m_connection;
    bool m_listening = false;
};
