// The alpha mask as the window applies it, stopped and while the sending thread runs.

#include "presets/preset_file.h"
#include "tests/app/window_test_support.h"
#include "ui_main_window.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QThread>
#include <cstring>
#include <gtest/gtest.h>

namespace {

class MaskWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        window = std::make_unique<MainWindow>(AloneEnvironment(prompts, 0));
        ASSERT_TRUE(window->Start());
        window->OnSettleTimer();
    }
    void TearDown() override {
        if (window && window->Output() != nullptr) {
            window->OnStop();
        }
    }

    // Left half white, right half pure red, with the alpha given.
    QString MakeMask(const QString& name, int alpha = 255) {
        QImage image(200, 100, QImage::Format_ARGB32);
        for (int y = 0; y < 100; ++y) {
            for (int x = 0; x < 200; ++x) {
                image.setPixel(x, y,
                               x < 100 ? qRgba(255, 255, 255, alpha) : qRgba(255, 0, 0, alpha));
            }
        }
        QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path, "PNG"));
        return path;
    }

    uint8_t AlphaAt(int x, int y) {
        return window->Output()->FrameStore()[(y * window->Format().width + x) * 4 + 3];
    }

    QTemporaryDir dir;
    ScriptedPrompts prompts;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MaskWindowTest, BrightnessBecomesAlphaInvertedOnRequestAndOpaqueWithoutTheMask) {
    Ui::MainWindow& ui = window->Controls();
    window->OnLoadAlphaMask(MakeMask(QStringLiteral("m.png")));
    EXPECT_EQ(ui.m_maskNameLabel->text(), dir.filePath(QStringLiteral("m.png")));
    EXPECT_EQ(window->Engine().Composer().Mask().m_width,
              1280); // stretched to the output, aspect not kept
    EXPECT_EQ(window->Engine().Composer().Mask().m_height, 720);
    EXPECT_EQ(AlphaAt(10, 10), 255); // not in use yet

    ui.m_useMaskCheck->click();
    EXPECT_EQ(window->Output()->VideoFrame().FourCC, NDIlib_FourCC_video_type_BGRA);
    EXPECT_EQ(AlphaAt(10, 10), 255);   // white
    EXPECT_EQ(AlphaAt(1200, 700), 76); // red: 30 * 255 / 100
    ui.m_invertCheck->click();
    EXPECT_EQ(AlphaAt(10, 10), 0);
    EXPECT_EQ(AlphaAt(1200, 700), 179);
    ui.m_hFlipButton->click();
    EXPECT_EQ(AlphaAt(10, 10), 179);
    ui.m_hFlipButton->click(); // twice restores
    EXPECT_EQ(AlphaAt(10, 10), 0);

    ui.m_useMaskCheck->click();
    EXPECT_EQ(window->Output()->VideoFrame().FourCC, NDIlib_FourCC_video_type_BGRX);
    EXPECT_EQ(AlphaAt(10, 10), 255);
    EXPECT_EQ(AlphaAt(1200, 700), 255);
}

TEST_F(MaskWindowTest, OwnAlphaLongNamesAndAFailedLoadKeepingThePreviousMask) {
    Ui::MainWindow& ui = window->Controls();
    const QString longName = QString(70, QLatin1Char('n')) + QStringLiteral(".png");
    window->OnLoadAlphaMask(MakeMask(longName, 40));
    EXPECT_EQ(ui.m_maskNameLabel->text(), longName); // over 60 characters: the name alone
    ui.m_useMaskCheck->click();
    ui.m_useMaskAlphaCheck->click();
    EXPECT_EQ(AlphaAt(10, 10), 40);

    QFile broken(dir.filePath(QStringLiteral("broken.png")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("\x89PNG\r\n\x1a\n not really");
    broken.close();
    window->OnLoadAlphaMask(broken.fileName());
    EXPECT_EQ(ui.m_maskNameLabel->text(), longName);
    EXPECT_EQ(window->Engine().Composer().Mask().m_width, 1280);
    ui.m_invertCheck->click();
    EXPECT_EQ(AlphaAt(10, 10), 215); // the previous mask, still in use
    // The new path is kept, so a later preset save names it.
    EXPECT_EQ(window->MaskFilePath(), broken.fileName());
}

TEST_F(MaskWindowTest, APresetFileNamingAMaskLoadsAndAppliesIt) {
    PresetBlock block = DefaultPresetBlock();
    block.m_presetSlots[0].useMask = 1;
    block.m_presetSlots[0].cloudsOn = 0;
    const QString mask = MakeMask(QStringLiteral("preset-mask.png"));
    const QString preset = dir.filePath(QStringLiteral("with-mask.skf"));
    ASSERT_TRUE(SavePresetBytes(preset.toStdString(), block, mask.toStdU16String()).saved);
    ASSERT_TRUE(window->LoadPresetFile(preset));
    EXPECT_EQ(window->MaskFilePath(), mask);
    EXPECT_EQ(window->Settings().useMask, 1);
    EXPECT_EQ(AlphaAt(1200, 700), 76);
    EXPECT_FALSE(window->BitmapStatic()->pixmap().isNull());
}

// Mask writes asked for while the thread renders are done by it between two renders;
// ThreadSanitizer checks that nothing else touches the frame at the same time.
TEST_F(MaskWindowTest, MaskChangesWhileSendingLandBetweenRenders) {
    Ui::MainWindow& ui = window->Controls();
    window->OnLoadAlphaMask(MakeMask(QStringLiteral("m.png")));
    ui.m_useMaskCheck->click();
    ui.m_startButton->click();
    ASSERT_EQ(window->Sending(), 1);
    for (int i = 0; i < 40; ++i) {
        ui.m_invertCheck->click();
        ui.m_vFlipButton->click();
        window->OnRotationTimer();
        QCoreApplication::processEvents();
    }
    window->OnLogoTimer(); // the logo ends and the mask is written again
    // Wait for the thread to take the last request, then stop it.
    for (int i = 0; i < 200 && window->Output()->FrameDirty() != 0; ++i) {
        QThread::msleep(5);
    }
    ui.m_stopButton->click();
    EXPECT_EQ(window->Settings().invertTransparency, 0); // an even number of clicks
    EXPECT_EQ(AlphaAt(10, 10), 255);
    EXPECT_EQ(AlphaAt(1200, 700), 76);
}

// Masks loaded while the thread renders: decoded and stretched aside, handed over
// under the lock (ThreadSanitizer watches the hand-over), and the last one is in use.
TEST_F(MaskWindowTest, MasksLoadedWhileSendingAreHandedOverWhole) {
    Ui::MainWindow& ui = window->Controls();
    QImage grey(300, 200, QImage::Format_RGB32);
    grey.fill(qRgb(128, 128, 128));
    const QString greyPath = dir.filePath(QStringLiteral("grey.png"));
    ASSERT_TRUE(grey.save(greyPath, "PNG"));
    const QString halves = MakeMask(QStringLiteral("halves.png"));
    ui.m_useMaskCheck->click();
    ui.m_startButton->click();
    ASSERT_EQ(window->Sending(), 1);
    for (int i = 0; i < 10; ++i) {
        window->OnLoadAlphaMask(i % 2 == 0 ? halves : greyPath);
        window->OnRotationTimer();
        QCoreApplication::processEvents();
    }
    for (int i = 0; i < 200 && window->Output()->FrameDirty() != 0; ++i) {
        QThread::msleep(5);
    }
    ui.m_stopButton->click();
    EXPECT_EQ(ui.m_maskNameLabel->text(), greyPath);
    EXPECT_EQ(window->Engine().Composer().Mask().m_width, 1280);
    EXPECT_EQ(AlphaAt(10, 10), 128);
    EXPECT_EQ(AlphaAt(1200, 700), 128);
}

} // namespace
