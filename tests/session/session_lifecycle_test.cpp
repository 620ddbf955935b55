// How a session starts and ends, its start-up pictures, and what it says when its
// source cannot be published.

#include "render/box_view.h"
#include "resources/pictures.h"
#include "tests/session/session_support.h"
#include "vocabulary/output_formats.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

int CountTold(const ScriptedFace& face, const QString& part) {
    int count = 0;
    for (const QString& line : face.told) {
        count += line.contains(part) ? 1 : 0;
    }
    return count;
}

SessionEnvironment WithDraw(int32_t draw, int sizeItem = -1) {
    SessionEnvironment environment = AloneSession(4343);
    environment.startupDraw = draw;
    environment.start.sizeItem = sizeItem;
    return environment;
}

TEST(SessionLifecycle, ATerminationSignalDuringAFailedSaveAtExitDoesNotSaveAgain) {
    SessionFixture copy;
    ASSERT_TRUE(copy.StartAndSettle());
    copy.face.whileOpen = [&copy] { copy.session.ShutDownNow(); };
    {
        const SavesFail failing;
        copy.session.ShutDownNow();
    }
    EXPECT_TRUE(copy.session.HasEnded());
    EXPECT_EQ(CountTold(copy.face, QStringLiteral("Save File|")), 1)
        << copy.face.told.join('\n').toStdString();
    EXPECT_EQ(CountingRuntime::destroyed, 1);
}

TEST(SessionLifecycle, ASenderThatCannotBeCreatedIsReportedOnceWithTheReason) {
    SessionFixture copy;
    ASSERT_TRUE(copy.StartAndSettle());
    CopySession& session = copy.session;
    CountingRuntime::failCreate = EEXIST;
    session.ChooseSize(OutputSizeItem(640, 360));
    EXPECT_FALSE(session.Output()->HasSender());
    ASSERT_EQ(copy.face.told.size(), 1);
    EXPECT_EQ(copy.face.told[0],
              QStringLiteral("Skyfill|Cannot publish the NDI source \"Kova Gradient 1\": another "
                             "sender on this machine already uses that name."));
    // Start is refused without repeating it; so is another failed re-configure.
    session.StartSending();
    EXPECT_FALSE(session.Sending());
    session.ChooseRate(FrameRateItemNamed("30"));
    EXPECT_EQ(copy.face.told.size(), 1);

    // Once a sender existed again, a new failure is news.
    CountingRuntime::failCreate = 0;
    session.ChooseRate(FrameRateItemNamed("25"));
    ASSERT_TRUE(session.Output()->HasSender());
    CountingRuntime::failCreate = EACCES;
    session.ChooseRate(FrameRateItemNamed("29.97"));
    ASSERT_EQ(copy.face.told.size(), 2);
    EXPECT_TRUE(copy.face.told[1].endsWith(QStringLiteral(": Permission denied.")))
        << copy.face.told[1].toStdString();
}

// Draws 8 and 9 send the support picture, made opaque, as the logo; the picture box
// keeps the logo. Draws below 5 end the logo at the second timer, 65,371 ms plus whole
// 503 ms steps after the first.
TEST(SessionLifecycle, StartUpDrawsChooseTheLogoAndWhenItEnds) {
    PixelPicture logo;
    ASSERT_TRUE(LoadResourcePicture(picture::kLogo, logo));
    PixelPicture logoInBox;
    ASSERT_TRUE(RenderBoxView(logo, false, 320, 180, logoInBox));
    for (const int32_t draw : {4, 7, 8, 9}) {
        SessionFixture copy(WithDraw(draw));
        ASSERT_TRUE(copy.session.Start());
        const ImageBuffer& sent = copy.session.Engine().Composer().Logo();
        const bool support = draw >= 8;
        EXPECT_EQ(sent.m_width, support ? 640 : 240) << draw;
        if (support) {
            for (int64_t i = 0; i < int64_t{sent.m_width} * sent.m_height; ++i) {
                ASSERT_EQ(sent.m_pixels[4 * i + 3], 0xFF) << draw;
            }
        }
        EXPECT_TRUE(copy.session.BoxView().pixels == logoInBox.pixels) << draw;

        copy.session.LogoTick();
        EXPECT_EQ(copy.session.Settings().logoOn, draw < 5) << draw;
        EXPECT_EQ(copy.session.LogoLateTimer().isActive(), draw < 5) << draw;
        if (draw < 5) {
            const int late = copy.session.LogoLateTimer().interval() - 65371;
            EXPECT_TRUE(late >= 0 && late % 503 == 0 && late / 503 < 467) << late;
            copy.session.LogoLateTick();
            EXPECT_FALSE(copy.session.Settings().logoOn);
        }
    }
}

std::vector<uint8_t> FrameBytes(CopySession& session) {
    const uint8_t* store = session.Output()->FrameStore();
    return {store, store + int64_t{session.Format().width} * session.Format().height * 4};
}

// The pictures are rescaled from their kept sources: after 1920 x 1080 the 720 x 576
// frame is the one a copy started at 720 x 576 draws.
TEST(SessionLifecycle, PicturesAfterAReconfigureFromLargeToSmallAreAsIfStartedSmall) {
    std::vector<uint8_t> reconfigured;
    {
        SessionFixture copy(WithDraw(7, OutputSizeItem(1920, 1080)));
        ASSERT_TRUE(copy.StartAndSettle());
        copy.session.ChooseSize(OutputSizeItem(720, 576));
        ASSERT_EQ(copy.session.Engine().Composer().Cloud(0).m_width, 720);
        ASSERT_EQ(copy.session.Engine().Composer().Cloud(1).m_height, 576);
        reconfigured = FrameBytes(copy.session);
    }
    SessionFixture fresh(WithDraw(7, OutputSizeItem(720, 576)));
    ASSERT_TRUE(fresh.StartAndSettle());
    EXPECT_TRUE(FrameBytes(fresh.session) == reconfigured);
}

} // namespace
