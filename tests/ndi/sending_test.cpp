#include "engine/generator.h"
#include "engine/settings_edits.h"
#include "ndi/ndi_output.h"
#include "tests/ndi/double_access.h"

#include <atomic>
#include <gtest/gtest.h>
#include <set>
#include <system_error>
#include <vector>

namespace {

class QuietSteps : public ReconfigureSteps {
public:
    void RescalePictures(int32_t, int32_t) override {}
    void RenderOnePicture(int32_t, int32_t) override {}
    void ApplyMask(int32_t, int32_t) override {}
};

// The engine's composer, as the window connects it, with its renders counted.
class EngineProducer : public FrameProducer {
public:
    explicit EngineProducer(Generator& generator) : m_generator(generator) {}
    std::atomic<int32_t> renders{0};
    std::atomic<int32_t> lastCloudOffset{-1};
    std::atomic<int32_t> lastCycle{-1};

    void BeginRun(const FramePass& pass) override {
        m_generator.Composer().BeginRun(pass.width, pass.height);
        lastCycle = m_generator.Composer().Scroll().Cycle();
    }
    void RenderFrame(const FramePass& pass) override {
        lastCloudOffset = m_generator.Composer().Scroll().Offset();
        m_generator.Composer().ComposeFrame(pass.width, pass.height);
        ++renders;
    }

private:
    Generator& m_generator;
};

class SendingTest : public ::testing::Test {
protected:
    DoubleRuntime runtime;
    Generator generator;
    QuietSteps steps;
    EngineProducer producer{generator};
    std::unique_ptr<NdiOutput> output;

    void SetUp() override {
        ASSERT_TRUE(runtime.Loaded());
        GeneratorSettings settings;
        for (ColourRecord& colour : settings.currentColours) {
            colour = ColourRecord::FromValue(0xFF000080);
        }
        generator.Apply(settings);
        Make(Counting());
    }
    void TearDown() override { output.reset(); }

    void Make(NdiOutput::ThreadLauncher launcher) {
        output = std::make_unique<NdiOutput>(runtime.Api(), generator.Composer().FrameStore(),
                                             producer, steps, std::move(launcher));
    }
    size_t Sends() const { return runtime.CallsOf(kCallSendVideo).size(); }

    // Sending threads started, and how many of them have ended: once all have, nothing
    // more can be sent, with no need to wait and see.
    std::atomic<int> launched{0};
    std::atomic<int> ended{0};
    NdiOutput::ThreadLauncher Counting() {
        return [this](std::function<void()> body) {
            ++launched;
            return std::thread([this, body = std::move(body)] {
                body();
                ++ended;
            });
        };
    }
};

TEST_F(SendingTest, StartAndStopSwitchTheFlag) {
    EXPECT_FALSE(output->IsSending());
    ASSERT_TRUE(output->Reconfigure({640, 360, 30000, 1200}, 0, false));
    ASSERT_EQ(output->StartSending(), StartResult::Started);
    EXPECT_TRUE(output->IsSending());
    ASSERT_TRUE(DoubleRuntime::WaitFor([&] { return Sends() >= 5; }));
    output->StopSending();
    EXPECT_FALSE(output->IsSending());

    // Stopping again changes nothing and sends nothing.
    const size_t sent = Sends();
    output->StopSending();
    EXPECT_FALSE(output->IsSending());
    EXPECT_EQ(Sends(), sent);
}

TEST_F(SendingTest, StartingTwiceLeavesOneThread) {
    ASSERT_TRUE(output->Reconfigure({640, 360, 30000, 1200}, 0, false));
    const uint64_t uiThread = runtime.Calls().back().threadToken;
    ASSERT_EQ(output->StartSending(), StartResult::Started);
    EXPECT_EQ(output->StartSending(), StartResult::AlreadySending);
    ASSERT_TRUE(DoubleRuntime::WaitFor([&] { return Sends() >= 20; }));
    output->StopSending();

    std::set<uint64_t> senders;
    for (const DoubleCall& call : runtime.CallsOf(kCallSendVideo)) {
        senders.insert(call.threadToken);
    }
    senders.erase(uiThread); // the re-configure's own frame
    EXPECT_EQ(senders.size(), 1u);
}

TEST_F(SendingTest, StopReturnsOnlyAfterTheSendInProgress) {
    ASSERT_TRUE(output->Reconfigure({640, 360, 30000, 1200}, 0, false));
    runtime.SetSendHoldMs(300);
    ASSERT_EQ(output->StartSending(), StartResult::Started);
    ASSERT_TRUE(DoubleRuntime::WaitFor([&] { return runtime.SendsInProgress() == 1; }));
    output->StopSending();
    const auto returned = std::chrono::steady_clock::now().time_since_epoch();
    EXPECT_EQ(runtime.SendsInProgress(), 0);
    const DoubleCall last = runtime.Calls().back();
    EXPECT_EQ(last.kind, kCallSendVideo);
    EXPECT_LE(last.endNs, std::chrono::duration_cast<std::chrono::nanoseconds>(returned).count());
    EXPECT_EQ(launched.load(), 1);
    EXPECT_EQ(ended.load(), 1);
}

TEST_F(SendingTest, WithoutASenderStartIsRefusedAndNothingIsSent) {
    // Before the first re-configure.
    EXPECT_EQ(output->StartSending(), StartResult::NoSender);
    // After a creation that failed.
    runtime.SetCreateFails(true);
    ASSERT_TRUE(output->Reconfigure({640, 360, 30000, 1200}, 0, false));
    EXPECT_EQ(output->StartSending(), StartResult::NoSender);
    EXPECT_EQ(launched.load(), 0);
    EXPECT_EQ(Sends(), 0u);
    EXPECT_FALSE(output->IsSending());
}

TEST_F(SendingTest, RendersOncePerDirtyMarkAndSendsOnEveryPass) {
    ASSERT_TRUE(output->Reconfigure({640, 360, 30000, 1200}, 0, false));
    ASSERT_EQ(output->StartSending(), StartResult::Started);
    const size_t sendsBefore = Sends();
    ASSERT_TRUE(DoubleRuntime::WaitFor([&] { return Sends() >= sendsBefore + 10; }));
    EXPECT_EQ(producer.renders.load(), 1); // the first pass only
    EXPECT_EQ(producer.lastCycle.load(), 720);

    output->MarkFrameDirty();
    ASSERT_TRUE(DoubleRuntime::WaitFor([&] { return producer.renders.load() == 2; }));
    ASSERT_TRUE(DoubleRuntime::WaitFor([&] { return !output->FrameDirty(); }));
    output->StopSending();
    EXPECT_EQ(producer.renders.load(), 2);
}

// A runtime's repeat, counted, then sent as any frame.
std::atomic<int> g_repeats{0};
NDIlib_send_send_video_v2_fn g_send = nullptr;
void CountedRepeat(NDIlib_send_instance_t sender, const NDIlib_video_frame_v2_t* frame) {
    ++g_repeats;
    g_send(sender, frame);
}

// A runtime that can repeat a frame gets every pass that rendered nothing as a repeat.
TEST_F(SendingTest, PassesThatRenderNothingAreRepeatsWhereTheRuntimeTakesThem) {
    NdiRuntimeApi api = runtime.Api();
    g_send = api.send_send_video_v2;
    api.send_repeat_video = &CountedRepeat;
    g_repeats = 0;
    output = std::make_unique<NdiOutput>(api, generator.Composer().FrameStore(), producer, steps);
    ASSERT_TRUE(output->Reconfigure({640, 360, 30000, 1200}, 0, false));
    const size_t sendsBefore = Sends();
    ASSERT_EQ(output->StartSending(), StartResult::Started);
    ASSERT_TRUE(DoubleRuntime::WaitFor([&] { return Sends() >= sendsBefore + 5; }));
    output->MarkFrameDirty();
    ASSERT_TRUE(DoubleRuntime::WaitFor([&] { return producer.renders.load() == 2; }));
    ASSERT_TRUE(DoubleRuntime::WaitFor([&] { return Sends() >= sendsBefore + 10; }));
    output->StopSending();
    EXPECT_EQ(static_cast<size_t>(g_repeats.load()),
              Sends() - sendsBefore - static_cast<size_t>(producer.renders.load()));
    EXPECT_GE(g_repeats.load(), 8);
}

TEST_F(SendingTest, ANewColourReachesTheRuntimeAfterTheNextDirtyMark) {
    ASSERT_TRUE(output->Reconfigure({640, 360, 30000, 1200}, 0, false));
    ASSERT_EQ(output->StartSending(), StartResult::Started);
    GeneratorSettings settings = generator.Settings();
    SetCornerFromButton(settings, 0, 0x0000FF); // red, in the button's byte order
    for (int i = 1; i < 4; ++i) {
        settings.currentColours[i] = settings.currentColours[0];
    }
    generator.Apply(settings);
    output->MarkFrameDirty();
    ASSERT_TRUE(DoubleRuntime::WaitFor([&] {
        const std::vector<DoubleCall> sends = runtime.CallsOf(kCallSendVideo);
        return (sends.back().firstPixel & 0xFFFFFF) == 0xFF0000;
    }));
    output->StopSending();
    // The alpha byte set by the re-configure is kept by the renderer.
    EXPECT_EQ(runtime.CallsOf(kCallSendVideo).back().firstPixel, 0xFFFF0000u);
}

TEST_F(SendingTest, CloudOffsetStartsAtZeroForEveryRunAndAdvancesPerRender) {
    GeneratorSettings settings = generator.Settings();
    settings.cloudsOn = true;
    settings.cloudSpeed = -4;
    generator.Apply(settings);
    ASSERT_TRUE(output->Reconfigure({640, 360, 30000, 1200}, 0, false));
    for (int run = 0; run < 2; ++run) {
        producer.renders = 0;
        ASSERT_EQ(output->StartSending(), StartResult::Started);
        ASSERT_TRUE(DoubleRuntime::WaitFor([&] { return producer.renders.load() == 1; }));
        EXPECT_EQ(producer.lastCloudOffset.load(), 0);
        output->MarkFrameDirty();
        ASSERT_TRUE(DoubleRuntime::WaitFor([&] { return producer.renders.load() == 2; }));
        EXPECT_EQ(producer.lastCloudOffset.load(), 720 - 4);
        output->StopSending();
    }
}

TEST_F(SendingTest, AlphaTypeChangesReachTheNextFrameWhileSending) {
    ASSERT_TRUE(output->Reconfigure({640, 360, 30000, 1200}, 0, false));
    ASSERT_EQ(output->StartSending(), StartResult::Started);
    output->SetOutputAlphaType(true);
    const size_t changedAt = Sends();
    ASSERT_TRUE(DoubleRuntime::WaitFor([&] { return Sends() >= changedAt + 3; }));
    output->StopSending();
    const std::vector<DoubleCall> sends = runtime.CallsOf(kCallSendVideo);
    EXPECT_EQ(sends.front().frame.FourCC, NDIlib_FourCC_video_type_BGRX);
    EXPECT_EQ(sends.back().frame.FourCC, NDIlib_FourCC_video_type_BGRA);
    EXPECT_EQ(runtime.CallsOf(kCallSendCreate).size(), 1u);
}

TEST_F(SendingTest, ReconfigureStopsTheThreadAndDoesNotRestartIt) {
    ASSERT_TRUE(output->Reconfigure({640, 360, 30000, 1200}, 0, false));
    ASSERT_EQ(output->StartSending(), StartResult::Started);
    ASSERT_TRUE(DoubleRuntime::WaitFor([&] { return Sends() >= 3; }));
    ASSERT_TRUE(output->Reconfigure({1280, 720, 30000, 1001}, 0, false));
    EXPECT_FALSE(output->IsSending());
    const std::vector<int32_t> kinds = runtime.Kinds();
    // The last send of the thread comes before the destroy, then one frame of the new
    // format.
    ASSERT_GE(kinds.size(), 4u);
    EXPECT_EQ(std::vector<int32_t>(kinds.end() - 4, kinds.end()),
              (std::vector<int32_t>{kCallSendDestroy, kCallSendCreate, kCallAddMetadata,
                                    kCallSendVideo}));
    EXPECT_EQ(launched.load(), 1);
    EXPECT_EQ(ended.load(), 1);
    EXPECT_EQ(runtime.CallsOf(kCallSendVideo).back().frame.xres, 1280);
}

TEST_F(SendingTest, AThreadThatCannotBeCreatedLeavesEverythingStopped) {
    Make([](const std::function<void()>&) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    ASSERT_TRUE(output->Reconfigure({640, 360, 30000, 1200}, 0, false));
    const size_t sent = Sends();
    EXPECT_EQ(output->StartSending(), StartResult::ThreadFailed);
    EXPECT_FALSE(output->IsSending());
    EXPECT_EQ(Sends(), sent);
}

} // namespace
