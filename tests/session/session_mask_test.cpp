// The alpha mask as the session applies it, stopped and while the sending thread runs.

#include "presets/preset_file.h"
#include "tests/session/session_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

namespace {

class SessionMaskTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.Valid());
        copy = std::make_unique<SessionFixture>(AloneSession(0));
        ASSERT_TRUE(copy->StartAndSettle());
    }
    void TearDown() override { copy.reset(); }

    CopySession& Session() { return copy->session; }
    QString FilePath(const QString& name) const { return QDir(folder.Path()).filePath(name); }

    // A click on one of the three mask check boxes: the window sends all three.
    enum class Box { Use, Invert, OwnAlpha };
    void Click(Box box) {
        const GeneratorSettings& s = Session().Settings();
        Session().SetMaskSwitches(s.useMask != (box == Box::Use),
                                  s.invertTransparency != (box == Box::Invert),
                                  s.useMaskAlpha != (box == Box::OwnAlpha));
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
        QString path = FilePath(name);
        EXPECT_TRUE(image.save(path, "PNG"));
        return path;
    }

    uint8_t AlphaAt(int x, int y) {
        return Session().Output()->FrameStore()[(y * Session().Format().width + x) * 4 + 3];
    }

    // Until the thread has taken the last request, however long a busy machine takes.
    void WaitForTheThread() {
        for (int i = 0; i < 200 && Session().Output()->FrameDirty(); ++i) {
            QThread::msleep(5);
        }
    }

    WorkFolder folder;
    std::unique_ptr<SessionFixture> copy;
};

TEST_F(SessionMaskTest, BrightnessBecomesAlphaInvertedOnRequestAndOpaqueWithoutTheMask) {
    CopySession& s = Session();
    s.LoadMask(MakeMask(QStringLiteral("m.png")));
    EXPECT_EQ(s.MaskLabel(), FilePath(QStringLiteral("m.png")));
    EXPECT_EQ(s.Engine().Composer().Mask().m_width, 1280); // stretched to the output,
    EXPECT_EQ(s.Engine().Composer().Mask().m_height, 720); // aspect not kept
    EXPECT_EQ(AlphaAt(10, 10), 255);                       // not in use yet

    Click(Box::Use);
    EXPECT_EQ(s.Output()->VideoFrame().FourCC, NDIlib_FourCC_video_type_BGRA);
    EXPECT_EQ(AlphaAt(10, 10), 255);   // white
    EXPECT_EQ(AlphaAt(1200, 700), 76); // red: 30 * 255 / 100
    Click(Box::Invert);
    EXPECT_EQ(AlphaAt(10, 10), 0);
    EXPECT_EQ(AlphaAt(1200, 700), 179);
    s.FlipMask(true);
    EXPECT_EQ(AlphaAt(10, 10), 179);
    s.FlipMask(true); // twice restores
    EXPECT_EQ(AlphaAt(10, 10), 0);

    Click(Box::Use);
    EXPECT_EQ(s.Output()->VideoFrame().FourCC, NDIlib_FourCC_video_type_BGRX);
    EXPECT_EQ(AlphaAt(10, 10), 255);
    EXPECT_EQ(AlphaAt(1200, 700), 255);
}

TEST_F(SessionMaskTest, OwnAlphaLongNamesAndAFailedLoadKeepingThePreviousMask) {
    CopySession& s = Session();
    const QString longName = QString(70, QLatin1Char('n')) + QStringLiteral(".png");
    s.LoadMask(MakeMask(longName, 40));
    EXPECT_EQ(s.MaskLabel(), longName); // over 60 characters: the name alone
    Click(Box::Use);
    Click(Box::OwnAlpha);
    EXPECT_EQ(AlphaAt(10, 10), 40);

    QFile broken(FilePath(QStringLiteral("broken.png")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("\x89PNG\r\n\x1a\n not really");
    broken.close();
    s.LoadMask(broken.fileName());
    EXPECT_EQ(s.MaskLabel(), longName);
    EXPECT_EQ(s.Engine().Composer().Mask().m_width, 1280);
    Click(Box::Invert);
    EXPECT_EQ(AlphaAt(10, 10), 215); // the previous mask, still in use
    // The new path is kept, so a later preset save names it.
    EXPECT_EQ(s.MaskFilePath(), broken.fileName());
}

TEST_F(SessionMaskTest, APresetFileNamingAMaskLoadsAndAppliesIt) {
    CopySession& s = Session();
    PresetBlock block = DefaultPresetBlock();
    block.m_presetSlots[0].useMask = 1;
    block.m_presetSlots[0].cloudsOn = 0;
    const QString mask = MakeMask(QStringLiteral("preset-mask.png"));
    const QString preset = FilePath(QStringLiteral("with-mask.skf"));
    ASSERT_TRUE(SavePresetBytes(preset.toStdString(), block, mask.toStdU16String()).saved);
    const int boxChanges = s.BoxViewChanges();
    ASSERT_FALSE(s.LoadPresets(preset).Refused());
    EXPECT_EQ(s.MaskFilePath(), mask);
    EXPECT_EQ(s.Settings().useMask, 1);
    EXPECT_EQ(AlphaAt(1200, 700), 76);
    EXPECT_TRUE(s.BoxView().Holds());
    EXPECT_GT(s.BoxViewChanges(), boxChanges); // the box shows the mask
}

// Without a mask the box shows the logo, which revealing the alpha must leave as it is.
TEST_F(SessionMaskTest, RevealingTheAlphaWithoutAMaskLeavesTheBoxAlone) {
    CopySession& s = Session();
    ASSERT_TRUE(s.BoxView().Holds());
    const int changes = s.BoxViewChanges();
    const std::vector<uint8_t> shown = s.BoxView().pixels;
    s.SetRevealAlpha(true);
    EXPECT_TRUE(s.Settings().revealAlpha);
    EXPECT_EQ(s.BoxViewChanges(), changes);
    EXPECT_EQ(s.BoxView().pixels, shown);
}

// Mask writes asked for while the thread renders are done by it between two renders;
// ThreadSanitizer checks that nothing else touches the frame at the same time.
TEST_F(SessionMaskTest, MaskChangesWhileSendingLandBetweenRenders) {
    CopySession& s = Session();
    s.LoadMask(MakeMask(QStringLiteral("m.png")));
    Click(Box::Use);
    s.StartSending();
    ASSERT_TRUE(s.Sending());
    for (int i = 0; i < 40; ++i) {
        Click(Box::Invert);
        s.FlipMask(false);
        s.RotationTick();
        QCoreApplication::processEvents();
    }
    s.LogoTick(); // the logo ends and the mask is written again
    WaitForTheThread();
    s.StopSending();
    EXPECT_EQ(s.Settings().invertTransparency, 0); // an even number of clicks
    EXPECT_EQ(AlphaAt(10, 10), 255);
    EXPECT_EQ(AlphaAt(1200, 700), 76);
}

// Masks loaded while the thread renders: decoded and stretched aside, handed over
// under the lock (ThreadSanitizer watches the hand-over), and the last one is in use.
TEST_F(SessionMaskTest, MasksLoadedWhileSendingAreHandedOverWhole) {
    CopySession& s = Session();
    QImage grey(300, 200, QImage::Format_RGB32);
    grey.fill(qRgb(128, 128, 128));
    const QString greyPath = FilePath(QStringLiteral("grey.png"));
    ASSERT_TRUE(grey.save(greyPath, "PNG"));
    const QString halves = MakeMask(QStringLiteral("halves.png"));
    Click(Box::Use);
    s.StartSending();
    ASSERT_TRUE(s.Sending());
    for (int i = 0; i < 10; ++i) {
        s.LoadMask(i % 2 == 0 ? halves : greyPath);
        s.RotationTick();
        QCoreApplication::processEvents();
    }
    WaitForTheThread();
    s.StopSending();
    EXPECT_EQ(s.MaskLabel(), greyPath);
    EXPECT_EQ(s.Engine().Composer().Mask().m_width, 1280);
    EXPECT_EQ(AlphaAt(10, 10), 128);
    EXPECT_EQ(AlphaAt(1200, 700), 128);
}

} // namespace
