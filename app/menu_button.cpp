#include "app/menu_button.h"

#include <QMenu>

MenuButton::MenuButton(QWidget* parent) : QPushButton(parent), m_menu(new QMenu(this)) {
    connect(this, &QPushButton::clicked, this, &MenuButton::ShowMenu);
}

void MenuButton::AddItem(const QString& text, int commandId) {
    m_menu->addAction(text)->setData(commandId);
}

QString MenuButton::ItemText(int commandId) const {
    for (const QAction* action : m_menu->actions()) {
        if (action->data().toInt() == commandId) {
            return action->text();
        }
    }
    return {};
}

void MenuButton::ShowMenu() {
    const QAction* chosen = m_menu->exec(mapToGlobal(rect().bottomLeft()));
    emit commandChosen(chosen != nullptr ? chosen->data().toInt() : 0);
}
