#pragma once

#include <QPushButton>

class QMenu;

// A push button that drops down a menu. Every click reports, with the chosen item's
// index or -1 when the menu closed without a choice, because the window acts on a
// click that picked nothing too.
class MenuButton : public QPushButton {
    Q_OBJECT
public:
    explicit MenuButton(QWidget* parent = nullptr);
    // Adds the next item; its index is the number of items before it.
    void AddItem(const QString& text);
    // The text of item `index`, empty when there is none.
    QString ItemText(int index) const;

signals:
    void itemChosen(int index);

private:
    void ShowMenu();

    QMenu* m_menu;
};
