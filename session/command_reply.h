#pragma once

#include <QString>
#include <QStringList>
#include <utility>

// Who asked for a command. A user's command shows its messages; another program's
// returns them in the reply and is refused, changing nothing, where the copy is not
// ready for it.
enum class Caller { User, Program };

// The outcome of one command: done, or refused with a reason and a message.
struct CommandReply {
    enum class Refusal {
        None,
        InvalidArgs,
        NotReady, // not yet numbered, or already ending
        Sending,  // needs sending stopped, as the greyed menus do
        File,     // a preset file
        Failed,   // the copy tried and the NDI side did not follow
    };
    Refusal refusal = Refusal::None;
    QString message;
    // Done, with what the user would have been shown.
    QStringList warnings;

    bool Refused() const { return refusal != Refusal::None; }
    static CommandReply Done(QStringList warnings = {}) {
        return {Refusal::None, {}, std::move(warnings)};
    }
    static CommandReply Refuse(Refusal why, QString message) {
        return {why, std::move(message), {}};
    }
};

// An argument as a refusal quotes it: a short one whole, a long one by its two ends (a
// path's end names its file), control characters as \xNN, so the reply stays small and
// cannot drive the caller's terminal.
QString QuotedArgument(const QString& text);
