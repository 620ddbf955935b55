#pragma once

#include <QDBusConnection>
#include <QObject>
#include <cstdint>

class QDBusMessage;

// The coordination message between running copies and other programs: a signal
// `Post(int32 command, int64 argument)` on the session bus at /KovaCo/UK/Skyfill,
// interface uk.KovaCo.Skyfill, received from any sender. Anything else on that path
// and interface is dropped unread. Without a bus the link stays silent and the copy
// runs alone.
//
// The link also arbitrates copy numbers: a copy owns the bus name
// uk.KovaCo.Skyfill.Copy<n> for its number n (1 to 8). The bus grants each name to
// one connection at a time and frees it when the process dies, however it dies, so
// copies started together never share a number and a killed copy's number is free
// again at once.
//
// Callers of that name reach the copy's own interface, exported at the same path
// (app/copy_control.h).
class BusLink : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kPath = "/KovaCo/UK/Skyfill";
    static constexpr const char* kInterface = "uk.KovaCo.Skyfill";
    static constexpr const char* kMember = "Post";
    static constexpr const char* kSignature = "ix";

    explicit BusLink(QDBusConnection connection, QObject* parent = nullptr);
    bool IsConnected() const { return m_listening; }
    void Post(int32_t command, int64_t argument);

    enum class Claim { Granted, Taken, Failed };
    // Asks the bus for the name of `instanceNumber` (0-based) without queueing. Once
    // the answer is back, every signal subscription made before is in force at the bus.
    Claim ClaimCopyNumber(int32_t instanceNumber);
    // Gives the claimed name back, for a copy that ends while its process lives on.
    void ReleaseCopyNumber();
    // Whether this connection owns a copy number's name now.
    bool HoldsCopyNumber() const { return !m_claimedName.isEmpty(); }
    // Exports `holder`'s adaptors at kPath, where callers of this copy's name reach them.
    // Done before the name is claimed, so the copy answers as soon as it is found.
    bool ExportAdaptors(QObject* holder);
    static QString CopyBusName(int32_t instanceNumber);

signals:
    void posted(int command, qint64 argument);

private slots:
    void OnMessage(const QDBusMessage& message);

private:
    QDBusConnection m_connection;
    bool m_listening = false;
    QString m_claimedName;
};
