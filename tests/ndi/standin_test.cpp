#include "ndi/frame_clock.h"
#include "ndi/segment_directory.h"
#include "ndi/sender_setup.h"
#include "ndi/standin_runtime.h"
#include "ndi/standin_segment.h"

#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A source name no other test run on this machine uses at the same time.
std::string UniqueName(const char* what) {
    return std::string("Skyfill test ") + what + " " + std::to_string(getpid());
}

NDIlib_send_instance_t Create(const NdiRuntimeApi& api, const std::string& name, bool clock) {
    NDIlib_send_create_t create{};
    create.p_ndi_name = name.c_str();
    create.clock_video = clock;
    return api.send_create(&create);
}

struct TestFrame {
    std::vector<uint8_t> pixels;
    NDIlib_video_frame_v2_t frame{};

    TestFrame(int32_t width, int32_t height, int32_t rateN, int32_t rateD, int32_t stride = 0)
        : pixels(static_cast<std::size_t>(stride ? stride : 4 * width) * height) {
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = static_cast<uint8_t>(i * 7 + i / 251);
        }
        FillVideoFrame(frame, {width, height, rateN, rateD}, false, pixels.data());
        if (stride != 0) {
            frame.line_stride_in_bytes = stride;
        }
    }
};

std::optional<standin::SourceInfo> ReadSource(const std::string& name,
                                              std::vector<uint8_t>* frame = nullptr) {
    const auto reader = standin::FindSource(name, geteuid());
    standin::SourceInfo info;
    if (!reader || reader->Read(info, frame) != standin::SegmentReader::Outcome::Read) {
        return std::nullopt;
    }
    return info;
}

TEST(StandInClock, OnTimeCallersFollowExactDeadlinesWithoutDrift) {
    FrameClock clock;
    const int64_t start = 5'000'000'000;
    EXPECT_EQ(clock.Schedule(start, 30000, 1001), start); // the first frame goes at once
    int64_t due = start;
    for (int64_t k = 1; k <= 30000 * 3; ++k) {
        // The caller always comes back early, 1 ms after its previous frame.
        due = clock.Schedule(due + 1'000'000, 30000, 1001);
        if (k % 30000 == 0) {
            ASSERT_EQ(due - start, k / 30000 * 1001'000'000'000) << "slot " << k;
        }
    }
    EXPECT_EQ(FrameClock::SlotOffset(1, 30000, 1200), 40'000'000);
    EXPECT_EQ(FrameClock::SlotOffset(3, 30000, 1001), 100'100'000);
}

TEST(StandInClock, ALateCallerStartsANewScheduleInsteadOfABurst) {
    FrameClock clock;
    const int64_t period = 40'000'000; // 25p
    clock.Schedule(0, 30000, 1200);
    EXPECT_EQ(clock.Schedule(1'000'000, 30000, 1200), period);
    // Three periods late: sent at once, and the next slot is a full period later.
    const int64_t late = 5 * period;
    EXPECT_EQ(clock.Schedule(late, 30000, 1200), late);
    EXPECT_EQ(clock.Schedule(late + 1, 30000, 1200), late + period);
    EXPECT_EQ(clock.Schedule(late + period + 1, 30000, 1200), late + 2 * period);
    // A little late (under half a period) keeps the schedule.
    EXPECT_EQ(clock.Schedule(late + 3 * period + 5'000'000, 30000, 1200),
              late + 3 * period + 5'000'000);
    EXPECT_EQ(clock.Schedule(late + 3 * period + 6'000'000, 30000, 1200), late + 4 * period);
}

TEST(StandInClock, RateChangesAndNonsenseRatesStillPace) {
    FrameClock clock;
    clock.Schedule(0, 30000, 1200);
    EXPECT_EQ(clock.Schedule(0, 30000, 1200), 40'000'000);
    // The next frame at the new rate is one new period after the last slot.
    EXPECT_EQ(clock.Schedule(0, 30000, 1000), 40'000'000 + 33'333'333);
    FrameClock bad;
    bad.Schedule(0, 0, 0);
    EXPECT_EQ(bad.Schedule(0, 0, 0), 33'333'333);
    EXPECT_EQ(bad.Schedule(0, -5, 1), 66'666'666);
}

TEST(StandIn, VersionTextEndsInItsVersionAndSaysWhatItIs) {
    const std::string version = standin::Api().version();
    EXPECT_NE(version.find("stand-in"), std::string::npos);
    EXPECT_EQ(version.substr(version.rfind(' ') + 1), "1.0");
}

TEST(StandIn, PublishesNameMetadataFormatAndPixelsUntilDestroyed) {
    const NdiRuntimeApi api = standin::Api();
    ASSERT_TRUE(api.initialize());
    const std::string name = UniqueName("publish");
    NDIlib_send_instance_t sender = Create(api, name, false);
    ASSERT_NE(sender, nullptr);

    std::optional<standin::SourceInfo> info = ReadSource(name);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->sourceName, name);
    EXPECT_EQ(info->fourCC, 0u); // no frame yet
    EXPECT_EQ(info->ownerPid, getpid());

    const char product[] = "<ndi_product long_name=\"x\"/>";
    NDIlib_metadata_frame_t metadata{static_cast<int>(std::strlen(product)), INT64_MAX,
                                     const_cast<char*>(product)};
    api.send_add_connection_metadata(sender, &metadata);

    // Rows with a gap at their end are published packed.
    TestFrame sent(33, 7, 30000, 1001, 4 * 33 + 12);
    sent.frame.FourCC = NDIlib_FourCC_video_type_BGRX;
    api.send_send_video_v2(sender, &sent.frame);
    api.send_send_video_v2(sender, &sent.frame);

    std::vector<uint8_t> pixels;
    info = ReadSource(name, &pixels);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->metadata, product);
    EXPECT_EQ(info->xres, 33);
    EXPECT_EQ(info->yres, 7);
    EXPECT_EQ(info->fourCC, 0x58524742u);
    EXPECT_EQ(info->frameRateN, 30000);
    EXPECT_EQ(info->frameRateD, 1001);
    EXPECT_FLOAT_EQ(info->aspect, 16.0f / 9.0f);
    EXPECT_EQ(info->stride, 4 * 33);
    EXPECT_EQ(info->frameCounter, 2u);
    ASSERT_EQ(pixels.size(), std::size_t{4 * 33 * 7});
    for (int y = 0; y < 7; ++y) {
        ASSERT_EQ(std::memcmp(&pixels[std::size_t(y) * 4 * 33],
                              &sent.pixels[std::size_t(y) * (4 * 33 + 12)], 4 * 33),
                  0)
            << "row " << y;
    }

    api.send_destroy(sender);
    EXPECT_FALSE(standin::SegmentReader::Open(standin::SegmentNameFor(name, geteuid()), geteuid()));
    api.destroy();
}

TEST(StandIn, TakesTheFrameBeforeReturning) {
    const NdiRuntimeApi api = standin::Api();
    const std::string name = UniqueName("copy");
    NDIlib_send_instance_t sender = Create(api, name, false);
    ASSERT_NE(sender, nullptr);
    TestFrame sent(16, 16, 30, 1);
    api.send_send_video_v2(sender, &sent.frame);
    const std::vector<uint8_t> original = sent.pixels;
    std::fill(sent.pixels.begin(), sent.pixels.end(), 0xEE);
    std::vector<uint8_t> pixels;
    ASSERT_TRUE(ReadSource(name, &pixels));
    EXPECT_EQ(pixels, original);
    api.send_destroy(sender);
}

TEST(StandIn, RejectsWhatItCannotPublishWithoutFaulting) {
    const NdiRuntimeApi api = standin::Api();
    const std::string name = UniqueName("reject");
    NDIlib_send_instance_t sender = Create(api, name, false);
    ASSERT_NE(sender, nullptr);

    TestFrame good(8, 8, 30, 1);
    TestFrame noData = good;
    noData.frame.p_data = nullptr;
    TestFrame shortStride(8, 8, 30, 1);
    shortStride.frame.line_stride_in_bytes = 16;
    TestFrame otherFourCC(8, 8, 30, 1);
    otherFourCC.frame.FourCC = static_cast<NDIlib_FourCC_video_type_e>(0x59565955); // UYVY
    TestFrame tooLarge(8, 8, 30, 1);
    tooLarge.frame.xres = 8192; // never read: rejected by size first
    tooLarge.frame.yres = 8192;
    for (TestFrame* frame : {&noData, &shortStride, &otherFourCC, &tooLarge}) {
        api.send_send_video_v2(sender, &frame->frame);
    }
    api.send_send_video_v2(sender, nullptr);
    std::optional<standin::SourceInfo> info = ReadSource(name);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->frameCounter, 0u);

    // Null and already destroyed handles are ignored by every call.
    api.send_send_video_v2(nullptr, &good.frame);
    api.send_add_connection_metadata(nullptr, nullptr);
    api.send_destroy(nullptr);
    api.send_destroy(sender);
    api.send_destroy(sender);
    api.send_send_video_v2(sender, &good.frame);
    EXPECT_FALSE(ReadSource(name));
}

TEST(StandIn, MetadataTextStopsAtItsLengthOrTerminatorAndDropsWhatDoesNotFit) {
    const NdiRuntimeApi api = standin::Api();
    const std::string name = UniqueName("metadata");
    NDIlib_send_instance_t sender = Create(api, name, false);
    ASSERT_NE(sender, nullptr);
    char first[] = "<a/>ignored";
    NDIlib_metadata_frame_t item{4, INT64_MAX, first};
    api.send_add_connection_metadata(sender, &item);
    char second[] = "<b/>\0hidden";
    item = {11, INT64_MAX, second};
    api.send_add_connection_metadata(sender, &item);
    char third[] = "<c/>";
    item = {0, INT64_MAX, third}; // 0: up to the terminator
    api.send_add_connection_metadata(sender, &item);
    std::string huge(5000, 'x');
    item = {static_cast<int>(huge.size()), INT64_MAX, huge.data()};
    api.send_add_connection_metadata(sender, &item);
    const std::optional<standin::SourceInfo> info = ReadSource(name);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->metadata, "<a/><b/><c/>");
    api.send_destroy(sender);
}

TEST(StandIn, ANameInUseByALiveSenderIsRefused) {
    const NdiRuntimeApi api = standin::Api();
    const std::string name = UniqueName("twice");
    NDIlib_send_instance_t first = Create(api, name, false);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Create(api, name, false), nullptr);
    api.send_destroy(first);
    NDIlib_send_instance_t again = Create(api, name, false);
    EXPECT_NE(again, nullptr);
    api.send_destroy(again);
}

TEST(StandIn, ASegmentLeftByACrashedProcessIsRemovedAndItsNameReused) {
    const std::string name = UniqueName("crashed");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const NdiRuntimeApi api = standin::Api();
        TestFrame frame(4, 4, 30, 1);
        NDIlib_send_instance_t sender = Create(api, name, false);
        if (sender != nullptr) {
            api.send_send_video_v2(sender, &frame.frame);
        }
        _exit(sender != nullptr ? 0 : 3); // no destroy: the segment stays behind
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0);

    const std::string segment = standin::SegmentNameFor(name, geteuid());
    {
        const auto reader = standin::SegmentReader::Open(segment, geteuid());
        ASSERT_TRUE(reader);
        EXPECT_TRUE(reader->Stale());
    }
    for (const standin::SourceInfo& live : standin::ListLiveSources(geteuid())) {
        EXPECT_NE(live.sourceName, name);
    }
    EXPECT_FALSE(standin::SegmentReader::Open(segment, geteuid()))
        << "listing removes stale segments";

    // The same when the creator finds it first.
    const pid_t second = fork();
    ASSERT_GE(second, 0);
    if (second == 0) {
        _exit(Create(standin::Api(), name, false) != nullptr ? 0 : 3);
    }
    ASSERT_EQ(waitpid(second, &status, 0), second);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    const NdiRuntimeApi api = standin::Api();
    NDIlib_send_instance_t sender = Create(api, name, false);
    EXPECT_NE(sender, nullptr);
    api.send_destroy(sender);
}

TEST(StandIn, SegmentNamesAreReadableAndDistinct) {
    EXPECT_EQ(standin::SegmentNameFor("Kova Gradient 1", 1000),
              "/skyfill-ndi.1000.Kova%20Gradient%201");
    EXPECT_NE(standin::SegmentNameFor("a b", 0), standin::SegmentNameFor("a_b", 0));
    EXPECT_NE(standin::SegmentNameFor("a/b", 0), standin::SegmentNameFor("a%2Fb", 0));
    EXPECT_NE(standin::SegmentNameFor("a", 1), standin::SegmentNameFor("a", 10));
    EXPECT_EQ(standin::SegmentNameFor("", 0), "");
    EXPECT_EQ(standin::SegmentNameFor(std::string(200, ' '), 0), ""); // 600 bytes encoded
    for (const char* source : {"Kova Gradient 1", "a/b%~.\x1b"}) {
        for (const std::string& name : {standin::SegmentNameFor(source, 4321),
                                        standin::AlternateSegmentNameFor(source, 4321)}) {
            const auto parsed = standin::ParseSegmentName(name);
            ASSERT_TRUE(parsed) << name;
            EXPECT_EQ(parsed->user, 4321u);
            EXPECT_EQ(parsed->sourceName, source);
        }
    }
    for (const char* bad : {"/skyfill-ndi.Kova", "/skyfill-ndi..a", "/skyfill-ndi.12.",
                            "/other.1.a", "/skyfill-ndi.1.a%4", "/skyfill-ndi.1.a b"}) {
        EXPECT_FALSE(standin::ParseSegmentName(bad)) << bad;
    }
    EXPECT_EQ(Create(standin::Api(), std::string(200, ' '), false), nullptr);
}

// Sends for about `seconds` at rate n/d and returns the error, in frame periods, of when
// the last send returned against the second's return plus (count - 2) periods.
double PacingError(int32_t rateN, int32_t rateD, double seconds) {
    const NdiRuntimeApi api = standin::Api();
    const std::string name = UniqueName("pacing");
    NDIlib_send_instance_t sender = Create(api, name, true);
    EXPECT_NE(sender, nullptr);
    TestFrame frame(64, 36, rateN, rateD);
    const double period = double(rateD) / rateN;
    const int frames = static_cast<int>(seconds / period);
    // The first frame goes at once but touches fresh pages of the segment; timing
    // starts when the second, the first paced one, returns.
    api.send_send_video_v2(sender, &frame.frame);
    api.send_send_video_v2(sender, &frame.frame);
    const Clock::time_point first = Clock::now();
    for (int i = 2; i < frames; ++i) {
        api.send_send_video_v2(sender, &frame.frame);
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - first).count();
    const std::optional<standin::SourceInfo> info = ReadSource(name);
    EXPECT_TRUE(info);
    EXPECT_EQ(info ? info->frameCounter : 0u, static_cast<uint64_t>(frames));
    api.send_destroy(sender);
    const double error = (elapsed - (frames - 2) * period) / period;
    std::printf("  %d/%d: %d frames in %.4f s, error %+.3f frame\n", rateN, rateD, frames, elapsed,
                error);
    return error;
}

TEST(StandInPacing, SendsFollowTheFrameRateWithinOneFrame) {
    for (const auto& [n, d] : {std::pair{30000, 1200}, {30000, 1001}, {30000, 1000}}) {
        const double error = PacingError(n, d, 2.5);
        EXPECT_GT(error, -0.1) << n << "/" << d << " ran ahead of its deadlines";
        EXPECT_LT(error, 1.0) << n << "/" << d;
    }
}

TEST(StandInPacing, ALateCallerGetsNoBurst) {
    const NdiRuntimeApi api = standin::Api();
    const std::string name = UniqueName("late");
    NDIlib_send_instance_t sender = Create(api, name, true);
    ASSERT_NE(sender, nullptr);
    TestFrame frame(16, 16, 30000, 1200);
    const auto period = std::chrono::milliseconds(40);
    api.send_send_video_v2(sender, &frame.frame);
    api.send_send_video_v2(sender, &frame.frame);
    std::this_thread::sleep_for(5 * period);
    const Clock::time_point late = Clock::now();
    api.send_send_video_v2(sender, &frame.frame); // goes at once
    const Clock::time_point second = Clock::now();
    api.send_send_video_v2(sender, &frame.frame);
    api.send_send_video_v2(sender, &frame.frame);
    const Clock::time_point third = Clock::now();
    api.send_send_video_v2(sender, &frame.frame);
    const Clock::time_point fourth = Clock::now();
    api.send_destroy(sender);
    EXPECT_LT(second - late, period / 2);
    // Each frame after the late one waits about a full period.
    EXPECT_GT(third - second, 2 * period - period / 4);
    EXPECT_GT(fourth - third, period - period / 4);
}

} // namespace
