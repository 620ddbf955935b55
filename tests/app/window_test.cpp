// The main window driven as a user drives it, on the built-in stand-in runtime.

#include "app/bus_link.h"
#include "dialogs/about_dlg.h"
#include "preview/vid_box.h"
#include "tests/app/window_test_support.h"
#include "ui_about_dlg.h"
#include "ui_skyfill_dlg.h"

#include <QAccessible>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

namespace {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        SkyfillEnvironment environment = AloneEnvironment(prompts, 4242);
        environment.openUrl = [this](const QUrl& url) { opened << url; };
        window = std::make_unique<CSkyfillDlg>(std::move(environment));
    }
    void TearDown() override {
        if (window && window->Output() != nullptr) {
            window->OnStop();
        }
        window.reset();
    }

    void StartAndSettle() {
        ASSERT_TRUE(window->OnInitDialog());
        window->OnTimer(CSkyfillDlg::kSettleTimer);
        ASSERT_TRUE(window->Output()->HasSender());
    }

    uint32_t Pixel(int x, int y) {
        uint32_t v;
        std::memcpy(&v, window->Output()->FrameStore() + (y * window->m_width + x) * 4, 4);
        return v;
    }

    Ui::CSkyfillDlg& ui() { return window->Controls(); }

    ScriptedPrompts prompts;
    QList<QUrl> opened;
    std::unique_ptr<CSkyfillDlg> window;
};

TEST_F(WindowTest, FirstStartShowsSlotOneOfTheDefaultTableAndBecomesNumberOne) {
    ASSERT_TRUE(window->OnInitDialog());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Kova NDI® Skyfill"));
    EXPECT_EQ(ui().m_statusLine->text(),
              QStringLiteral("Full screen - Static background - plus clouds 1"));
    EXPECT_TRUE(ui().m_previewCheck->isChecked());
    EXPECT_TRUE(ui().m_cloudCheck->isChecked());
    EXPECT_TRUE(ui().m_presetRadio0->isChecked());
    EXPECT_EQ(ui().m_periodLabel->text(), QStringLiteral("Period 210ms"));
    EXPECT_EQ(window->m_rotationPeriodMs, 210);
    EXPECT_TRUE(window->TimerRunning(CSkyfillDlg::kRotationTimer));
    EXPECT_TRUE(window->TimerRunning(CSkyfillDlg::kSettleTimer));
    EXPECT_TRUE(window->TimerRunning(CSkyfillDlg::kLogoTimer));
    EXPECT_FALSE(ui().m_stopButton->isEnabled());
    EXPECT_FALSE(window->Output()->HasSender()); // none until the number is settled
    EXPECT_EQ(window->m_logoOverlayOn, 1);

    window->OnTimer(CSkyfillDlg::kSettleTimer);
    EXPECT_FALSE(window->TimerRunning(CSkyfillDlg::kSettleTimer));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Kova Skyfill for NDI® - No 1"));
    EXPECT_TRUE(window->Output()->HasSender());
    EXPECT_EQ(CountingRuntime::sends, 1);
    EXPECT_EQ(ui().m_outputInfo->text(), QStringLiteral("1280 x 720 - 25.00 fps"));
    EXPECT_EQ(window->Output()->VideoFrame().FourCC, NDIlib_FourCC_video_type_BGRX);
    // The clouds lie over the gradient; without them the corner is the top-left colour.
    EXPECT_NE(Pixel(0, 0), 0xFF00B5BDu);
    ui().m_cloudCheck->click();
    EXPECT_EQ(Pixel(0, 0), 0xFF00B5BDu);
}

TEST_F(WindowTest, ResolutionAndFramerateMenusReconfigureEvenWithoutAChange) {
    StartAndSettle();
    window->OnResolutionChosen(32774); // 720 x 576
    EXPECT_EQ(ui().m_resolutionButton->text(), QStringLiteral("720 x 576"));
    EXPECT_EQ(window->Output()->VideoFrame().xres, 720);
    EXPECT_FLOAT_EQ(window->Output()->VideoFrame().picture_aspect_ratio, 16.0f / 9.0f);
    const int creates = CountingRuntime::creates;
    window->OnResolutionChosen(32785); // 4096 x 2160 is not taken
    window->OnResolutionChosen(0);     // the menu closed without a choice
    EXPECT_EQ(window->m_width, 720);
    EXPECT_EQ(window->m_height, 576);
    EXPECT_EQ(ui().m_resolutionButton->text(), QStringLiteral("720 x 576"));
    EXPECT_EQ(CountingRuntime::creates, creates + 2);

    window->OnFrameRateChosen(32780);
    EXPECT_EQ(ui().m_outputInfo->text(), QStringLiteral("720 x 576 - 29.97 fps"));
    EXPECT_EQ(window->Output()->VideoFrame().frame_rate_D, 1001);
    EXPECT_EQ(ui().m_frameRateButton->text(), QStringLiteral("29.97p"));
    window->OnFrameRateChosen(0);
    EXPECT_EQ(window->m_frameRateD, 1001);
    EXPECT_EQ(CountingRuntime::creates, creates + 4);
}

TEST_F(WindowTest, StatusLineFollowsCloudsRotationAndPattern) {
    StartAndSettle();
    ui().m_cloudCheck->click();
    EXPECT_EQ(ui().m_statusLine->text(),
              QStringLiteral("Full screen - Static background - no clouds"));
    ui().m_cloudCheck->click();
    window->OnCloudSetChosen(32787);
    EXPECT_EQ(ui().m_cloudSetButton->text(), QStringLiteral("2"));
    ui().m_fillQuad->click();
    ui().m_rotationCw->click();
    EXPECT_EQ(ui().m_statusLine->text(),
              QStringLiteral("Quad split - Rotating clockwise - plus clouds 2"));
    EXPECT_EQ(window->m_fillPattern, 3);
    EXPECT_EQ(window->m_rotationMode, 1);
    // Quad split renders the top-left colour into all four corners at once.
    ui().m_cloudCheck->click();
    EXPECT_EQ(Pixel(1279, 719) & 0xFFFFFF, 0x00B5BDu);
    ui().m_cloudCheck->click();
    window->OnCloudSetChosen(0);
    EXPECT_EQ(window->m_cloudSet, 1);
}

TEST_F(WindowTest, ColourPickKeepsAlphaByteAndRendersWhenStopped) {
    StartAndSettle();
    ui().m_cloudCheck->click(); // clouds off: the corner pixel is the gradient's own
    window->m_baseColour[0].alpha = 0x7F;
    window->m_previewMode = 0;
    window->OnColourPicked(0, 0x00203040); // red 40, green 30, blue 20
    EXPECT_EQ(window->m_baseColour[0].Value(), 0x7F403020u);
    EXPECT_EQ(window->m_currentColour[0].Value(), 0x7F403020u);
    EXPECT_EQ(Pixel(0, 0), 0xFF403020u); // the frame's own alpha stays
    EXPECT_EQ(window->m_previewMode, 1); // the preview shows the change once
}

TEST_F(WindowTest, SlidersSetPeriodAndCloudSpeed) {
    StartAndSettle();
    ui().m_rotationSpeedSlider->setValue(250);
    EXPECT_EQ(ui().m_periodLabel->text(), QStringLiteral("Period 10ms"));
    EXPECT_EQ(window->m_presetBlock.m_presetSlots[0].rotationSliderPosition, 250);
    EXPECT_TRUE(window->TimerRunning(CSkyfillDlg::kRotationTimer));
    ui().m_cloudSpeedSlider->setValue(-4);
    EXPECT_EQ(window->m_cloudSpeed, 4);
    EXPECT_EQ(ui().m_cloudSpeedLabel->text(), QStringLiteral("Cloud speed 4"));
}

// The top end of the slider is position -4: the clouds move up fastest.
TEST_F(WindowTest, CloudSpeedSliderTopEndMovesTheCloudsUpFastest) {
    StartAndSettle();
    QSlider* slider = ui().m_cloudSpeedSlider;
    // A click on the groove pages toward the click, and one page spans the range.
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() / 2, 2));
    EXPECT_EQ(slider->value(), -4);
    EXPECT_EQ(window->m_cloudSpeed, 4);
    EXPECT_EQ(window->m_presetBlock.m_presetSlots[0].cloudSpeed, 4);
    EXPECT_EQ(ui().m_cloudSpeedLabel->text(), QStringLiteral("Cloud speed 4"));

    slider->setValue(4);
    QTest::keyClick(slider, Qt::Key_Up);
    EXPECT_EQ(window->m_cloudSpeed, -3);
    QTest::keyClick(slider, Qt::Key_PageUp);
    EXPECT_EQ(window->m_cloudSpeed, 4);
}

// What assistive technology does: the control's own toggle action, with no click.
void ToggleAccessibly(QAbstractButton* control) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(control);
    ASSERT_NE(face, nullptr);
    ASSERT_NE(face->actionInterface(), nullptr);
    face->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
}

TEST_F(WindowTest, ControlsToggledThroughAccessibilityActAsWhenClicked) {
    StartAndSettle();
    ToggleAccessibly(ui().m_rotationCw);
    ToggleAccessibly(ui().m_fillQuad);
    ToggleAccessibly(ui().m_cloudCheck);
    EXPECT_EQ(ui().m_statusLine->text(),
              QStringLiteral("Quad split - Rotating clockwise - no clouds"));
    EXPECT_EQ(window->m_rotationMode, 1);
    EXPECT_EQ(Pixel(1279, 719) & 0xFFFFFF, 0x00B5BDu); // quad split, rendered
    ToggleAccessibly(ui().m_previewCheck);
    EXPECT_EQ(window->m_previewMode, 0);
    ToggleAccessibly(ui().m_useMaskCheck);
    EXPECT_EQ(window->m_useMask, 1);
    EXPECT_EQ(window->Output()->VideoFrame().FourCC, NDIlib_FourCC_video_type_BGRA);
    ToggleAccessibly(ui().m_invertCheck);
    ToggleAccessibly(ui().m_useMaskAlphaCheck);
    ToggleAccessibly(ui().m_revealAlphaCheck);
    EXPECT_EQ(window->m_invertTransparency, 1);
    EXPECT_EQ(window->m_useMaskAlpha, 1);
    EXPECT_EQ(window->m_revealAlpha, 1);

    // Slot "2" takes over; slot "1" keeps the edits.
    ToggleAccessibly(ui().m_presetRadio1);
    EXPECT_EQ(window->m_presetBlock.m_presetSlot, 1);
    EXPECT_EQ(window->m_lastAppliedSlot, 0);
    EXPECT_EQ(window->m_presetBlock.m_presetSlots[0].fillPattern, 3);
    EXPECT_EQ(window->m_presetBlock.m_presetSlots[0].useMask, 1);
    EXPECT_EQ(window->m_useMask, 0);
    EXPECT_EQ(ui().m_statusLine->text(),
              QStringLiteral("Horizontal split - Rotating clockwise - plus clouds 1"));
}

// A click both checks a button and reports the click: the handler still runs once. The
// program's own checking of buttons runs none.
TEST_F(WindowTest, OneHandlerRunPerUserActAndNoneForTheProgramsOwnChanges) {
    StartAndSettle();
    ui().m_rotationCw->click();
    QTest::mouseClick(ui().m_presetRadio4, Qt::LeftButton);
    EXPECT_EQ(window->m_lastAppliedSlot, 0); // a second run would make it 4
    EXPECT_EQ(window->m_presetBlock.m_presetSlots[0].rotationMode, 1);
    // The button of the active slot changes nothing on screen and still stores the slot.
    ui().m_rotationCcw->click();
    QTest::keyClick(ui().m_presetRadio4, Qt::Key_Space);
    EXPECT_EQ(window->m_lastAppliedSlot, 4);
    EXPECT_EQ(window->m_presetBlock.m_presetSlots[4].rotationMode, 2);

    // Quad split, clockwise, clouds on: any handler would show it in the status line.
    const QString status = ui().m_statusLine->text();
    window->ApplySlot(3);
    EXPECT_TRUE(ui().m_cloudCheck->isChecked());
    EXPECT_TRUE(ui().m_fillQuad->isChecked());
    EXPECT_EQ(ui().m_statusLine->text(), status);
}

TEST_F(WindowTest, RotationAdvancesOnlyWhileSending) {
    StartAndSettle();
    ui().m_rotationCcw->click();
    const ColourRecord before = window->m_currentColour[0];
    for (int i = 0; i < 50; ++i) {
        window->OnTimer(CSkyfillDlg::kRotationTimer);
    }
    EXPECT_EQ(window->m_currentColour[0], before);
    EXPECT_EQ(window->m_rotationPhase, 0);

    ui().m_startButton->click();
    EXPECT_EQ(window->m_sending, 1);
    EXPECT_FALSE(ui().m_startButton->isEnabled());
    EXPECT_FALSE(ui().m_resolutionButton->isEnabled());
    EXPECT_TRUE(ui().m_stopButton->isEnabled());
    for (int i = 0; i < 50; ++i) {
        window->OnTimer(CSkyfillDlg::kRotationTimer);
    }
    EXPECT_EQ(window->m_rotationPhase, 50);
    EXPECT_NE(window->m_currentColour[0], before);
    EXPECT_EQ(window->m_gradientExchange.Snapshot().corners[0], window->m_currentColour[0]);
    ui().m_stopButton->click();
    EXPECT_EQ(window->m_sending, 0);
    EXPECT_TRUE(ui().m_startButton->isEnabled());
    EXPECT_TRUE(ui().m_frameRateButton->isEnabled());
}

TEST_F(WindowTest, StartBeforeTheNumberIsSettledIsRefused) {
    ASSERT_TRUE(window->OnInitDialog());
    window->OnStart();
    EXPECT_EQ(window->m_sending, 0);
    EXPECT_TRUE(ui().m_startButton->isEnabled());
    EXPECT_EQ(CountingRuntime::sends, 0);
}

TEST_F(WindowTest, LogoEndsAfterTheFirstTimerForHighDraws) {
    ASSERT_TRUE(window->OnInitDialog()); // draw 7
    window->OnTimer(CSkyfillDlg::kLogoTimer);
    EXPECT_EQ(window->m_logoOverlayOn, 0);
    EXPECT_FALSE(window->TimerRunning(CSkyfillDlg::kLogoTimer));
    EXPECT_FALSE(window->TimerRunning(CSkyfillDlg::kLogoLateTimer));
}

TEST_F(WindowTest, DecliningExitChangesNothingAndEscapeAsks) {
    StartAndSettle();
    ui().m_startButton->click();
    prompts.answers = {false};
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &escape);
    ASSERT_EQ(prompts.asked.size(), 1);
    EXPECT_EQ(prompts.asked[0], QStringLiteral("Quit Skyfill|OK to exit?"));
    EXPECT_FALSE(window->HasEnded());
    EXPECT_EQ(window->m_sending, 1);

    prompts.answers = {false};
    window->show();
    window->close(); // the window's close button asks too
    EXPECT_EQ(prompts.asked.size(), 2);
    EXPECT_FALSE(window->HasEnded());

    prompts.answers = {true};
    window->OnOK();
    EXPECT_TRUE(window->HasEnded());
    EXPECT_EQ(window->m_sending, 0);
    EXPECT_EQ(window->Output(), nullptr);
    EXPECT_EQ(CountingRuntime::destroyed, 1);
    window.reset();
    EXPECT_EQ(CountingRuntime::destroyed, 1); // not shut down twice
}

TEST_F(WindowTest, FailedRuntimeIsReportedAndNothingElseIsTouched) {
    CountingRuntime::failInitialise = true;
    EXPECT_FALSE(window->OnInitDialog());
    ASSERT_EQ(prompts.told.size(), 1);
    EXPECT_EQ(prompts.told[0], QStringLiteral("Skyfill|Cannot run NDI - for some reason."));
    EXPECT_EQ(window->Output(), nullptr);
    EXPECT_FALSE(window->TimerRunning(CSkyfillDlg::kRotationTimer));
    window->OnTimer(CSkyfillDlg::kSettleTimer);
    window->OnStart();
    window->UpdateStatusLine();
    window->OnResolutionChosen(32771);
    window.reset();
    EXPECT_EQ(CountingRuntime::destroyed, 0);
    EXPECT_EQ(CountingRuntime::creates, 0);
}

TEST_F(WindowTest, HelpKeyLinksAndContextMenuItems) {
    StartAndSettle();
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &f1);
    ui().m_makerLinkButton->click();
    ui().m_ndiLinkButton->click();
    window->OnSystemCommand(CSkyfillDlg::kHelp);
    ASSERT_EQ(opened.size(), 4);
    EXPECT_EQ(opened[0], CSkyfillDlg::kHelpPage);
    EXPECT_EQ(opened[1], CSkyfillDlg::kMakerHomePage);
    EXPECT_EQ(opened[2], CSkyfillDlg::kNdiHomePage);
    EXPECT_EQ(opened[1].host().endsWith(QStringLiteral(".example")), true);
    QStringList items;
    for (const QAction* action : window->SystemMenu()->actions()) {
        if (!action->isSeparator()) {
            items << action->text();
        }
    }
    EXPECT_EQ(items, (QStringList{QStringLiteral("&Save Default Presets"),
                                  QStringLiteral("&Load Presets from file"),
                                  QStringLiteral("Open online help (ReadMe file)"),
                                  QStringLiteral("&About Skyfill...")}));
}

} // namespace

namespace {

TEST_F(WindowTest, AboutBoxNamesTheVersionsAndTheStandInRuntime) {
    StartAndSettle();
    QString versionLine;
    QTimer::singleShot(0, [&] {
        auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(about->windowTitle(), QStringLiteral("About Kova Skyfill"));
        versionLine = about->Controls().m_versionLine->text();
        about->accept();
    });
    window->OnSystemCommand(CSkyfillDlg::kAboutCommand);
    // The stand-in's version text ends in its version number.
    EXPECT_EQ(versionLine, QStringLiteral("Skyfill v1.0.3.15, NDI® v1.0, x64"));
}

TEST_F(WindowTest, SupportWindowStandsBesideTheMainWindowOnceAndHidesItself) {
    ASSERT_TRUE(window->OnInitDialog());
    AdDialog* support = window->SupportDialog();
    ASSERT_NE(support, nullptr);
    EXPECT_FALSE(support->isVisible());
    window->show();
    EXPECT_TRUE(support->isVisible());
    window->hide();
    window->show(); // later showings leave it alone
    EXPECT_TRUE(support->isVisible());
}

} // namespace

namespace {

// The colour the preview box paints at its top-left corner, as the user sees it.
QRgb PaintedCorner(VidBox& box) {
    QCoreApplication::processEvents();
    // Painted straight into an image of the box's own size and format: grabbing the
    // window would convert a whole window's pixels on Qt's worker threads.
    QImage image(box.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    box.render(&image);
    return image.pixel(1, 1);
}

bool Reddish(QRgb c) {
    return qRed(c) > 200 && qGreen(c) < 80 && qBlue(c) < 80;
}
bool Greenish(QRgb c) {
    return qGreen(c) > 200 && qRed(c) < 80 && qBlue(c) < 80;
}
bool Blueish(QRgb c) {
    return qBlue(c) > 200 && qRed(c) < 80 && qGreen(c) < 80;
}

// Generous: an unoptimised, instrumented build renders a frame in seconds.
bool WaitUntil(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 30000) {
        QTest::qWait(5);
    }
    return done();
}

// The preview while sending: off, a settings change shows exactly one new frame; on,
// it follows every rendered frame. Run under ThreadSanitizer with the other threaded
// tests.
TEST_F(WindowTest, PreviewFollowsTheSendingThreadAsItsModeSays) {
    StartAndSettle();
    // Shown as far as the widgets know, but not put on a screen: flushing a window to
    // the screen would run Qt's own worker threads, which ThreadSanitizer cannot see
    // into. The box is painted on demand below.
    window->setAttribute(Qt::WA_DontShowOnScreen);
    window->show();
    VidBox& preview = *ui().m_preview;
    ui().m_cloudCheck->click();   // plain gradient: corner pixels are the corner colours
    ui().m_previewCheck->click(); // off
    ASSERT_EQ(window->m_previewMode, 0);
    ui().m_startButton->click();
    ASSERT_EQ(window->m_sending, 1);

    window->OnColourPicked(0, 0x000000FF); // red, shown once
    EXPECT_EQ(window->m_previewMode, 1);
    window->OnTimer(CSkyfillDlg::kRotationTimer);
    ASSERT_TRUE(WaitUntil([&] { return window->m_previewMode == 0; }));
    ASSERT_TRUE(WaitUntil([&] { return window->m_frameDirty == 0; }));
    ASSERT_TRUE(WaitUntil([&] { return Reddish(PaintedCorner(preview)); }));

    // A colour that changes without going through a handler (as the rotation does) is
    // rendered and sent, but with the preview off it is not shown.
    window->m_currentColour[0] = ColourRecord::FromValue(0xFF00FF00);
    window->OnTimer(CSkyfillDlg::kRotationTimer);
    ASSERT_TRUE(WaitUntil([&] { return window->m_frameDirty == 0; }));
    QTest::qWait(100);
    EXPECT_TRUE(Reddish(PaintedCorner(preview)));

    ui().m_previewCheck->click(); // on: every rendered frame
    EXPECT_EQ(window->m_previewMode, 2);
    window->OnTimer(CSkyfillDlg::kRotationTimer);
    ASSERT_TRUE(WaitUntil([&] { return Greenish(PaintedCorner(preview)); }));
    window->m_currentColour[0] = ColourRecord::FromValue(0xFF0000FF);
    window->OnTimer(CSkyfillDlg::kRotationTimer);
    ASSERT_TRUE(WaitUntil([&] { return Blueish(PaintedCorner(preview)); }));
    EXPECT_EQ(window->m_previewMode, 2);
    ui().m_stopButton->click();
}

} // namespace
