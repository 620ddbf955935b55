#include "app/user_prompts.h"

#include <QMessageBox>
#include <cstdio>

int MessageBoxPrompts::Show(QMessageBox& box) {
    if (!m_waiting) {
        // Still said, where a program ending unattended says things.
        std::fprintf(stderr, "skyfill: %s: %s\n", box.windowTitle().toLocal8Bit().constData(),
                     box.text().toLocal8Bit().constData());
        return QMessageBox::Cancel;
    }
    m_open.append(&box);
    const int result = box.exec();
    m_open.removeAll(&box);
    return result;
}

bool MessageBoxPrompts::AskOkCancel(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                    m_owner);
    return Show(box) == QMessageBox::Ok;
}

void MessageBoxPrompts::Tell(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, m_owner);
    Show(box);
}

void MessageBoxPrompts::StopWaiting() {
    m_waiting = false;
    for (const QPointer<QMessageBox>& box : m_open) {
        if (box) {
            box->done(QMessageBox::Cancel);
        }
    }
}
