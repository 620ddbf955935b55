// The window's dialogs and its preview box, as the user sees them.

#include "dialogs/about_dialog.h"
#include "dialogs/support_dialog.h"
#include "preview/preview_box.h"
#include "tests/app/window_fixture.h"
#include "tests/layout_checks.h"
#include "ui_about_dialog.h"
#include "ui_main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

TEST_F(WindowTest, AboutBoxNamesTheVersionsAndTheStandInRuntime) {
    StartAndSettle();
    QString versionLine;
    QTimer::singleShot(0, [&] {
        auto* about = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(about->windowTitle(), QStringLiteral("About Kova Skyfill"));
        versionLine = about->Controls().m_versionLine->text();
        about->accept();
    });
    window->RunCommand(WindowCommand::About);
    // The stand-in's version text ends in its version number.
    EXPECT_EQ(versionLine, QStringLiteral("Skyfill v1.0.3.15, NDI® v1.0, x64"));
}

TEST_F(WindowTest, LoadPresetsFromFileOpensInThePresetFolder) {
    const QTemporaryDir presets;
    window.reset();
    SessionEnvironment environment = AloneSession(4242);
    environment.start.presetFolder = QFile::encodeName(presets.path());
    session = std::make_unique<CopySession>(std::move(environment));
    window = std::make_unique<MainWindow>(*session, Environment(prompts));
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        shown = dialog->directory().absolutePath();
        dialog->reject();
    });
    window->RunCommand(WindowCommand::LoadPresets);
    EXPECT_EQ(shown, QDir(presets.path()).absolutePath());
}

TEST_F(WindowTest, SupportWindowStandsBesideTheMainWindowOnceAndHidesItself) {
    ASSERT_TRUE(window->Start());
    SupportDialog* support = window->SupportWindow();
    ASSERT_NE(support, nullptr);
    EXPECT_FALSE(support->isVisible());
    window->show();
    EXPECT_TRUE(support->isVisible());
    window->hide();
    window->show(); // later showings leave it alone
    EXPECT_TRUE(support->isVisible());
}

// A colour changed without a command, as the rotation changes them.
void SetCurrentColour(CopySession& session, uint32_t argb) {
    GeneratorSettings settings = session.Settings();
    settings.currentColours[0] = ColourRecord::FromValue(argb);
    session.Engine().Apply(settings);
}

// The colour the preview box paints at its top-left corner, as the user sees it.
QRgb PaintedCorner(PreviewBox& box) {
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
    PreviewBox& preview = *ui().m_preview;
    ui().m_cloudCheck->click();   // plain gradient: corner pixels are the corner colours
    ui().m_previewCheck->click(); // off
    ASSERT_EQ(session->Preview(), PreviewMode::Off);
    ui().m_startButton->click();
    ASSERT_TRUE(session->Sending());
    // The run's first frame takes a once-request raised while it is drawn; wait until it
    // has been sent, so that the request below is met by a later frame.
    ASSERT_TRUE(WaitUntil([&] { return session->Output()->FrameDirty() == 0; }));
    const int sent = CountingRuntime::sends;
    ASSERT_TRUE(WaitUntil([&] { return CountingRuntime::sends > sent; }));

    ui().m_colourButton0->Pick(0x000000FF); // red, shown once
    EXPECT_EQ(session->Preview(), PreviewMode::Once);
    session->RotationTick();
    ASSERT_TRUE(WaitUntil([&] { return session->Preview() == PreviewMode::Off; }));
    ASSERT_TRUE(WaitUntil([&] { return session->Output()->FrameDirty() == 0; }));
    ASSERT_TRUE(WaitUntil([&] { return Reddish(PaintedCorner(preview)); }));

    // A colour that changes without going through a handler (as the rotation does) is
    // rendered and sent, but with the preview off it is not shown.
    SetCurrentColour(*session, 0xFF00FF00);
    session->RotationTick();
    ASSERT_TRUE(WaitUntil([&] { return session->Output()->FrameDirty() == 0; }));
    QTest::qWait(100);
    EXPECT_TRUE(Reddish(PaintedCorner(preview)));

    ui().m_previewCheck->click(); // on: every rendered frame
    EXPECT_EQ(session->Preview(), PreviewMode::EveryFrame);
    session->RotationTick();
    ASSERT_TRUE(WaitUntil([&] { return Greenish(PaintedCorner(preview)); }));
    SetCurrentColour(*session, 0xFF0000FF);
    session->RotationTick();
    ASSERT_TRUE(WaitUntil([&] { return Blueish(PaintedCorner(preview)); }));
    EXPECT_EQ(session->Preview(), PreviewMode::EveryFrame);
    ui().m_stopButton->click();
}

// The picture box is 320 x 180 inside a 324 x 184 frame; the mask's name is centred
// under it; no text is clipped or covered.
TEST_F(WindowTest, PictureBoxAndLabelsAreLaidOutAsDrawnAndUnclipped) {
    StartAndSettle();
    const QRect box = window->BitmapStatic()->geometry();
    EXPECT_EQ(box.size(), QSize(320, 180));
    const QLabel* frame = nullptr;
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (label->frameShape() == QFrame::Box) {
            frame = label;
        }
    }
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->geometry(), box.adjusted(-2, -2, 2, 2));
    EXPECT_TRUE(ui().m_maskNameLabel->alignment() & Qt::AlignHCenter);
    ExpectTextsUnclippedAndApart(*window);
}

} // namespace
