// The About box and the support window show their texts whole, apart and inside.

#include "dialogs/about_dialog.h"
#include "dialogs/support_dialog.h"
#include "ndi_standin/standin_runtime.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

// A push button's size hint has a minimum width, so only its place is checked.
void ExpectTextsUnclippedAndApart(const QWidget& dialog) {
    QList<const QWidget*> placed;
    for (const QWidget* control : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const auto* button = qobject_cast<const QAbstractButton*>(control);
        const auto* label = qobject_cast<const QLabel*>(control);
        const QString text = button ? button->text() : label ? label->text() : QString();
        if (text.isEmpty() || control->isHidden()) {
            continue;
        }
        const std::string name = control->objectName().toStdString();
        if (qobject_cast<const QPushButton*>(control) == nullptr) {
            EXPECT_LE(control->sizeHint().width(), control->width()) << name;
        }
        EXPECT_TRUE(dialog.rect().contains(control->geometry())) << name;
        for (const QWidget* other : placed) {
            EXPECT_FALSE(control->geometry().intersects(other->geometry()))
                << name << " covers " << other->objectName().toStdString();
        }
        placed.append(control);
    }
    EXPECT_GE(placed.size(), 3);
}

TEST(DialogLayout, TextsAreUnclippedAndApart) {
    // The longest version texts the box takes: four-part numbers on both sides.
    const AboutDialog about(QStringLiteral("10.10.10.10"), QStringLiteral("Dec-2026"),
                            QStringLiteral("NDI SDK 6.10.10.10"));
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
