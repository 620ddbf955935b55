// The About box and the support window show their texts whole, apart and inside.

#include "dialogs/about_dialog.h"
#include "dialogs/support_dialog.h"
#include "tests/layout_checks.h"

#include <gtest/gtest.h>

namespace {

TEST(DialogLayout, TextsAreUnclippedAndApart) {
    // A runtime version longer than the stand-in's, as a real runtime's can be.
    const AboutDialog about(QStringLiteral("1.0.3.15"), QStringLiteral("Dec-2026"),
                            QStringLiteral("NDI SDK LINUX 12:30:04 Mar 12 2024 5.6.0"));
    EXPECT_GE(ExpectTextsUnclippedAndApart(about), 3);

    SupportDialog support(SupportLinks{QUrl(QStringLiteral("https://www.kovaco.example/")),
                                       QUrl(QStringLiteral("https://shop.kovaco.example/")),
                                       QUrl(QStringLiteral("https://social.kovaco.example/")),
                                       QUrl(QStringLiteral("https://video.kovaco.example/"))},
                          nullptr);
    support.Prepare();
    EXPECT_GE(ExpectTextsUnclippedAndApart(support), 3);
}

} // namespace
