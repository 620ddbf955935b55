#include "ndi/ndi_output.h"
#include "tests/ndi/double_access.h"
#include "tests/ndi/product_text.h"

#include <bit>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// Records the window's re-configure steps together with how many runtime calls the
// double had seen at that moment, so the order against the runtime is checkable.
class RecordingSteps : public ReconfigureSteps {
public:
    RecordingSteps(DoubleRuntime& runtime, uint8_t* store) : m_runtime(runtime), m_store(store) {}

    struct Step {
        std::string name;
        int32_t runtimeCallsBefore;
    };
    std::vector<Step> steps;
    bool alphaOpaqueAtMask = false;
    // What the mask writes into every alpha byte; -1 writes nothing (wrong-size mask).
    int maskAlpha = -1;

    void RescalePictures(int32_t, int32_t) override { Note("rescale"); }
    void RenderOnePicture(int32_t width, int32_t height) override {
        Note("render");
        uint8_t* store = m_store;
        // Colour bytes only, as the gradient does; alpha deliberately left at 0.
        for (int64_t i = 0; i < int64_t{width} * height; ++i) {
            store[4 * i] = 0x10;
            store[4 * i + 1] = 0x20;
            store[4 * i + 2] = 0x30;
            store[4 * i + 3] = 0x00;
        }
    }
    void ApplyMask(int32_t width, int32_t height) override {
        Note("mask");
        const uint8_t* store = m_store;
        alphaOpaqueAtMask = true;
        for (int64_t i = 0; i < int64_t{width} * height; ++i) {
            alphaOpaqueAtMask &= store[4 * i + 3] == 0xFF;
            if (maskAlpha >= 0) {
                m_store[4 * i + 3] = static_cast<uint8_t>(maskAlpha);
            }
        }
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const Step& step : steps) {
            names.push_back(step.name);
        }
        return names;
    }

private:
    void Note(const char* name) { steps.push_back({name, m_runtime.CallCount()}); }
    DoubleRuntime& m_runtime;
    uint8_t* m_store;
};

class NoProducer : public FrameProducer {
public:
    void BeginRun(const FramePass&) override { ADD_FAILURE() << "nothing should be sending"; }
    void RenderFrame(const FramePass&) override { ADD_FAILURE() << "nothing should be sending"; }
};

class SenderTest : public ::testing::Test {
protected:
    DoubleRuntime runtime;
    std::vector<uint8_t> store = std::vector<uint8_t>(frame_limits::kMaxBytes);
    RecordingSteps steps{runtime, store.data()};
    NoProducer producer;
    NdiOutput output{runtime.Api(), store.data(), producer, steps};

    void SetUp() override { ASSERT_TRUE(runtime.Loaded()); }
};

constexpr OutputFormat kSd2997{720, 576, 30000, 1001};
constexpr OutputFormat kHd25{1280, 720, 30000, 1200};

TEST(SenderSetup, SourceNamesCountFromOne) {
    char name[kSourceNameBytes];
    FormatSourceName(0, name);
    EXPECT_STREQ(name, "Kova Gradient 1");
    FormatSourceName(7, name);
    EXPECT_STREQ(name, "Kova Gradient 8");
    // Even a nonsensical number stays inside the 32-byte buffer.
    FormatSourceName(INT32_MAX, name);
    EXPECT_STREQ(name, "Kova Gradient 2147483648");
}

TEST_F(SenderTest, FirstReconfigureCreatesNamesDescribesAndSendsOneFrame) {
    ASSERT_TRUE(output.Reconfigure(kSd2997, 2, false));
    EXPECT_EQ(runtime.Kinds(),
              (std::vector<int32_t>{kCallSendCreate, kCallAddMetadata, kCallSendVideo}));
    const std::vector<DoubleCall> calls = runtime.Calls();

    const DoubleCall& create = calls[0];
    EXPECT_FALSE(create.settingsNull);
    EXPECT_STREQ(create.name, "Kova Gradient 3");
    EXPECT_TRUE(create.groupsNull);
    EXPECT_TRUE(create.clockVideo);
    EXPECT_FALSE(create.clockAudio);

    const DoubleCall& metadata = calls[1];
    const std::string product = ExpectedProductText();
    EXPECT_EQ(metadata.sender, create.sender);
    EXPECT_EQ(metadata.metadataLength, static_cast<int32_t>(product.size()));
    EXPECT_EQ(std::string(metadata.metadata), product);
    EXPECT_EQ(metadata.metadataTimecode, INT64_MAX);

    const DoubleCall& send = calls[2];
    EXPECT_EQ(send.sender, create.sender);
    const NDIlib_video_frame_v2_t& frame = send.frame;
    EXPECT_EQ(frame.xres, 720);
    EXPECT_EQ(frame.yres, 576);
    EXPECT_EQ(frame.FourCC, NDIlib_FourCC_video_type_BGRX);
    EXPECT_EQ(static_cast<uint32_t>(frame.FourCC), 0x58524742u);
    EXPECT_EQ(frame.frame_rate_N, 30000);
    EXPECT_EQ(frame.frame_rate_D, 1001);
    EXPECT_EQ(std::bit_cast<uint32_t>(frame.picture_aspect_ratio), 0x3FE38E39u); // 16:9, not 4:3
    EXPECT_EQ(frame.frame_format_type, NDIlib_frame_format_type_progressive);
    EXPECT_EQ(frame.timecode, INT64_MAX);
    EXPECT_EQ(frame.p_data, output.FrameStore());
    EXPECT_EQ(frame.line_stride_in_bytes, 4 * 720);
    EXPECT_EQ(frame.p_metadata, nullptr);
    EXPECT_EQ(frame.timestamp, 0);
    EXPECT_TRUE(send.allAlphaOpaque);
    EXPECT_EQ(send.firstPixel, 0xFF302010u);
}

TEST_F(SenderTest, ProductTextIsOneLineWithExactSpacing) {
    const std::string text(kProductText);
    EXPECT_EQ(text, ExpectedProductText());
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(text.rfind("\"00001\"/>"), text.size() - 9);
}

TEST_F(SenderTest, MaskedOutputIsAnnouncedAsBgraWithoutRecreatingTheSender) {
    output.SetOutputAlphaType(true);
    EXPECT_FALSE(output.OpaqueOutput());
    EXPECT_EQ(output.VideoFrame().FourCC, NDIlib_FourCC_video_type_BGRA);
    EXPECT_EQ(runtime.CallCount(), 0);

    ASSERT_TRUE(output.Reconfigure(kSd2997, 0, true));
    const std::vector<DoubleCall> sends = runtime.CallsOf(kCallSendVideo);
    ASSERT_EQ(sends.size(), 1u);
    EXPECT_EQ(static_cast<uint32_t>(sends[0].frame.FourCC), 0x41524742u);
    // A mask of the wrong size writes nothing: every pixel stays opaque.
    EXPECT_TRUE(sends[0].allAlphaOpaque);

    output.SetOutputAlphaType(false);
    EXPECT_TRUE(output.OpaqueOutput());
    EXPECT_EQ(output.VideoFrame().FourCC, NDIlib_FourCC_video_type_BGRX);
    EXPECT_EQ(runtime.CallsOf(kCallSendCreate).size(), 1u);
}

TEST_F(SenderTest, StepsRunInOrderAroundTheRuntimeCalls) {
    ASSERT_TRUE(output.Reconfigure(kHd25, 0, false));
    runtime.SetSendHoldMs(0);
    steps.steps.clear();
    steps.maskAlpha = 0x40;
    const int32_t before = runtime.CallCount();
    ASSERT_TRUE(output.Reconfigure(kSd2997, 0, true));

    EXPECT_EQ(steps.Names(), (std::vector<std::string>{"rescale", "render", "mask"}));
    const std::vector<DoubleCall> calls = runtime.Calls();
    const std::vector<int32_t> kinds = runtime.Kinds();
    EXPECT_EQ(std::vector<int32_t>(kinds.begin() + before, kinds.end()),
              (std::vector<int32_t>{kCallSendDestroy, kCallSendCreate, kCallAddMetadata,
                                    kCallSendVideo}));
    // The old sender is destroyed before the new one is made.
    EXPECT_EQ(calls[static_cast<std::size_t>(before)].sender, calls[0].sender);
    // Pictures are rescaled and rendered with no sender alive; the mask goes on after
    // the alpha bytes are made opaque and before the send.
    EXPECT_EQ(steps.steps[0].runtimeCallsBefore, before + 1);
    EXPECT_EQ(steps.steps[1].runtimeCallsBefore, before + 1);
    EXPECT_EQ(steps.steps[2].runtimeCallsBefore, before + 3);
    EXPECT_TRUE(steps.alphaOpaqueAtMask);
    const DoubleCall& send = calls.back();
    EXPECT_FALSE(send.allAlphaOpaque);
    EXPECT_EQ(send.firstPixel >> 24, 0x40u);
}

TEST_F(SenderTest, OpaqueAlphaIsWrittenOnlyInsideTheOutputFrame) {
    ASSERT_TRUE(output.Reconfigure(kSd2997, 0, false));
    const uint8_t* store = output.FrameStore();
    const std::size_t used = std::size_t{720} * 576 * 4;
    EXPECT_EQ(store[used - 1], 0xFF);
    for (std::size_t i = used; i < used + 4096; ++i) {
        ASSERT_EQ(store[i], 0) << "byte " << i << " beyond the frame";
    }
    EXPECT_EQ(store[frame_limits::kMaxBytes - 1], 0);
}

TEST_F(SenderTest, FailedCreationSendsNothingAndLeavesNoSender) {
    runtime.SetCreateFails(true);
    ASSERT_TRUE(output.Reconfigure(kHd25, 0, false));
    EXPECT_EQ(runtime.Kinds(), (std::vector<int32_t>{kCallSendCreate}));
    EXPECT_FALSE(output.HasSender());
    EXPECT_EQ(steps.Names(), (std::vector<std::string>{"rescale", "render"}));

    // With no sender, a re-configure that succeeds destroys nothing first.
    runtime.SetCreateFails(false);
    ASSERT_TRUE(output.Reconfigure(kHd25, 0, false));
    EXPECT_EQ(runtime.Kinds(), (std::vector<int32_t>{kCallSendCreate, kCallSendCreate,
                                                     kCallAddMetadata, kCallSendVideo}));
}

TEST_F(SenderTest, FormatsTheStoreCannotHoldAreRefusedBeforeAnythingChanges) {
    ASSERT_TRUE(output.Reconfigure(kHd25, 0, false));
    const int32_t before = runtime.CallCount();
    steps.steps.clear();
    for (const OutputFormat& bad :
         {OutputFormat{0, 720, 30000, 1200}, OutputFormat{4097, 2160, 30000, 1200},
          OutputFormat{4096, 2161, 30000, 1200}, OutputFormat{-1280, 720, 30000, 1200},
          OutputFormat{1920, 1080, 0, 1001}, OutputFormat{1920, 1080, 30000, -1}}) {
        EXPECT_FALSE(output.Reconfigure(bad, 0, false));
    }
    EXPECT_EQ(runtime.CallCount(), before);
    EXPECT_TRUE(steps.steps.empty());
    EXPECT_EQ(output.VideoFrame().xres, 1280);
    EXPECT_TRUE(output.HasSender());
    // The largest size the store holds is accepted.
    EXPECT_TRUE(output.Reconfigure({4096, 2160, 30000, 1001}, 0, false));
}

TEST_F(SenderTest, EveryReconfigureSendsExactlyOneFrame) {
    for (const OutputFormat& format : {kHd25, kSd2997, OutputFormat{640, 360, 30000, 1000}}) {
        ASSERT_TRUE(output.Reconfigure(format, 0, false));
    }
    const std::vector<DoubleCall> sends = runtime.CallsOf(kCallSendVideo);
    ASSERT_EQ(sends.size(), 3u);
    EXPECT_EQ(sends[2].frame.xres, 640);
    EXPECT_EQ(sends[2].frame.frame_rate_D, 1000);
    EXPECT_EQ(runtime.CallsOf(kCallSendDestroy).size(), 2u);
}

TEST(SenderLifetime, DestroyingTheOutputDestroysItsSender) {
    DoubleRuntime runtime;
    ASSERT_TRUE(runtime.Loaded());
    std::vector<uint8_t> store(frame_limits::kMaxBytes);
    RecordingSteps steps(runtime, store.data());
    NoProducer producer;
    {
        NdiOutput output(runtime.Api(), store.data(), producer, steps);
        ASSERT_TRUE(output.Reconfigure(kHd25, 0, false));
    }
    const std::vector<DoubleCall> calls = runtime.Calls();
    ASSERT_EQ(calls.back().kind, kCallSendDestroy);
    EXPECT_EQ(calls.back().sender, calls.front().sender);
}

} // namespace
