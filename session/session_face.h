#pragma once

#include <QString>
#include <optional>

// A message for whoever uses the copy: its caption, text and kind.
struct SessionMessage {
    enum class Kind { Information, Warning, Error };
    QString caption;
    QString text;
    Kind kind = Kind::Information;
};

// A yes-or-no question, with the answer the copy takes when nobody can be asked.
struct SessionQuestion {
    QString caption;
    QString text;
    bool unattendedAnswer = false;
};

// One face over a copy session: the window, the bus interface or the headless
// copy's standard error. Called on the session's thread.
class SessionFace {
public:
    virtual ~SessionFace() = default;
    // Something a face shows changed; called once after each command that changed it.
    virtual void StatusChanged() {}
    virtual void ShowMessage(const SessionMessage& /*message*/) {}
    // The answer, or nothing from a face that cannot ask anybody.
    virtual std::optional<bool> Ask(const SessionQuestion& /*question*/) { return std::nullopt; }
    // The copy is told to end: nothing may wait for an answer from now on.
    virtual void StopWaiting() {}
};
