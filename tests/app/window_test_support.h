#pragma once

#include "app/main_window.h"
#include "app/user_prompts.h"
#include "tests/session/session_support.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <utility>

// Answers message boxes from a script and remembers every one shown.
class ScriptedPrompts : public UserPrompts {
public:
    bool AskOkCancel(const QString& caption, const QString& text) override {
        asked << caption + "|" + text;
        if (whileOpen) {
            // Something that happens while the question is on screen.
            std::exchange(whileOpen, nullptr)();
        }
        if (answers.empty()) {
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void Tell(const QString& caption, const QString& text) override {
        told << caption + "|" + text;
        if (whileOpen) {
            std::exchange(whileOpen, nullptr)();
        }
    }

    std::deque<bool> answers;
    // Runs once, inside the next question or message.
    std::function<void()> whileOpen;
    QStringList asked;
    QStringList told;
};
