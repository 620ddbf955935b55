// The window as a face of its session: controls send commands, the session's state is
// shown, keyboard and accessibility, and its questions become message boxes.

#include "app/menu_button.h"
#include "tests/app/window_fixture.h"
#include "ui_main_window.h"
#include "vocabulary/output_formats.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST_F(WindowTest, FirstStartShowsTheSessionsStateAndTitlesTheSettledNumber) {
    ASSERT_TRUE(window->Start());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Kova NDI® Skyfill"));
    EXPECT_EQ(ui().m_statusLine->text(),
              QStringLiteral("Full screen - Static background - plus clouds 1"));
    EXPECT_TRUE(ui().m_previewCheck->isChecked());
    EXPECT_TRUE(ui().m_cloudCheck->isChecked());
    EXPECT_TRUE(ui().m_presetRadio0->isChecked());
    EXPECT_EQ(ui().m_periodLabel->text(), QStringLiteral("Period 210ms"));
    EXPECT_EQ(ui().m_rotationSpeedSlider->value(), 50);
    EXPECT_FALSE(ui().m_stopButton->isEnabled());
    // The menus keep their captions until a choice; the link pictures show their icons.
    EXPECT_EQ(ui().m_resolutionButton->text(), QStringLiteral("Resolution"));
    EXPECT_EQ(ui().m_frameRateButton->text(), QStringLiteral("Framerate"));
    EXPECT_FALSE(ui().m_socialLinkPicture->icon().isNull());
    EXPECT_FALSE(ui().m_videoLinkPicture->icon().isNull());

    session->SettleNumber();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Kova Skyfill for NDI® - No 1"));
    EXPECT_EQ(ui().m_outputInfo->text(), QStringLiteral("1280 x 720 - 25.00 fps"));
    ui().m_cloudCheck->click();
    EXPECT_FALSE(session->Settings().cloudsOn);
    EXPECT_EQ(Pixel(0, 0), 0xFF00B5BDu);
}

TEST_F(WindowTest, MenusSendTheirItemsAndShowTheFormat) {
    StartAndSettle();
    emit ui().m_resolutionButton->itemChosen(OutputSizeItem(720, 576));
    EXPECT_EQ(ui().m_resolutionButton->text(), QStringLiteral("720 x 576"));
    EXPECT_EQ(session->Output()->VideoFrame().xres, 720);
    const int creates = CountingRuntime::creates;
    emit ui().m_resolutionButton->itemChosen(OutputSizeItem(4096, 2160)); // offered, not taken
    EXPECT_EQ(ui().m_resolutionButton->text(), QStringLiteral("720 x 576"));
    EXPECT_EQ(CountingRuntime::creates, creates + 1);

    emit ui().m_frameRateButton->itemChosen(FrameRateItemNamed("29.97"));
    EXPECT_EQ(ui().m_frameRateButton->text(), QStringLiteral("29.97p"));
    EXPECT_EQ(ui().m_outputInfo->text(), QStringLiteral("720 x 576 - 29.97 fps"));
    emit ui().m_cloudSetButton->itemChosen(1);
    EXPECT_EQ(ui().m_cloudSetButton->text(), QStringLiteral("2"));
    ui().m_fillQuad->click();
    ui().m_rotationCw->click();
    EXPECT_EQ(ui().m_statusLine->text(),
              QStringLiteral("Quad split - Rotating clockwise - plus clouds 2"));
}

// The cloud slider's position is the speed: its top end moves the clouds up fastest.
TEST_F(WindowTest, SlidersSendTheirPositionsAndShowPeriodAndSpeed) {
    StartAndSettle();
    ui().m_rotationSpeedSlider->setValue(250);
    EXPECT_EQ(ui().m_periodLabel->text(), QStringLiteral("Period 10ms"));
    EXPECT_EQ(session->Presets().m_presetSlots[0].rotationSliderPosition, 250);
    QSlider* slider = ui().m_cloudSpeedSlider;
    // A click on the groove pages toward the click, and one page spans the range.
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() / 2, 2));
    EXPECT_EQ(slider->value(), 4);
    EXPECT_EQ(session->Settings().cloudSpeed, 4);
    EXPECT_EQ(ui().m_cloudSpeedLabel->text(), QStringLiteral("Cloud speed 4"));
    slider->setValue(-4);
    QTest::keyClick(slider, Qt::Key_Up);
    EXPECT_EQ(session->Settings().cloudSpeed, -3);
    QTest::keyClick(slider, Qt::Key_PageUp);
    EXPECT_EQ(session->Settings().cloudSpeed, 4);
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
    ToggleAccessibly(ui().m_previewCheck);
    EXPECT_EQ(session->Preview(), PreviewMode::Off);
    ToggleAccessibly(ui().m_useMaskCheck);
    EXPECT_TRUE(session->Settings().useMask);
    EXPECT_EQ(session->Output()->VideoFrame().FourCC, NDIlib_FourCC_video_type_BGRA);
    ToggleAccessibly(ui().m_invertCheck);
    ToggleAccessibly(ui().m_useMaskAlphaCheck);
    ToggleAccessibly(ui().m_revealAlphaCheck);
    EXPECT_TRUE(session->Settings().invertTransparency);
    EXPECT_TRUE(session->Settings().useMaskAlpha);
    EXPECT_TRUE(session->Settings().revealAlpha);

    // Slot "2" takes over and its look is shown; slot "1" keeps the edits.
    ToggleAccessibly(ui().m_presetRadio1);
    EXPECT_EQ(session->Presets().m_presetSlot, 1);
    EXPECT_EQ(session->LastAppliedSlot(), 0);
    EXPECT_EQ(session->Presets().m_presetSlots[0].fillPattern, 3);
    EXPECT_FALSE(ui().m_useMaskCheck->isChecked());
    EXPECT_TRUE(ui().m_fillHSplit->isChecked());
    EXPECT_EQ(ui().m_statusLine->text(),
              QStringLiteral("Horizontal split - Rotating clockwise - plus clouds 1"));
}

// A click both checks a button and reports the click: the command is still sent once.
// What another face changes is shown without sending a command back.
TEST_F(WindowTest, OneCommandPerUserActAndNoneForWhatTheWindowShows) {
    StartAndSettle();
    ui().m_rotationCw->click();
    QTest::mouseClick(ui().m_presetRadio4, Qt::LeftButton);
    EXPECT_EQ(session->LastAppliedSlot(), 0); // a second command would make it 4
    EXPECT_EQ(session->Presets().m_presetSlots[0].rotationMode, 1);
    // The button of the active slot changes nothing on screen and still stores the slot.
    ui().m_rotationCcw->click();
    QTest::keyClick(ui().m_presetRadio4, Qt::Key_Space);
    EXPECT_EQ(session->LastAppliedSlot(), 4);
    EXPECT_EQ(session->Presets().m_presetSlots[4].rotationMode, 2);

    ASSERT_FALSE(session->SelectSlot(3, Caller::Program).Refused());
    EXPECT_EQ(session->LastAppliedSlot(), 4);
    EXPECT_TRUE(ui().m_presetRadio3->isChecked());
    EXPECT_TRUE(ui().m_fillQuad->isChecked());
    EXPECT_TRUE(ui().m_rotationCw->isChecked());
}

TEST_F(WindowTest, StartAndStopButtonsFollowSending) {
    StartAndSettle();
    ui().m_startButton->click();
    EXPECT_TRUE(session->Sending());
    EXPECT_FALSE(ui().m_startButton->isEnabled());
    EXPECT_FALSE(ui().m_resolutionButton->isEnabled());
    EXPECT_FALSE(ui().m_frameRateButton->isEnabled());
    EXPECT_TRUE(ui().m_stopButton->isEnabled());
    ui().m_stopButton->click();
    EXPECT_FALSE(session->Sending());
    EXPECT_TRUE(ui().m_startButton->isEnabled());
    EXPECT_TRUE(ui().m_frameRateButton->isEnabled());
}

TEST_F(WindowTest, DecliningExitChangesNothingAndEscapeAsks) {
    StartAndSettle();
    ui().m_startButton->click();
    prompts.answers = {false};
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &escape);
    ASSERT_EQ(prompts.asked.size(), 1);
    EXPECT_EQ(prompts.asked[0], QStringLiteral("Quit Skyfill|OK to exit?"));
    EXPECT_FALSE(session->HasEnded());
    EXPECT_TRUE(session->Sending());

    prompts.answers = {false};
    window->show();
    window->close(); // the window's close button asks too
    EXPECT_EQ(prompts.asked.size(), 2);
    EXPECT_TRUE(window->isVisible());

    prompts.answers = {true};
    ui().m_exitButton->click();
    EXPECT_TRUE(session->HasEnded());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_EQ(CountingRuntime::destroyed, 1);
}

TEST_F(WindowTest, ATerminationSignalClosesRealMessageBoxesAndNothingWaitsAfterIt) {
    window = std::make_unique<MainWindow>(*session, [this] {
        WindowEnvironment environment = Environment(prompts);
        environment.prompts = nullptr; // real boxes, on the offscreen screen
        return environment;
    }());
    StartAndSettle();
    // Should anything still wait for an answer, this answers it, so the test fails
    // rather than hangs.
    bool rescued = false;
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [&rescued] {
        if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            rescued = true;
            box->reject();
        }
    });
    watchdog.start(20000);
    const SavesFail failing;
    // The signal comes while "OK to exit?" is open; the save at exit then fails, and its
    // message goes to standard error instead of a box.
    QTimer::singleShot(0, window.get(), [this] { session->ShutDownNow(); });
    ui().m_exitButton->click();
    EXPECT_FALSE(rescued);
    EXPECT_TRUE(session->HasEnded());
    EXPECT_EQ(CountingRuntime::destroyed, 1);
}

TEST_F(WindowTest, HelpKeyLinksAndContextMenuItems) {
    StartAndSettle();
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &f1);
    ui().m_makerLinkButton->click();
    ui().m_ndiLinkButton->click();
    window->RunCommand(WindowCommand::Help);
    ASSERT_EQ(opened.size(), 4);
    EXPECT_EQ(opened[0], MainWindow::kHelpPage);
    EXPECT_EQ(opened[1], MainWindow::kMakerHomePage);
    EXPECT_EQ(opened[2], MainWindow::kNdiHomePage);
    EXPECT_EQ(opened[1].host().endsWith(QStringLiteral(".example")), true);
    QStringList items;
    QAction* uyvy = nullptr;
    for (QAction* action : window->SystemMenu()->actions()) {
        if (!action->isSeparator()) {
            items << action->text();
        }
        uyvy = action->isCheckable() ? action : uyvy;
    }
    EXPECT_EQ(items, (QStringList{QStringLiteral("&Save Default Presets"),
                                  QStringLiteral("&Load Presets from file"),
                                  QStringLiteral("Send &UYVY (4:2:2, no alpha)"),
                                  QStringLiteral("Open online help (ReadMe file)"),
                                  QStringLiteral("&About Skyfill...")}));
    // The pixel format is the copy's own choice, shown as it changes from anywhere.
    ASSERT_NE(uyvy, nullptr);
    uyvy->trigger();
    EXPECT_TRUE(session->Uyvy());
    session->SetPixelFormat(QStringLiteral("bgrx"), Caller::Program);
    EXPECT_FALSE(uyvy->isChecked());
    // The session's messages become message boxes.
    window->RunCommand(WindowCommand::SaveDefaults);
    EXPECT_EQ(prompts.told.last(), QStringLiteral("Save File|Current presets saved as defaults"));
}

} // namespace
