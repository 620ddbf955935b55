// The support window: placement beside the main window, its controls and links, and
// hiding itself after its two periods (run on a shortened clock).

#include "dialogs/support_dialog.h"
#include "dialogs/support_placement.h"
#include "ui_support_dialog.h"

#include <QLabel>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>
#include <vector>

namespace {

TEST(SupportPlacement, MainMovesLeftAndSupportStandsBesideItCentred) {
    // Taller support window: higher than the main window's top by half the difference.
    const QRect main(700, 300, 448, 520);
    const SupportPlacement taller = PlaceSupportBeside(main, QSize(661, 560));
    EXPECT_EQ(taller.mainTopLeft, QPoint(250, 300));
    EXPECT_EQ(taller.supportTopLeft, QPoint(250 + 448 + 10, 300 - 20));

    // Shorter by an odd amount: half of -31 is -15 (toward zero), so 15 lower.
    const SupportPlacement shorter = PlaceSupportBeside(QRect(100, 200, 400, 301), QSize(50, 270));
    EXPECT_EQ(shorter.mainTopLeft, QPoint(-350, 200));
    EXPECT_EQ(shorter.supportTopLeft, QPoint(60, 215));

    // Taller by an odd amount: half of 33 is 16.
    const SupportPlacement odd = PlaceSupportBeside(QRect(0, 0, 400, 300), QSize(50, 333));
    EXPECT_EQ(odd.supportTopLeft, QPoint(-40, -16));

    // A screen with room for both changes nothing.
    const SupportPlacement wide =
        PlaceSupportBeside(main, QSize(661, 560), QRect(0, 0, 1920, 1040));
    EXPECT_EQ(wide.mainTopLeft, taller.mainTopLeft);
    EXPECT_EQ(wide.supportTopLeft, taller.supportTopLeft);
}

TEST(SupportPlacement, BothWindowsStayOnANarrowScreen) {
    const QSize mainSize(448, 520);
    const QSize supportSize(661, 560);
    // A 1300-pixel-wide area right of a side panel on a second screen, the main window
    // centred on it: the pair moves right just far enough, keeping its gap.
    const QRect offset(1980, 30, 1300, 1000);
    const SupportPlacement moved =
        PlaceSupportBeside(QRect({2406, 270}, mainSize), supportSize, offset);
    EXPECT_EQ(moved.mainTopLeft, QPoint(1980, 270));
    EXPECT_EQ(moved.supportTopLeft, QPoint(1980 + 448 + 10, 250));

    // Too narrow for both side by side: each at its own edge, overlapping.
    const QRect narrow(0, 0, 1024, 728);
    const SupportPlacement overlap =
        PlaceSupportBeside(QRect({288, 104}, mainSize), supportSize, narrow);
    EXPECT_EQ(overlap.mainTopLeft, QPoint(0, 104));
    EXPECT_EQ(overlap.supportTopLeft, QPoint(1024 - 661, 84));

    // A taller support window beside a main window at the top stays below the panel.
    const SupportPlacement top =
        PlaceSupportBeside(QRect({2406, 40}, mainSize), supportSize, offset);
    EXPECT_EQ(top.mainTopLeft.y(), 40);
    EXPECT_EQ(top.supportTopLeft.y(), 30);
}

struct OpenedPages {
    std::vector<QUrl> pages;
    std::function<void(const QUrl&)> Opener() {
        return [this](const QUrl& url) { pages.push_back(url); };
    }
};

const SupportLinks kLinks{QUrl(QStringLiteral("https://www.kovaco.example/")),
                          QUrl(QStringLiteral("https://shop.kovaco.example/")),
                          QUrl(QStringLiteral("https://social.kovaco.example/kova")),
                          QUrl(QStringLiteral("https://video.kovaco.example/kova"))};

TEST(SupportDialog, ControlsPicturesAndLinks) {
    OpenedPages opened;
    SupportDialog support(kLinks, opened.Opener());
    Ui::SupportDialog& ui = support.Controls();
    EXPECT_EQ(support.windowTitle(),
              QStringLiteral("How you can support development of this NDI software..."));
    EXPECT_EQ(ui.m_visitButton->text(), QStringLiteral("Visit www.kovaco.example"));
    EXPECT_EQ(ui.m_storeButton->text(), QStringLiteral("Browse Online Store"));
    EXPECT_EQ(ui.m_cancelButton->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(ui.m_socialPicture->pixmap().size(), QSize(38, 29));
    EXPECT_EQ(ui.m_videoPicture->pixmap().size(), QSize(38, 29));
    EXPECT_EQ(support.PictureBox(), nullptr);

    support.Prepare();
    support.show();
    ASSERT_NE(support.PictureBox(), nullptr);
    EXPECT_EQ(support.PictureBox()->geometry(), QRect(10, 10, 640, 360));
    EXPECT_EQ(support.PictureBox()->pixmap().size(), QSize(640, 360));

    QTest::mouseClick(ui.m_visitButton, Qt::LeftButton);
    QTest::mouseClick(ui.m_storeButton, Qt::LeftButton);
    QTest::mouseClick(ui.m_socialPicture, Qt::LeftButton);
    QTest::mouseClick(ui.m_videoPicture, Qt::LeftButton);
    const std::vector<QUrl> expected{kLinks.homePage, kLinks.onlineStore, kLinks.socialPage,
                                     kLinks.videoChannel};
    EXPECT_EQ(opened.pages, expected);

    // Cancel hides the window; it is kept for the rest of the run.
    QTest::mouseClick(ui.m_cancelButton, Qt::LeftButton);
    EXPECT_FALSE(support.isVisible());
}

TEST(SupportDialog, HidesAfterBothTimers) {
    SupportDialog support(kLinks, nullptr, nullptr, SupportTimings{30, 60});
    EXPECT_FALSE(support.FirstTimerRunning());
    support.Prepare();
    support.Prepare(); // once only: no second timer
    support.show();
    EXPECT_TRUE(support.FirstTimerRunning());
    EXPECT_FALSE(support.HideTimerRunning());

    // The first timer hands over to the hide timer and leaves the window up.
    ASSERT_TRUE(QTest::qWaitFor([&] { return support.HideTimerRunning(); }, 5000));
    EXPECT_FALSE(support.FirstTimerRunning());
    EXPECT_TRUE(support.isVisible());

    ASSERT_TRUE(QTest::qWaitFor([&] { return !support.isVisible(); }, 5000));
    EXPECT_FALSE(support.FirstTimerRunning());
    EXPECT_FALSE(support.HideTimerRunning());
}

} // namespace
