#pragma once

#include "app/user_prompts.h"

// Message boxes for a copy that runs without a display, where nobody can answer: each
// message goes to standard error, and the only question, "OK to exit?", is answered
// yes. Headless, it is asked only of a copy that finds no free number, and leaving
// then keeps the other copies' sources safe.
class StderrPrompts : public UserPrompts {
public:
    bool AskOkCancel(const QString& caption, const QString& text) override;
    void Tell(const QString& caption, const QString& text) override;
};
