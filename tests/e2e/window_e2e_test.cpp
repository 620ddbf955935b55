// The window publishing through the vendor's NDI runtime, received in the same process
// over the loopback address: formats, pixels and a re-configure while connected.

#include "app/main_window.h"
#include "app/menu_tables.h"
#include "render/gradient.h"
#include "tests/app/window_test_support.h"
#include "tests/e2e/real_runtime.h"
#include "ui_main_window.h"

#include <QTest>
#include <chrono>
#include <cmath>
#include <vector>

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

class WindowE2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_NDI_RUNTIME();
        e2e::UseLoopbackDiscovery();
        WindowEnvironment environment;
        environment.runtime = LoadNdiRuntimeFrom({e2e::kLibrary});
        ASSERT_EQ(environment.runtime.origin, NdiRuntimeOrigin::Library);
        environment.prompts = &prompts;
        environment.alone = true;
        environment.processId = 1;
        environment.startupDraw = 7; // the logo ends at its timer's first tick
        environment.openUrl = [](const QUrl&) {};
        window = std::make_unique<MainWindow>(std::move(environment));
        ASSERT_TRUE(window->Start());
        window->OnSettleTimer();
        window->OnLogoTimer();
        ASSERT_TRUE(window->Output()->HasSender()) << prompts.told.join('\n').toStdString();
        if (window->Controls().m_cloudCheck->isChecked()) {
            window->Controls().m_cloudCheck->click();
        }
        finder = e2e::LoopbackFinder();
        const std::optional<NdiSource> source =
            finder->Find(e2e::DiscoveredName("Kova Gradient 1"), seconds(20));
        ASSERT_TRUE(source) << "the window's source was not discovered";
        // By name, as receivers connect: a re-configure re-creates the sender, which may
        // then listen on another port.
        receiver = std::make_unique<NdiReceiver>(e2e::ReceiveApi(), NdiSource{source->name, ""});
    }
    void TearDown() override {
        receiver.reset();
        finder.reset();
        if (window && window->Output() != nullptr) {
            window->OnStop();
        }
        window.reset();
    }

    // Sending stopped: the menus change the format, then sending starts again.
    void Output(int32_t width, int32_t height, int32_t rateD) {
        window->OnStop();
        window->OnResolutionChosen(ResolutionItemOf(width, height));
        window->OnFrameRateChosen(FrameRateItemOf(rateD));
        window->OnStart();
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

    // Mean absolute error per colour channel against the exact gradient of the window's
    // corners and pattern.
    double GradientError(const NdiVideoFrame& frame) {
        std::vector<uint8_t> exact(frame.pixels.size());
        GradientParams params;
        for (int i = 0; i < 4; ++i) {
            params.corners[i] = window->Settings().currentColours[i];
        }
        params.fillPattern = window->Settings().fillPattern;
        RenderGradientWith(CpuPath::Reference, exact.data(), frame.xres, frame.yres, params);
        double sum = 0;
        for (std::size_t i = 0; i < exact.size(); ++i) {
            sum += i % 4 == 3 ? 0 : std::abs(int(exact[i]) - int(frame.pixels[i]));
        }
        return sum / (static_cast<double>(exact.size()) * 3 / 4);
    }

    ScriptedPrompts prompts;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<NdiFinder> finder;
    std::unique_ptr<NdiReceiver> receiver;
};

// One receiver stays connected through every re-configure.
TEST_F(WindowE2eTest, EachFormatArrivesAsChosenAndTheMaskMakesItBgra) {
    struct Format {
        int width, height, rateN, rateD;
    };
    for (const Format& f : {Format{640, 360, 30000, 1200}, Format{720, 576, 30000, 1001},
                            Format{1920, 1080, 30000, 1000}}) {
        Output(f.width, f.height, f.rateD);
        const NdiVideoFrame frame = FrameOfSize(f.width, f.height);
        EXPECT_EQ(frame.fourCC, uint32_t{NDIlib_FourCC_video_type_BGRX}) << f.width;
        EXPECT_EQ(frame.frameRateN, f.rateN);
        EXPECT_EQ(frame.frameRateD, f.rateD);
        EXPECT_FLOAT_EQ(frame.aspect, 16.0f / 9.0f);
        EXPECT_EQ(frame.frameFormat, NDIlib_frame_format_type_progressive);
    }
    window->Controls().m_useMaskCheck->click();
    NdiVideoFrame frame;
    const auto deadline = std::chrono::steady_clock::now() + seconds(20);
    while (frame.fourCC != NDIlib_FourCC_video_type_BGRA &&
           std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents();
        receiver->NextVideo(frame, milliseconds(200));
    }
    EXPECT_EQ(frame.fourCC, uint32_t{NDIlib_FourCC_video_type_BGRA});
}

TEST_F(WindowE2eTest, EveryFillPatternArrivesAsTheExactGradientWithinTheCodecsError) {
    Output(1280, 720, 1200); // 25p
    for (QRadioButton* pattern : {window->Controls().m_fillFull, window->Controls().m_fillHSplit,
                                  window->Controls().m_fillVSplit, window->Controls().m_fillQuad}) {
        pattern->click();
        // Frames sent before the click may still be on their way: the best of the next
        // few seconds must match.
        double best = 255;
        const auto deadline = std::chrono::steady_clock::now() + seconds(5);
        while (best > 3 && std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents();
            best = std::min(best, GradientError(FrameOfSize(1280, 720)));
        }
        EXPECT_LE(best, 3.0) << "pattern " << window->Settings().fillPattern;
    }
}

} // namespace
