#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QList>
#include <QPushButton>
#include <QWidget>
#include <gtest/gtest.h>
#include <string>

// Check boxes, radio buttons and labels show their text whole; a control with text stays
// inside its window and covers no other control. A push button's size hint has a
// minimum width, so only its place is checked. Returns how many controls have text.
inline int ExpectTextsUnclippedAndApart(const QWidget& window) {
    const auto textOf = [](const QWidget* control) {
        const auto* button = qobject_cast<const QAbstractButton*>(control);
        const auto* label = qobject_cast<const QLabel*>(control);
        return button ? button->text() : label ? label->text() : QString();
    };
    QList<const QWidget*> shown;
    int texts = 0;
    for (const QWidget* control : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (control->isHidden() || control->isWindow()) {
            continue;
        }
        const bool hasText = !textOf(control).isEmpty();
        const std::string name = control->objectName().toStdString();
        if (hasText) {
            ++texts;
            if (qobject_cast<const QPushButton*>(control) == nullptr) {
                EXPECT_LE(control->sizeHint().width(), control->width()) << name;
            }
            EXPECT_TRUE(window.rect().contains(control->geometry())) << name;
        }
        for (const QWidget* other : shown) {
            if (hasText || !textOf(other).isEmpty()) {
                EXPECT_FALSE(control->geometry().intersects(other->geometry()))
                    << name << " covers " << other->objectName().toStdString();
            }
        }
        shown.append(control);
    }
    return texts;
}
