// The About box and the support window show their texts whole, apart and inside.

#include "dialogs/about_dialog.h"
#include "dialogs/support_dialog.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

// Check boxes, radio buttons and labels show their text whole; a control with text stays
// inside the dialog and covers no other control. A push button's size hint has a minimum
// width, so only its place is checked.
void ExpectTextsUnclippedAndApart(const QWidget& dialog) {
    const auto textOf = [](const QWidget* control) {
        const auto* button = qobject_cast<const QAbstractButton*>(control);
        const auto* label = qobject_cast<const QLabel*>(control);
        return button ? button->text() : label ? label->text() : QString();
    };
    QList<const QWidget*> shown;
    int texts = 0;
    for (const QWidget* control : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
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
            EXPECT_TRUE(dialog.rect().contains(control->geometry())) << name;
        }
        for (const QWidget* other : shown) {
            if (hasText || !textOf(other).isEmpty()) {
                EXPECT_FALSE(control->geometry().intersects(other->geometry()))
                    << name << " covers " << other->objectName().toStdString();
            }
        }
        shown.append(control);
    }
    EXPECT_GE(texts, 3);
}

TEST(DialogLayout, TextsAreUnclippedAndApart) {
    // A runtime version longer than the stand-in's, as a real runtime's can be.
    const AboutDialog about(QStringLiteral("1.0.3.15"), QStringLiteral("Dec-2026"),
                            QStringLiteral("NDI SDK LINUX 12:30:04 Mar 12 2024 5.6.0"));
    ExpectTextsUnclippedAndApart(about);

    SupportDialog support(SupportLinks{QUrl(QStringLiteral("https://www.kovaco.example/")),
                                       QUrl(QStringLiteral("https://shop.kovaco.example/")),
                                       QUrl(QStringLiteral("https://social.kovaco.example/")),
                                       QUrl(QStringLiteral("https://video.kovaco.example/"))},
                          nullptr);
    support.Prepare();
    ExpectTextsUnclippedAndApart(support);
}

} // namespace
