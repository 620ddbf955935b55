// The About box's lines, with the stand-in runtime's version text and with others.

#include "dialogs/about_dialog.h"
#include "ndi_standin/standin_runtime.h"
#include "ui_about_dialog.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(AboutBox, LinesWithTheStandInRuntime) {
    AboutDialog about(QStringLiteral("1.0.3.15"), QStringLiteral("Dec-2026"),
                      QString::fromUtf8(standin::kVersionText));
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Kova Skyfill"));
    EXPECT_EQ(about.Controls().m_versionLine->text(),
              QStringLiteral("Skyfill v1.0.3.15, NDI® v1.0, x64"));
    EXPECT_TRUE(about.Controls().m_copyrightLine->text().contains(QStringLiteral("Dec-2026")));
    EXPECT_EQ(about.Controls().m_picture->pixmap().size(), QSize(64, 48));
}

TEST(AboutBox, RuntimeVersionIsTheLastWord) {
    const auto line = [](const char* runtimeText) {
        AboutDialog about(QStringLiteral("1.0.3.15"), QStringLiteral("Dec-2026"),
                          QString::fromUtf8(runtimeText));
        return about.Controls().m_versionLine->text();
    };
    EXPECT_EQ(line("NDI SDK LINUX 12:30:04 Mar 12 2024 5.6.0"),
              QStringLiteral("Skyfill v1.0.3.15, NDI® v5.6.0, x64"));
    // No blank: the whole text.
    EXPECT_EQ(line("6.0.1"), QStringLiteral("Skyfill v1.0.3.15, NDI® v6.0.1, x64"));
    // A trailing blank does not leave the version empty.
    EXPECT_EQ(line("NDI 5.6.0 \n"), QStringLiteral("Skyfill v1.0.3.15, NDI® v5.6.0, x64"));
    // A runtime that says nothing.
    EXPECT_EQ(line(""), QStringLiteral("Skyfill v1.0.3.15, NDI® v, x64"));
}

TEST(AboutBox, TextsAreTakenLiterally) {
    // Placeholders in the passed texts are not expanded again.
    AboutDialog about(QStringLiteral("%2"), QStringLiteral("%1"), QStringLiteral("NDI %1"));
    EXPECT_EQ(about.Controls().m_versionLine->text(), QStringLiteral("Skyfill v%2, NDI® v%1, x64"));
    // An empty program version leaves its place empty.
    AboutDialog unversioned(QString(), QStringLiteral("Dec-2026"), QStringLiteral("5.6.0"));
    EXPECT_EQ(unversioned.Controls().m_versionLine->text(),
              QStringLiteral("Skyfill v, NDI® v5.6.0, x64"));
}

TEST(AboutBox, OkCloses) {
    AboutDialog about(QStringLiteral("1.0.3.15"), QStringLiteral("Dec-2026"),
                      QStringLiteral("1.0"));
    about.show();
    QSignalSpy accepted(&about, &QDialog::accepted);
    QTest::mouseClick(about.Controls().m_okButton, Qt::LeftButton);
    EXPECT_EQ(accepted.count(), 1);
    EXPECT_FALSE(about.isVisible());
}

} // namespace
