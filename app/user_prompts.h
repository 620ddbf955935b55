#pragma once

#include <QList>
#include <QPointer>
#include <QString>

class QMessageBox;
class QWidget;

// The window's fixed-text message boxes: an OK button (or OK and Cancel), no icon,
// owned by the main window. Tests answer them without a person.
class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    // True only when the user chose OK.
    virtual bool AskOkCancel(const QString& caption, const QString& text) = 0;
    virtual void Tell(const QString& caption, const QString& text) = 0;
    // For a program told to end, where nobody may be there to answer: closes whatever
    // is open as if cancelled, and from now on nothing waits for an answer.
    virtual void StopWaiting() {}
};

class MessageBoxPrompts : public UserPrompts {
public:
    explicit MessageBoxPrompts(QWidget* owner) : m_owner(owner) {}
    bool AskOkCancel(const QString& caption, const QString& text) override;
    void Tell(const QString& caption, const QString& text) override;
    void StopWaiting() override;

private:
    int Show(QMessageBox& box);

    QWidget* m_owner;
    bool m_waiting = true;
    // The boxes open now, innermost last.
    QList<QPointer<QMessageBox>> m_open;
};
