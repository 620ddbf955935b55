// The main window driven as a user drives it, on the built-in stand-in runtime.

#include "app/bus_link.h"
#include "tests/app/window_fixture.h"
#include "ui_main_window.h"

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

TEST_F(WindowTest, FirstStartShowsSlotOneOfTheDefaultTableAndBecomesNumberOne) {
    ASSERT_TRUE(window->Start());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Kova NDI® Skyfill"));
    EXPECT_EQ(ui().m_statusLine->text(),
              QStringLiteral("Full screen - Static background - plus clouds 1"));
    EXPECT_TRUE(ui().m_previewCheck->isChecked());
    EXPECT_TRUE(ui().m_cloudCheck->isChecked());
    EXPECT_TRUE(ui().m_presetRadio0->isChecked());
    EXPECT_EQ(ui().m_periodLabel->text(), QStringLiteral("Period 210ms"));
    EXPECT_EQ(window->Settings().rotationPeriodMs, 210);
    EXPECT_TRUE(window->RotationTimer().isActive());
    EXPECT_TRUE(window->SettleTimer().isActive());
    EXPECT_TRUE(window->LogoTimer().isActive());
    EXPECT_FALSE(ui().m_stopButton->isEnabled());
    EXPECT_FALSE(window->Output()->HasSender()); // none until the number is settled
    EXPECT_EQ(window->Settings().logoOn, 1);

    window->OnSettleTimer();
    EXPECT_FALSE(window->SettleTimer().isActive());
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
    window->OnResolutionChosen(ResolutionItemOf(720, 576)); // 720 x 576
    EXPECT_EQ(ui().m_resolutionButton->text(), QStringLiteral("720 x 576"));
    EXPECT_EQ(window->Output()->VideoFrame().xres, 720);
    EXPECT_FLOAT_EQ(window->Output()->VideoFrame().picture_aspect_ratio, 16.0f / 9.0f);
    const int creates = CountingRuntime::creates;
    window->OnResolutionChosen(ResolutionItemOf(4096, 2160)); // 4096 x 2160 is not taken
    window->OnResolutionChosen(-1);                           // the menu closed without a choice
    EXPECT_EQ(window->Format().width, 720);
    EXPECT_EQ(window->Format().height, 576);
    EXPECT_EQ(ui().m_resolutionButton->text(), QStringLiteral("720 x 576"));
    EXPECT_EQ(CountingRuntime::creates, creates + 2);

    window->OnFrameRateChosen(FrameRateItemOf(1001));
    EXPECT_EQ(ui().m_outputInfo->text(), QStringLiteral("720 x 576 - 29.97 fps"));
    EXPECT_EQ(window->Output()->VideoFrame().frame_rate_D, 1001);
    EXPECT_EQ(ui().m_frameRateButton->text(), QStringLiteral("29.97p"));
    window->OnFrameRateChosen(-1);
    EXPECT_EQ(window->Format().frameRateD, 1001);
    EXPECT_EQ(CountingRuntime::creates, creates + 4);
}

TEST_F(WindowTest, StatusLineFollowsCloudsRotationAndPattern) {
    StartAndSettle();
    ui().m_cloudCheck->click();
    EXPECT_EQ(ui().m_statusLine->text(),
              QStringLiteral("Full screen - Static background - no clouds"));
    ui().m_cloudCheck->click();
    window->OnCloudSetChosen(1);
    EXPECT_EQ(ui().m_cloudSetButton->text(), QStringLiteral("2"));
    ui().m_fillQuad->click();
    ui().m_rotationCw->click();
    EXPECT_EQ(ui().m_statusLine->text(),
              QStringLiteral("Quad split - Rotating clockwise - plus clouds 2"));
    EXPECT_EQ(window->Settings().fillPattern, 3);
    EXPECT_EQ(window->Settings().rotationMode, 1);
    // Quad split renders the top-left colour into all four corners at once.
    ui().m_cloudCheck->click();
    EXPECT_EQ(Pixel(1279, 719) & 0xFFFFFF, 0x00B5BDu);
    ui().m_cloudCheck->click();
    window->OnCloudSetChosen(-1);
    EXPECT_EQ(window->Settings().cloudSet, 1);
}

TEST_F(WindowTest, ColourPickKeepsAlphaByteAndRendersWhenStopped) {
    StartAndSettle();
    ui().m_cloudCheck->click(); // clouds off: the corner pixel is the gradient's own
    GeneratorSettings settings = window->Settings();
    settings.baseColours[0].alpha = 0x7F; // as a preset file may hold it
    settings.previewEveryFrame = false;   // the preview off
    window->Engine().Apply(settings);
    window->Engine().Composer().SetPreviewOnce(false);
    window->OnColourPicked(0, 0x00203040); // red 40, green 30, blue 20
    EXPECT_EQ(window->Settings().baseColours[0].Value(), 0x7F403020u);
    EXPECT_EQ(window->Settings().currentColours[0].Value(), 0x7F403020u);
    EXPECT_EQ(Pixel(0, 0), 0xFF403020u); // the frame's own alpha stays
    EXPECT_EQ(window->PreviewMode(), 1); // the preview shows the change once
}

TEST_F(WindowTest, SlidersSetPeriodAndCloudSpeed) {
    StartAndSettle();
    ui().m_rotationSpeedSlider->setValue(250);
    EXPECT_EQ(ui().m_periodLabel->text(), QStringLiteral("Period 10ms"));
    EXPECT_EQ(window->Presets().m_presetSlots[0].rotationSliderPosition, 250);
    EXPECT_TRUE(window->RotationTimer().isActive());
    ui().m_cloudSpeedSlider->setValue(-4);
    EXPECT_EQ(window->Settings().cloudSpeed, 4);
    EXPECT_EQ(ui().m_cloudSpeedLabel->text(), QStringLiteral("Cloud speed 4"));
}

// The top end of the slider is position -4: the clouds move up fastest.
TEST_F(WindowTest, CloudSpeedSliderTopEndMovesTheCloudsUpFastest) {
    StartAndSettle();
    QSlider* slider = ui().m_cloudSpeedSlider;
    // A click on the groove pages toward the click, and one page spans the range.
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() / 2, 2));
    EXPECT_EQ(slider->value(), -4);
    EXPECT_EQ(window->Settings().cloudSpeed, 4);
    EXPECT_EQ(window->Presets().m_presetSlots[0].cloudSpeed, 4);
    EXPECT_EQ(ui().m_cloudSpeedLabel->text(), QStringLiteral("Cloud speed 4"));

    slider->setValue(4);
    QTest::keyClick(slider, Qt::Key_Up);
    EXPECT_EQ(window->Settings().cloudSpeed, -3);
    QTest::keyClick(slider, Qt::Key_PageUp);
    EXPECT_EQ(window->Settings().cloudSpeed, 4);
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
    EXPECT_EQ(window->Settings().rotationMode, 1);
    EXPECT_EQ(Pixel(1279, 719) & 0xFFFFFF, 0x00B5BDu); // quad split, rendered
    ToggleAccessibly(ui().m_previewCheck);
    EXPECT_EQ(window->PreviewMode(), 0);
    ToggleAccessibly(ui().m_useMaskCheck);
    EXPECT_EQ(window->Settings().useMask, 1);
    EXPECT_EQ(window->Output()->VideoFrame().FourCC, NDIlib_FourCC_video_type_BGRA);
    ToggleAccessibly(ui().m_invertCheck);
    ToggleAccessibly(ui().m_useMaskAlphaCheck);
    ToggleAccessibly(ui().m_revealAlphaCheck);
    EXPECT_EQ(window->Settings().invertTransparency, 1);
    EXPECT_EQ(window->Settings().useMaskAlpha, 1);
    EXPECT_EQ(window->Settings().revealAlpha, 1);

    // Slot "2" takes over; slot "1" keeps the edits.
    ToggleAccessibly(ui().m_presetRadio1);
    EXPECT_EQ(window->Presets().m_presetSlot, 1);
    EXPECT_EQ(window->LastAppliedSlot(), 0);
    EXPECT_EQ(window->Presets().m_presetSlots[0].fillPattern, 3);
    EXPECT_EQ(window->Presets().m_presetSlots[0].useMask, 1);
    EXPECT_EQ(window->Settings().useMask, 0);
    EXPECT_EQ(ui().m_statusLine->text(),
              QStringLiteral("Horizontal split - Rotating clockwise - plus clouds 1"));
}

// A click both checks a button and reports the click: the handler still runs once. The
// program's own checking of buttons runs none.
TEST_F(WindowTest, OneHandlerRunPerUserActAndNoneForTheProgramsOwnChanges) {
    StartAndSettle();
    ui().m_rotationCw->click();
    QTest::mouseClick(ui().m_presetRadio4, Qt::LeftButton);
    EXPECT_EQ(window->LastAppliedSlot(), 0); // a second run would make it 4
    EXPECT_EQ(window->Presets().m_presetSlots[0].rotationMode, 1);
    // The button of the active slot changes nothing on screen and still stores the slot.
    ui().m_rotationCcw->click();
    QTest::keyClick(ui().m_presetRadio4, Qt::Key_Space);
    EXPECT_EQ(window->LastAppliedSlot(), 4);
    EXPECT_EQ(window->Presets().m_presetSlots[4].rotationMode, 2);

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
    const ColourRecord before = window->Settings().currentColours[0];
    for (int i = 0; i < 50; ++i) {
        window->OnRotationTimer();
    }
    EXPECT_EQ(window->Settings().currentColours[0], before);
    EXPECT_EQ(window->Engine().RotationPhase(), 0);

    ui().m_startButton->click();
    EXPECT_EQ(window->Sending(), 1);
    EXPECT_FALSE(ui().m_startButton->isEnabled());
    EXPECT_FALSE(ui().m_resolutionButton->isEnabled());
    EXPECT_TRUE(ui().m_stopButton->isEnabled());
    for (int i = 0; i < 50; ++i) {
        window->OnRotationTimer();
    }
    EXPECT_EQ(window->Engine().RotationPhase(), 50);
    EXPECT_NE(window->Settings().currentColours[0], before);
    EXPECT_EQ(window->Engine().Published().currentColours[0], window->Settings().currentColours[0]);
    ui().m_stopButton->click();
    EXPECT_EQ(window->Sending(), 0);
    EXPECT_TRUE(ui().m_startButton->isEnabled());
    EXPECT_TRUE(ui().m_frameRateButton->isEnabled());
}

TEST_F(WindowTest, StartBeforeTheNumberIsSettledIsRefused) {
    ASSERT_TRUE(window->Start());
    window->OnStart();
    EXPECT_EQ(window->Sending(), 0);
    EXPECT_TRUE(ui().m_startButton->isEnabled());
    EXPECT_EQ(CountingRuntime::sends, 0);
}

TEST_F(WindowTest, LogoEndsAfterTheFirstTimerForHighDraws) {
    ASSERT_TRUE(window->Start()); // draw 7
    window->OnLogoTimer();
    EXPECT_EQ(window->Settings().logoOn, 0);
    EXPECT_FALSE(window->LogoTimer().isActive());
    EXPECT_FALSE(window->LogoLateTimer().isActive());
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
    EXPECT_EQ(window->Sending(), 1);

    prompts.answers = {false};
    window->show();
    window->close(); // the window's close button asks too
    EXPECT_EQ(prompts.asked.size(), 2);
    EXPECT_FALSE(window->HasEnded());

    prompts.answers = {true};
    window->OnOK();
    EXPECT_TRUE(window->HasEnded());
    EXPECT_EQ(window->Sending(), 0);
    EXPECT_EQ(window->Output(), nullptr);
    EXPECT_EQ(CountingRuntime::destroyed, 1);
    window.reset();
    EXPECT_EQ(CountingRuntime::destroyed, 1); // not shut down twice
}

TEST_F(WindowTest, FailedRuntimeIsReportedAndNothingElseIsTouched) {
    CountingRuntime::failInitialise = true;
    EXPECT_FALSE(window->Start());
    ASSERT_EQ(prompts.told.size(), 1);
    EXPECT_EQ(prompts.told[0], QStringLiteral("Skyfill|Cannot run NDI - for some reason."));
    EXPECT_EQ(window->Output(), nullptr);
    EXPECT_FALSE(window->RotationTimer().isActive());
    window->OnSettleTimer();
    window->OnStart();
    window->UpdateStatusLine();
    window->OnResolutionChosen(ResolutionItemOf(1920, 1080));
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
    window->OnWindowCommand(WindowCommand::Help);
    ASSERT_EQ(opened.size(), 4);
    EXPECT_EQ(opened[0], MainWindow::kHelpPage);
    EXPECT_EQ(opened[1], MainWindow::kMakerHomePage);
    EXPECT_EQ(opened[2], MainWindow::kNdiHomePage);
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
