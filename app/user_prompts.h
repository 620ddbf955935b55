#pragma once

#include <QString>

class QWidget;

// The window's fixed-text message boxes: an OK button (or OK and Cancel), no icon,
// owned by the main window. Tests answer them without a person.
class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    // True only when the user chose OK.
    virtual bool AskOkCancel(const QString& caption, const QString& text) = 0;
    virtual void Tell(const QString& caption, const QString& text) = 0;
};

class MessageBoxPrompts : public UserPrompts {
public:
    explicit MessageBoxPrompts(QWidget* owner) : m_owner(owner) {}
    bool AskOkCancel(const QString& caption, const QString& text) override;
    void Tell(const QString& caption, const QString& text) override;

private:
    QWidget* m_owner;
};
