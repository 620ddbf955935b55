#include "app/menu_button.h"

#include <QMenu>

MenuButton::MenuButton(QWidget* parent) : QPushButton(parent), m_menu(new QMenu(this)) {
    connect(this, &QPushButton::clicked, this, &MenuButton::ShowMenu);
}

void MenuButton::AddItem(const QString& text) {
    const auto index = static_cast<int>(m_menu->actions().size());
    m_menu->addAction(text)->setData(index);
}

QString MenuButton::ItemText(int index) const {
    const QList<QAction*> actions = m_menu->actions();
    return index >= 0 && index < actions.size() ? actions[index]->text() : QString();
}

void MenuButton::ShowMenu() {
    const QAction* chosen = m_menu->exec(mapToGlobal(rect().bottomLeft()));
    emit itemChosen(chosen != nullptr ? chosen->data().toInt() : -1);
}
