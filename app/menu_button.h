#pragma once

#include <QPushButton>

class QMenu;

// A push button that drops down a menu of commands. Every click reports, with the
// chosen item's command id or 0 when the menu closed without a choice, because the
// window acts on a click that picked nothing too.
class MenuButton : public QPushButton {
    Q_OBJECT
public:
    explicit MenuButton(QWidget* parent = nullptr);
    // Adds an item with its command id.
    void AddItem(const QString& text, int commandId);
    // The text of the item with `commandId`, empty when there is none.
    QString ItemText(int commandId) const;

signals:
    void commandChosen(int commandId);

private:
    void ShowMenu();

    QMenu* m_menu;
};
