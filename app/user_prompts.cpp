#include "app/user_prompts.h"

#include <QMessageBox>

bool MessageBoxPrompts::AskOkCancel(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                    m_owner);
    return box.exec() == QMessageBox::Ok;
}

void MessageBoxPrompts::Tell(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, m_owner);
    box.exec();
}
