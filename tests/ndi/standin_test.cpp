#include "ndi_standin/segment_directory.h"
#include "ndi_standin/standin_runtime.h"
#include "ndi_standin/standin_segment.h"
#include "tests/ndi/standin_support.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace standin_test;

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

// A repeat counts a frame and keeps the pixels already published; it publishes whole
// when there are none yet or the format changed, and is refused when its FourCC would
// read the stored pixels with rows of another size.
TEST(StandIn, ARepeatCountsAFrameWithoutTakingItsPixelsAgain) {
    const NdiRuntimeApi api = standin::Api();
    const std::string name = UniqueName("repeat");
    NDIlib_send_instance_t sender = Create(api, name, false);
    ASSERT_NE(sender, nullptr);
    TestFrame sent(16, 16, 30, 1);
    api.send_repeat_video(sender, &sent.frame); // nothing published yet: taken whole
    const std::vector<uint8_t> original = sent.pixels;
    std::fill(sent.pixels.begin(), sent.pixels.end(), 0xEE);
    sent.frame.FourCC = NDIlib_FourCC_video_type_BGRX;
    api.send_repeat_video(sender, &sent.frame);
    std::vector<uint8_t> pixels;
    std::optional<standin::SourceInfo> info = ReadSource(name, &pixels);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->frameCounter, 2u);
    EXPECT_EQ(info->fourCC, 0x58524742u);
    EXPECT_EQ(pixels, original);

    TestFrame larger(20, 16, 30, 1);
    api.send_repeat_video(sender, &larger.frame);
    info = ReadSource(name, &pixels);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->xres, 20);
    EXPECT_EQ(pixels, larger.pixels);

    // Packed UYVY rows, in a buffer with room for BGRX ones: a repeat misread as BGRX
    // fails the checks below instead of faulting.
    larger.frame.FourCC = NDIlib_FourCC_video_type_UYVY;
    larger.frame.line_stride_in_bytes = 0;
    api.send_send_video_v2(sender, &larger.frame);
    api.send_repeat_video(sender, &larger.frame);
    larger.frame.FourCC = NDIlib_FourCC_video_type_BGRX;
    api.send_repeat_video(sender, &larger.frame);
    info = ReadSource(name, &pixels);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->fourCC, 0x59565955u);
    EXPECT_EQ(info->frameCounter, 5u);
    EXPECT_EQ(pixels, std::vector(larger.pixels.begin(), larger.pixels.begin() + 2 * 20 * 16));
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
    otherFourCC.frame.FourCC = static_cast<NDIlib_FourCC_video_type_e>(0x3231564E); // NV12
    TestFrame oddUyvy(7, 8, 30, 1);
    oddUyvy.frame.FourCC = NDIlib_FourCC_video_type_UYVY;
    TestFrame tooLarge(8, 8, 30, 1);
    tooLarge.frame.xres = 8192; // never read: rejected by size first
    tooLarge.frame.yres = 8192;
    for (TestFrame* frame : {&noData, &shortStride, &otherFourCC, &oddUyvy, &tooLarge}) {
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

// A frame being copied in holds the segment for milliseconds, longer on a busy machine:
// a listing waits that out rather than leave a live source out, but it does not wait on
// an owner stopped in the middle of a frame.
TEST(StandIn, AListingWaitsForAFrameBeingCopiedInButNotForAStoppedOwner) {
    const NdiRuntimeApi api = standin::Api();
    const std::string name = UniqueName("copying");
    NDIlib_send_instance_t sender = Create(api, name, false);
    ASSERT_NE(sender, nullptr);
    TestFrame frame(8, 8, 30, 1);
    api.send_send_video_v2(sender, &frame.frame);
    const int fd = shm_open(standin::SegmentNameFor(name, geteuid()).c_str(), O_RDWR, 0);
    ASSERT_GE(fd, 0);
    void* mapped =
        mmap(nullptr, sizeof(standin::SegmentHeader), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    ASSERT_NE(mapped, MAP_FAILED);
    std::atomic<uint32_t>& change = static_cast<standin::SegmentHeader*>(mapped)->changeCounter;
    auto listed = [&] {
        const std::vector<standin::SourceInfo> live = standin::ListLiveSources(geteuid());
        return std::any_of(live.begin(), live.end(), [&](const standin::SourceInfo& info) {
            return info.sourceName == name;
        });
    };

    change.fetch_add(1); // a frame being copied in
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        change.fetch_add(1);
    });
    EXPECT_TRUE(listed());
    writer.join();

    change.fetch_add(1); // and an owner that never finishes it
    EXPECT_FALSE(listed());
    change.fetch_add(1);
    EXPECT_TRUE(listed());
    munmap(mapped, sizeof(standin::SegmentHeader));
    api.send_destroy(sender);
}

TEST(StandIn, WithoutAScopeNamesStayPlainAndEachScopeHasNamesOfItsOwn) {
    EXPECT_EQ(standin::SegmentPrefixFor(nullptr), "/skyfill-ndi.");
    EXPECT_EQ(standin::SegmentPrefixFor(""), "/skyfill-ndi.");
    EXPECT_EQ(standin::SegmentPrefixFor("t 1/2"), "/skyfill-ndi-t%201%2F2.");
    // The test main gives this process a scope; names of any other scope, or of none, do
    // not parse here, so they are neither listed nor found.
    const char* scope = std::getenv("SKYFILL_STANDIN_SCOPE");
    ASSERT_NE(scope, nullptr);
    EXPECT_EQ(standin::SegmentPrefix(), standin::SegmentPrefixFor(scope));
    EXPECT_TRUE(standin::ParseSegmentName(standin::SegmentNameFor("a", 0)));
    for (const char* other : {static_cast<const char*>(nullptr), "t", "test"}) {
        EXPECT_FALSE(standin::ParseSegmentName(standin::SegmentPrefixFor(other) + "0.a")) << other;
    }
}

TEST(StandIn, SegmentNamesAreReadableAndDistinct) {
    EXPECT_EQ(standin::SegmentNameFor("Kova Gradient 1", 1000),
              standin::SegmentPrefix() + "1000.Kova%20Gradient%201");
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
    const std::string& prefix = standin::SegmentPrefix();
    for (const std::string& bad : {prefix + "Kova", prefix + ".a", prefix + "12.",
                                   std::string("/other.1.a"), prefix + "1.a%4", prefix + "1.a b"}) {
        EXPECT_FALSE(standin::ParseSegmentName(bad)) << bad;
    }
    EXPECT_EQ(Create(standin::Api(), std::string(200, ' '), false), nullptr);
}

} // namespace
