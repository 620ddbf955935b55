#pragma once

// Copies on the session bus, each wired as app/copy_run.cpp wires the real program's
// but on a connection of its own, as separate processes would be.

#include "bus/bus_link.h"
#include "bus/copy_control.h"
#include "session/copy_session.h"
#include "tests/app/copy_process.h"
#include "tests/session/session_support.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <memory>
#include <utility>

inline bool HasSessionBus() {
    return QDBusConnection::sessionBus().isConnected();
}

// One copy: its session with the coordination link, the bus interface once started,
// and `face` to answer its questions (the face outlives the copy).
class BusCopy {
public:
    BusCopy(const QString& connectionName, SessionEnvironment environment, ScriptedFace& face)
        : m_connectionName(connectionName), m_face(face),
          link(std::make_unique<BusLink>(
              QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName))) {
        environment.link = link.get();
        session = std::make_unique<CopySession>(std::move(environment));
        session->AttachFace(m_face);
    }
    ~BusCopy() {
        session->StopSending();
        faces.reset();
        session->DetachFace(m_face);
        session.reset();
        // Freed at the bus before the next test's copy asks for it.
        link->ReleaseCopyNumber();
        link.reset();
        QDBusConnection::disconnectFromBus(m_connectionName);
    }
    BusCopy(const BusCopy&) = delete;
    BusCopy& operator=(const BusCopy&) = delete;

    // The program exports the interface once the session has started, before the
    // number settles.
    bool Start() {
        return session->Start() && CopyControl::Export(*link, *session, faces.get()) != nullptr;
    }
    bool Settled() const { return !session->SettleTimer().isActive(); }

private:
    QString m_connectionName;
    ScriptedFace& m_face;

public:
    std::unique_ptr<BusLink> link;
    std::unique_ptr<CopySession> session;
    // Parent of the bus interface, which goes before the session.
    std::unique_ptr<QObject> faces = std::make_unique<QObject>();
};
