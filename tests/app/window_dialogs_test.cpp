// The window's dialogs and its preview box, as the user sees them.

#include "dialogs/about_dialog.h"
#include "dialogs/support_dialog.h"
#include "preview/preview_box.h"
#include "tests/app/window_fixture.h"
#include "ui_about_dialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
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
    window->OnWindowCommand(WindowCommand::About);
    // The stand-in's version text ends in its version number.
    EXPECT_EQ(versionLine, QStringLiteral("Skyfill v1.0.3.15, NDI® v1.0, x64"));
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
    ASSERT_EQ(window->PreviewMode(), 0);
    ui().m_startButton->click();
    ASSERT_EQ(window->Sending(), 1);
    // The run's first frame takes a once-request raised while it is drawn; wait until it
    // has been sent, so that the request below is met by a later frame.
    ASSERT_TRUE(WaitUntil([&] { return window->Output()->FrameDirty() == 0; }));
    const int sent = CountingRuntime::sends;
    ASSERT_TRUE(WaitUntil([&] { return CountingRuntime::sends > sent; }));

    window->OnColourPicked(0, 0x000000FF); // red, shown once
    EXPECT_EQ(window->PreviewMode(), 1);
    window->OnRotationTimer();
    ASSERT_TRUE(WaitUntil([&] { return window->PreviewMode() == 0; }));
    ASSERT_TRUE(WaitUntil([&] { return window->Output()->FrameDirty() == 0; }));
    ASSERT_TRUE(WaitUntil([&] { return Reddish(PaintedCorner(preview)); }));

    // A colour that changes without going through a handler (as the rotation does) is
    // rendered and sent, but with the preview off it is not shown.
    SetCurrentColour(0xFF00FF00);
    window->OnRotationTimer();
    ASSERT_TRUE(WaitUntil([&] { return window->Output()->FrameDirty() == 0; }));
    QTest::qWait(100);
    EXPECT_TRUE(Reddish(PaintedCorner(preview)));

    ui().m_previewCheck->click(); // on: every rendered frame
    EXPECT_EQ(window->PreviewMode(), 2);
    window->OnRotationTimer();
    ASSERT_TRUE(WaitUntil([&] { return Greenish(PaintedCorner(preview)); }));
    SetCurrentColour(0xFF0000FF);
    window->OnRotationTimer();
    ASSERT_TRUE(WaitUntil([&] { return Blueish(PaintedCorner(preview)); }));
    EXPECT_EQ(window->PreviewMode(), 2);
    ui().m_stopButton->click();
}

} // namespace
