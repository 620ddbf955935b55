#pragma once

#include "session/copy_session.h"

// One command from its start to its end: the faces hear of its changes once, after
// it and any command it runs in turn. A quiet command tells them only when it marks
// a change itself.
class CopySession::Command {
public:
    enum Mode { Telling, Quiet };

    explicit Command(CopySession& session, Mode mode = Telling) : m_session(session) {
        ++m_session.m_commandDepth;
        if (mode == Telling) {
            m_session.m_changed = true;
        }
    }
    ~Command() {
        if (--m_session.m_commandDepth > 0 || !m_session.m_changed) {
            return;
        }
        m_session.m_changed = false;
        // A face may detach itself while it is told.
        for (SessionFace* face : std::vector<SessionFace*>(m_session.m_faces)) {
            face->StatusChanged();
        }
    }
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

private:
    CopySession& m_session;
};
