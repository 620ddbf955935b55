#pragma once

#include "app/main_window.h"
#include "app/user_prompts.h"
#include "tests/session/session_support.h"

// Answers message boxes from a script and remembers every one shown.
class ScriptedPrompts : public UserPrompts, public Script {
public:
    bool AskOkCancel(const QString& caption, const QString& text) override {
        return Script::Ask(caption, text);
    }
    void Tell(const QString& caption, const QString& text) override { Script::Tell(caption, text); }
};
