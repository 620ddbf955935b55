// A copy session driven as its faces drive it, on the built-in stand-in runtime.

#include "engine/frame_viewer.h"
#include "session/output_line.h"
#include "tests/session/session_support.h"
#include "vocabulary/output_formats.h"

#include <QTest>
#include <array>
#include <atomic>
#include <gtest/gtest.h>

namespace {

class SessionTest : public ::testing::Test, public SessionFixture {};

TEST_F(SessionTest, FirstStartShowsSlotOneOfTheDefaultTableAndBecomesNumberOne) {
    ASSERT_TRUE(session.Start());
    EXPECT_EQ(session.StatusLine(),
              QStringLiteral("Full screen - Static background - plus clouds 1"));
    EXPECT_EQ(session.Preview(), PreviewMode::EveryFrame);
    EXPECT_TRUE(session.Settings().cloudsOn);
    EXPECT_EQ(session.Presets().m_presetSlot, 0);
    EXPECT_EQ(session.Settings().rotationPeriodMs, 210);
    EXPECT_TRUE(session.RotationTimer().isActive());
    EXPECT_TRUE(session.SettleTimer().isActive());
    EXPECT_TRUE(session.LogoTimer().isActive());
    EXPECT_EQ(session.LogoTimer().interval(), 23853);
    EXPECT_EQ(session.Controls(), (SendingControls{.start = true, .stop = false, .format = true}));
    EXPECT_EQ(session.CopyNumber(), 0);
    EXPECT_FALSE(session.Output()->HasSender()); // none until the number is settled
    EXPECT_TRUE(session.Settings().logoOn);

    const int changes = face.changes;
    session.SettleNumber();
    EXPECT_GT(face.changes, changes);
    EXPECT_FALSE(session.SettleTimer().isActive());
    EXPECT_EQ(session.CopyNumber(), 1);
    EXPECT_TRUE(session.Output()->HasSender());
    EXPECT_EQ(CountingRuntime::sends, 1);
    EXPECT_EQ(session.OutputLine(), QStringLiteral("1280 x 720 - 25.00 fps"));
    EXPECT_EQ(session.Output()->VideoFrame().FourCC, NDIlib_FourCC_video_type_BGRX);
    // The clouds lie over the gradient; without them the corner is the top-left colour.
    EXPECT_NE(Pixel(0, 0), 0xFF00B5BDu);
    session.SetClouds(false);
    EXPECT_EQ(Pixel(0, 0), 0xFF00B5BDu);
}

TEST_F(SessionTest, SizeAndRateReconfigureEvenWithoutAChange) {
    ASSERT_TRUE(StartAndSettle());
    session.ChooseSize(OutputSizeItem(720, 576));
    EXPECT_EQ(session.Output()->VideoFrame().xres, 720);
    EXPECT_FLOAT_EQ(session.Output()->VideoFrame().picture_aspect_ratio, 16.0f / 9.0f);
    const int creates = CountingRuntime::creates;
    session.ChooseSize(OutputSizeItem(4096, 2160)); // offered, not taken
    session.ChooseSize(-1);                         // the menu closed without a choice
    EXPECT_EQ(session.Format().width, 720);
    EXPECT_EQ(session.Format().height, 576);
    EXPECT_EQ(CountingRuntime::creates, creates + 2);

    session.ChooseRate(FrameRateItemNamed("29.97"));
    EXPECT_EQ(session.OutputLine(), QStringLiteral("720 x 576 - 29.97 fps"));
    EXPECT_EQ(session.Output()->VideoFrame().frame_rate_D, 1001);
    session.ChooseRate(-1);
    EXPECT_EQ(session.Format().frameRateD, 1001);
    EXPECT_EQ(CountingRuntime::creates, creates + 4);
    EXPECT_EQ(OutputLineText({1920, 1080, 30000, 1000}), QStringLiteral("1920 x 1080 - 30.00 fps"));
}

TEST_F(SessionTest, StatusLineFollowsCloudsRotationAndPattern) {
    ASSERT_TRUE(StartAndSettle());
    session.SetClouds(false);
    EXPECT_EQ(session.StatusLine(), QStringLiteral("Full screen - Static background - no clouds"));
    session.SetClouds(true);
    session.SetCloudSet(1);
    session.SetFillPattern(FillPattern::Quad);
    session.SetRotation(Rotation::Clockwise);
    EXPECT_EQ(session.StatusLine(),
              QStringLiteral("Quad split - Rotating clockwise - plus clouds 2"));
    EXPECT_EQ(session.Settings().fillPattern, 3);
    EXPECT_EQ(session.Settings().rotationMode, 1);
    // Quad split renders the top-left colour into all four corners at once.
    session.SetClouds(false);
    EXPECT_EQ(Pixel(1279, 719) & 0xFFFFFF, 0x00B5BDu);
    session.SetClouds(true);
    session.SetCloudSet(-1);
    EXPECT_EQ(session.Settings().cloudSet, 1);
}

TEST_F(SessionTest, ColourPickKeepsAlphaByteAndRendersWhenStopped) {
    ASSERT_TRUE(StartAndSettle());
    session.SetClouds(false); // the corner pixel is the gradient's own
    GeneratorSettings settings = session.Settings();
    settings.baseColours[0].alpha = 0x7F; // as a preset file may hold it
    settings.previewEveryFrame = false;   // the preview off
    session.Engine().Apply(settings);
    session.Engine().Composer().SetPreviewOnce(false);
    session.SetColour(0, 0x00203040); // red 40, green 30, blue 20
    EXPECT_EQ(session.Settings().baseColours[0].Value(), 0x7F403020u);
    EXPECT_EQ(session.Settings().currentColours[0].Value(), 0x7F403020u);
    EXPECT_EQ(session.ShownColours()[0].Value(), 0x7F403020u);
    EXPECT_EQ(Pixel(0, 0), 0xFF403020u);             // the frame's own alpha stays
    EXPECT_EQ(session.Preview(), PreviewMode::Once); // the preview shows the change once
}

TEST_F(SessionTest, SlidersSetPeriodAndCloudSpeedWithOneSign) {
    ASSERT_TRUE(StartAndSettle());
    session.SetRotationSlider(250);
    EXPECT_EQ(session.Settings().rotationPeriodMs, 10);
    EXPECT_EQ(session.Presets().m_presetSlots[0].rotationSliderPosition, 250);
    EXPECT_EQ(session.RotationTimer().interval(), 10);
    session.SetCloudSpeed(4);
    EXPECT_EQ(session.Settings().cloudSpeed, 4);
    EXPECT_EQ(session.Presets().m_presetSlots[0].cloudSpeed, 4);
    session.SetCloudSpeed(-9); // no slider goes there
    EXPECT_EQ(session.Settings().cloudSpeed, -4);
}

TEST_F(SessionTest, RotationAdvancesOnlyWhileSending) {
    ASSERT_TRUE(StartAndSettle());
    session.SetRotation(Rotation::Anticlockwise);
    const ColourRecord before = session.Settings().currentColours[0];
    for (int i = 0; i < 50; ++i) {
        session.RotationTick();
    }
    EXPECT_EQ(session.Settings().currentColours[0], before);
    EXPECT_EQ(session.Engine().RotationPhase(), 0);

    EXPECT_FALSE(session.StartSending().Refused());
    EXPECT_TRUE(session.Sending());
    EXPECT_EQ(session.Controls(), (SendingControls{.start = false, .stop = true, .format = false}));
    for (int i = 0; i < 50; ++i) {
        session.RotationTick();
    }
    EXPECT_EQ(session.Engine().RotationPhase(), 50);
    EXPECT_NE(session.Settings().currentColours[0], before);
    EXPECT_EQ(session.Engine().Published().currentColours[0], session.Settings().currentColours[0]);
    session.StopSending();
    EXPECT_FALSE(session.Sending());
    EXPECT_EQ(session.Controls(), (SendingControls{.start = true, .stop = false, .format = true}));
}

// A slot applied mid-fade shows its own colours, and the fade goes on from them only at
// the next tick.
TEST_F(SessionTest, APresetAppliedMidFadeShowsItsOwnColoursUntilTheNextTick) {
    ASSERT_TRUE(StartAndSettle());
    session.SelectSlot(1); // rotating clockwise
    ASSERT_FALSE(session.StartSending().Refused());
    for (int i = 0; i < 40; ++i) {
        session.RotationTick();
    }
    ASSERT_NE(session.Settings().currentColours[0], session.Settings().baseColours[0]);
    session.SelectSlot(3); // also rotating
    const PresetSlot& slot = session.Presets().m_presetSlots[3];
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(session.Settings().currentColours[i], slot.cornerColours[i]) << i;
        EXPECT_EQ(session.Engine().Published().currentColours[i], slot.cornerColours[i]) << i;
    }
    session.RotationTick();
    EXPECT_NE(session.Settings().currentColours[0], slot.cornerColours[0]);
}

// Keeps a hash of each frame the preview is shown, taken on the sending thread.
class FrameHashes : public FrameViewer {
public:
    void ShowFrame(const uint8_t* store, int32_t width, int32_t height) override {
        const int n = count.load();
        if (n >= static_cast<int>(hashes.size())) {
            return;
        }
        uint64_t hash = 14695981039346656037u;
        for (int64_t i = 0; i < int64_t{width} * height * 4; ++i) {
            hash = (hash ^ store[i]) * 1099511628211u;
        }
        hashes[static_cast<size_t>(n)] = hash;
        count.store(n + 1);
    }
    std::array<uint64_t, 8> hashes{};
    std::atomic<int> count{0};
};

// Speed 0: every frame rendered while sending holds the same cloud rows; any other
// speed moves them.
TEST_F(SessionTest, CloudSpeedZeroRendersTheSameCloudRowsFrameAfterFrame) {
    ASSERT_TRUE(StartAndSettle());
    session.ChooseSize(OutputSizeItem(640, 360));
    ASSERT_TRUE(session.Settings().cloudsOn);
    ASSERT_EQ(session.Settings().rotationMode, 0);
    for (const int speed : {0, 1}) {
        FrameHashes frames;
        session.SetFrameViewer(&frames);
        session.SetCloudSpeed(speed);
        ASSERT_FALSE(session.StartSending().Refused());
        // Each tick asks for a new frame; the static colours leave the gradient alone.
        for (int i = 0; i < 40 && frames.count.load() < 4; ++i) {
            session.RotationTick();
            QTest::qWait(20);
        }
        session.StopSending();
        session.SetFrameViewer(nullptr);
        ASSERT_GE(frames.count.load(), 4);
        const bool allSame =
            frames.hashes[1] == frames.hashes[2] && frames.hashes[2] == frames.hashes[3];
        EXPECT_EQ(allSame, speed == 0) << "speed " << speed;
    }
}

// Another program's over-long argument is refused before anything is made of it, and
// the refusal quotes only a short part of it, its control characters escaped.
TEST_F(SessionTest, OverLongArgumentsFromAProgramAreRefusedWithAShortMessage) {
    ASSERT_TRUE(StartAndSettle());
    const QString tail(1 << 20, u'a');
    const QString rate = QStringLiteral("\x1b[2J25") + tail;
    const QString path = QStringLiteral("/\x1b[2J") + tail;
    const QString wide = QStringLiteral("/") + QString(3000, QChar(0xE9)); // 6001 bytes
    const OutputFormat before = session.Format();
    for (const CommandReply& reply :
         {session.SetOutput(1280, 720, rate, Caller::Program),
          session.LoadPresets(path, Caller::Program), session.LoadPresets(wide, Caller::Program)}) {
        EXPECT_EQ(reply.refusal, CommandReply::Refusal::InvalidArgs);
        EXPECT_LE(reply.message.size(), 300);
        EXPECT_FALSE(reply.message.contains(QChar(0x1B)));
    }
    EXPECT_TRUE(session.SetOutput(1280, 720, rate, Caller::Program)
                    .message.contains(QStringLiteral("\\x1B[2J25aaa")));
    EXPECT_EQ(session.Format().frameRateD, before.frameRateD);
    EXPECT_TRUE(face.told.isEmpty());
}

TEST_F(SessionTest, StartBeforeTheNumberIsSettledIsRefused) {
    ASSERT_TRUE(session.Start());
    session.StartSending();
    EXPECT_FALSE(session.Sending());
    EXPECT_TRUE(session.Controls().start);
    EXPECT_EQ(CountingRuntime::sends, 0);
}

TEST_F(SessionTest, LogoEndsAfterTheFirstTimerForHighDraws) {
    ASSERT_TRUE(session.Start()); // draw 7
    session.LogoTick();
    EXPECT_FALSE(session.Settings().logoOn);
    EXPECT_FALSE(session.LogoTimer().isActive());
    EXPECT_FALSE(session.LogoLateTimer().isActive());
}

TEST_F(SessionTest, FailedRuntimeIsReportedAndNothingElseIsTouched) {
    CountingRuntime::failInitialise = true;
    EXPECT_FALSE(session.Start());
    ASSERT_EQ(face.told.size(), 1);
    EXPECT_EQ(face.told[0], QStringLiteral("Skyfill|Cannot run NDI - for some reason."));
    EXPECT_EQ(session.Output(), nullptr);
    EXPECT_FALSE(session.RotationTimer().isActive());
    session.SettleNumber();
    session.StartSending();
    session.SetClouds(false);
    session.ChooseSize(OutputSizeItem(1920, 1080));
    EXPECT_EQ(CountingRuntime::destroyed, 0);
    EXPECT_EQ(CountingRuntime::creates, 0);
}

} // namespace
