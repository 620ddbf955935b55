#pragma once

#include "session/copy_link.h"
#include "vocabulary/bus_names.h"

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
// (bus/copy_control.h).
class BusLink : public QObject, public CopyLink {
    Q_OBJECT
public:
    explicit BusLink(QDBusConnection connection, QObject* parent = nullptr);
    bool IsConnected() const override { return m_listening; }
    void Post(int32_t command, int64_t argument) override;

    // Once the answer is back, every signal subscription made before is in force at
    // the bus.
    Claim ClaimCopyNumber(int32_t instanceNumber) override;
    void ReleaseCopyNumber() override;
    // Whether this connection owns a copy number's name now.
    bool HoldsCopyNumber() const override { return !m_claimedName.isEmpty(); }
    // Exports `holder`'s adaptors at the copies' path, where callers of this copy's name
    // reach them. Done before the name is claimed, so the copy answers as soon as it is
    // found.
    bool ExportAdaptors(QObject* holder);
    QDBusConnection& Connection() { return m_connection; }

private slots:
    void OnMessage(const QDBusMessage& message);

private:
    QDBusConnection m_connection;
    bool m_listening = false;
    QString m_claimedName;
};
