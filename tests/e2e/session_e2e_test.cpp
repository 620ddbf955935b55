// A copy session publishing through the vendor's NDI runtime, received in the same
// process over the loopback address: formats, pixels and a re-configure while connected.

#include "render/gradient.h"
#include "session/copy_session.h"
#include "tests/e2e/real_runtime.h"
#include "tests/session/session_support.h"
#include "vocabulary/output_formats.h"

#include <QCoreApplication>
#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

class SessionE2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_NDI_RUNTIME();
        e2e::UseLoopbackDiscovery();
        SessionEnvironment environment;
        environment.runtime = LoadNdiRuntimeFrom({e2e::kLibrary});
        ASSERT_EQ(environment.runtime.origin, NdiRuntimeOrigin::Library);
        environment.processId = 1;
        environment.startupDraw = 7; // the logo ends at its timer's first tick
        session = std::make_unique<CopySession>(std::move(environment));
        session->AttachFace(face);
        ASSERT_TRUE(session->Start()) << face.told.join('\n').toStdString();
        session->SettleNumber();
        session->LogoTick();
        ASSERT_TRUE(session->Output() != nullptr && session->Output()->HasSender())
            << face.told.join('\n').toStdString();
        session->SetClouds(false);
        finder = e2e::LoopbackFinder();
        const std::optional<NdiSource> source =
            finder->Find(e2e::DiscoveredName("Kova Gradient 1"), seconds(20));
        ASSERT_TRUE(source) << "the session's source was not discovered";
        // By name, as receivers connect: a re-configure re-creates the sender, which may
        // then listen on another port.
        receiver = std::make_unique<NdiReceiver>(e2e::ReceiveApi(), NdiSource{source->name, ""});
    }
    void TearDown() override {
        receiver.reset();
        finder.reset();
        if (session) {
            if (session->Output() != nullptr) {
                session->StopSending();
            }
            session->DetachFace(face);
        }
        session.reset();
    }

    // Sending stopped: the menus change the format, then sending starts again.
    void Output(int32_t width, int32_t height, const char* rate) {
        session->StopSending();
        session->ChooseSize(OutputSizeItem(width, height));
        session->ChooseRate(FrameRateItemNamed(rate));
        session->StartSending();
        ASSERT_TRUE(session->Sending()) << face.told.join('\n').toStdString();
    }

    // Receives until a frame of `width` x `height` arrives (older ones may be queued).
    NdiVideoFrame FrameOfSize(int width, int height) {
        NdiVideoFrame frame;
        const auto deadline = std::chrono::steady_clock::now() + seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents();
            if (receiver->NextVideo(frame, milliseconds(200)) && frame.xres == width &&
                frame.yres == height) {
                return frame;
            }
        }
        ADD_FAILURE() << "no " << width << "x" << height << " frame received";
        return frame;
    }

    // Mean absolute error per colour channel against the exact gradient of the session's
    // corners and pattern.
    double GradientError(const NdiVideoFrame& frame) {
        std::vector<uint8_t> exact(frame.pixels.size());
        GradientParams params;
        for (int i = 0; i < 4; ++i) {
            params.corners[i] = session->Settings().currentColours[i];
        }
        params.fillPattern = session->Settings().fillPattern;
        RenderGradientWith(CpuPath::Reference, exact.data(), frame.xres, frame.yres, params);
        double sum = 0;
        for (std::size_t i = 0; i < exact.size(); ++i) {
            sum += i % 4 == 3 ? 0 : std::abs(int(exact[i]) - int(frame.pixels[i]));
        }
        return sum / (static_cast<double>(exact.size()) * 3 / 4);
    }

    ScriptedFace face;
    std::unique_ptr<CopySession> session;
    std::unique_ptr<NdiFinder> finder;
    std::unique_ptr<NdiReceiver> receiver;
};

// One receiver stays connected through every re-configure.
TEST_F(SessionE2eTest, EachFormatArrivesAsChosenAndTheMaskMakesItBgra) {
    struct Format {
        int width, height;
        const char* rate;
        int rateN, rateD;
    };
    for (const Format& f :
         {Format{640, 360, "25", 30000, 1200}, Format{720, 576, "29.97", 30000, 1001},
          Format{1920, 1080, "30", 30000, 1000}}) {
        Output(f.width, f.height, f.rate);
        const NdiVideoFrame frame = FrameOfSize(f.width, f.height);
        EXPECT_EQ(frame.fourCC, uint32_t{NDIlib_FourCC_video_type_BGRX}) << f.width;
        EXPECT_EQ(frame.frameRateN, f.rateN);
        EXPECT_EQ(frame.frameRateD, f.rateD);
        EXPECT_FLOAT_EQ(frame.aspect, 16.0f / 9.0f);
        EXPECT_EQ(frame.frameFormat, NDIlib_frame_format_type_progressive);
    }
    const GeneratorSettings& settings = session->Settings();
    session->SetMaskSwitches(true, settings.invertTransparency, settings.useMaskAlpha);
    NdiVideoFrame frame;
    const auto deadline = std::chrono::steady_clock::now() + seconds(20);
    while (frame.fourCC != NDIlib_FourCC_video_type_BGRA &&
           std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents();
        receiver->NextVideo(frame, milliseconds(200));
    }
    EXPECT_EQ(frame.fourCC, uint32_t{NDIlib_FourCC_video_type_BGRA});
}

TEST_F(SessionE2eTest, EveryFillPatternArrivesAsTheExactGradientWithinTheCodecsError) {
    Output(1280, 720, "25");
    for (FillPattern pattern : {FillPattern::Full, FillPattern::HorizontalSplit,
                                FillPattern::VerticalSplit, FillPattern::Quad}) {
        session->SetFillPattern(pattern);
        // Frames sent before the change may still be on their way: the best of the next
        // few seconds must match.
        double best = 255;
        const auto deadline = std::chrono::steady_clock::now() + seconds(5);
        while (best > 3 && std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents();
            best = std::min(best, GradientError(FrameOfSize(1280, 720)));
        }
        EXPECT_LE(best, 3.0) << "pattern " << static_cast<int>(pattern);
    }
}

// A receiver asking for BGRX sees the same picture whichever pixels the copy sends: its
// UYVY frames are made as the runtime makes them from BGRX.
TEST_F(SessionE2eTest, AUyvyCopyLooksToABgrxReceiverAsItsBgrxSelf) {
    Output(1280, 720, "25");
    session->SetRotation(Rotation::Static);
    session->SetClouds(true);
    session->SetCloudSpeed(0);
    // A frame sent before a change may still be on its way: three alike in a row are
    // the picture as it now is.
    const auto settled = [&] {
        const auto wait = std::chrono::steady_clock::now() + seconds(1);
        while (std::chrono::steady_clock::now() < wait) {
            QCoreApplication::processEvents();
        }
        NdiVideoFrame frame = FrameOfSize(1280, 720);
        for (int alike = 1; alike < 3;) {
            const NdiVideoFrame next = FrameOfSize(1280, 720);
            alike = next.pixels == frame.pixels ? alike + 1 : 1;
            frame = next;
        }
        return frame;
    };
    const NdiVideoFrame bgrx = settled();
    ASSERT_FALSE(session->SetPixelFormat(QStringLiteral("uyvy")).Refused());
    ASSERT_EQ(session->Output()->Pixels(), OutputPixels::Uyvy);
    const NdiVideoFrame uyvy = settled();
    ASSERT_EQ(bgrx.pixels.size(), uyvy.pixels.size());
    double sum[3] = {};
    int largest[3] = {};
    for (std::size_t i = 0; i < bgrx.pixels.size(); ++i) {
        if (i % 4 != 3) {
            const int difference = std::abs(int(bgrx.pixels[i]) - int(uyvy.pixels[i]));
            sum[i % 4] += difference;
            largest[i % 4] = std::max(largest[i % 4], difference);
        }
    }
    for (int channel = 0; channel < 3; ++channel) {
        EXPECT_LE(sum[channel] / (bgrx.pixels.size() / 4.0), 1.0) << "channel " << channel;
        EXPECT_LE(largest[channel], 3) << "channel " << channel;
    }
}

} // namespace
