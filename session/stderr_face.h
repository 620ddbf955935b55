#pragma once

#include "session/session_face.h"

// The face of a copy that runs without a window: its messages and the questions it
// takes its own answer to go to standard error, one line each, and its title once
// its source is published under its number.
class StderrFace : public SessionFace {
public:
    explicit StderrFace(const class CopySession& session) : m_session(session) {}

    void StatusChanged() override;
    void ShowMessage(const SessionMessage& message) override;
    std::optional<bool> Ask(const SessionQuestion& question) override;

private:
    const CopySession& m_session;
    bool m_titleSaid = false;
};
