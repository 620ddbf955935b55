// skyfill-monitor reading what this process publishes through the stand-in runtime,
// what another process publishes, and only what its own scope publishes.

#include "ndi/sender_setup.h"
#include "tests/ndi/monitor_support.h"

#include <QColor>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <poll.h>
#include <pwd.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace monitor_test;

TEST_F(MonitorTest, ReadsNameFormatMetadataAndPixels) {
    const std::string name = Name("pixels");
    NDIlib_send_instance_t sender = Create(name, false);
    ASSERT_NE(sender, nullptr);
    NDIlib_metadata_frame_t product{static_cast<int>(kProductText.size()), INT64_MAX,
                                    const_cast<char*>(kProductText.data())};
    api.send_add_connection_metadata(sender, &product);

    // Every alpha value, including 0 under a colour, must come back as sent.
    const int width = 64, height = 36;
    std::vector<uint8_t> pixels(std::size_t{4} * width * height);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<uint8_t>((i * 37) ^ (i >> 8));
    }
    NDIlib_video_frame_v2_t frame{};
    FillVideoFrame(frame, {width, height, 30000, 1001}, false, pixels.data());
    api.send_send_video_v2(sender, &frame);

    const Result list = Monitor({"list"});
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(LineFor(list.out, name), name + "\t64x36\tBGRA\t30000/1001\t1\t0.00");

    const Result metadata = Monitor({"metadata", name});
    ASSERT_EQ(metadata.status, 0) << metadata.err;
    EXPECT_EQ(metadata.out, std::string(kProductText) + "\n");

    const std::string png = dir + "/frame.png";
    const Result save = Monitor({"save", name, png});
    ASSERT_EQ(save.status, 0) << save.err;
    QImage image(QString::fromStdString(png));
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(image.width(), width);
    ASSERT_EQ(image.height(), height);
    EXPECT_TRUE(image.hasAlphaChannel());
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        ASSERT_EQ(std::memcmp(image.constScanLine(y), &pixels[std::size_t(y) * 4 * width],
                              std::size_t{4} * width),
                  0)
            << "row " << y;
    }
    api.send_destroy(sender);
}

// Full colours as BT.709 in limited range codes them come back within 1. White and black
// share a pair and each pair sits beside an unlike one, so chroma from anywhere but the
// pixel's own pair shows.
TEST_F(MonitorTest, SavesAUyvySourceAsRgbAndListsItsFormat) {
    const std::string name = Name("uyvy");
    NDIlib_send_instance_t sender = Create(name, false);
    ASSERT_NE(sender, nullptr);
    std::vector<uint8_t> pixels = {128, 235, 128, 16,  102, 63, 240, 63,
                                   42,  173, 26,  173, 240, 32, 118, 32};
    const QColor want[] = {Qt::white, Qt::black, Qt::red,  Qt::red,
                           Qt::green, Qt::green, Qt::blue, Qt::blue};
    NDIlib_video_frame_v2_t frame{};
    FillVideoFrame(frame, {4, 2, 30, 1}, true, pixels.data());
    frame.FourCC = NDIlib_FourCC_video_type_UYVY;
    frame.line_stride_in_bytes = 0;
    api.send_send_video_v2(sender, &frame);

    EXPECT_EQ(LineFor(Monitor({"list"}).out, name), name + "\t4x2\tUYVY\t30/1\t1\t0.00");
    const std::string png = dir + "/uyvy.png";
    const Result save = Monitor({"save", name, png});
    api.send_destroy(sender);
    ASSERT_EQ(save.status, 0) << save.err;
    const QImage image(QString::fromStdString(png));
    ASSERT_EQ(image.size(), QSize(4, 2));
    for (int i = 0; i < 8; ++i) {
        const QColor got = image.pixelColor(i % 4, i / 4);
        EXPECT_NEAR(got.red(), want[i].red(), 1) << "pixel " << i;
        EXPECT_NEAR(got.green(), want[i].green(), 1) << "pixel " << i;
        EXPECT_NEAR(got.blue(), want[i].blue(), 1) << "pixel " << i;
    }
}

TEST_F(MonitorTest, AMissingSourceIsAClearErrorWithStatusOne) {
    const std::string name = Name("missing");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"metadata", name},
          std::vector<std::string>{"save", name, dir + "/x.png"}}) {
        const Result result = Monitor(args);
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find("no live source named \"" + name + "\""), std::string::npos)
            << result.err;
    }
}

// Each mistake is one line naming what is wrong, then where help is; nothing is done.
TEST_F(MonitorTest, MistakesNameTheirCauseAndPointToHelp) {
    const std::string name = Name("mistaken");
    const struct {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{}, "a command is needed: list, save, metadata or watch"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"list", "--bogus"}, "unknown option '--bogus'"},
        {{"--help-all"}, "unknown option '--help-all'"},
        {{"--json=yes", "list"}, "--json: takes no value"},
        {{"watch", name, "soon"}, "watch: SECONDS must be above 0 and at most 86400, not 'soon'"},
        {{"save", "--json", name, dir + "/x.png"}, "--json: for list, metadata and watch only"},
        {{"--user", "\x1b[2J", "list"}, "--user: no user '\\x1B[2J'"},
    };
    for (const auto& mistake : cases) {
        const Result result = Monitor(mistake.args);
        EXPECT_EQ(result.status, 2) << mistake.says;
        EXPECT_EQ(result.err,
                  "skyfill-monitor: " + mistake.says + "\nTry 'skyfill-monitor --help'.\n");
        EXPECT_EQ(result.out, "");
    }

    const Result help = Monitor({"-h"});
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_EQ(help.out, Monitor({"--help"}).out);
    // help2man makes a man page section of each of these.
    for (const char* heading : {"\nOptions:\n", "\n*Exit status*\n", "\nEnvironment:\n",
                                "\nFiles:\n", "\n*See also*\n"}) {
        EXPECT_NE(help.out.find(heading), std::string::npos) << heading;
    }
    const Result version = Monitor({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("skyfill-monitor ", 0), 0u) << version.out;
}

// What --json prints is read back by a JSON parser as exactly what the source holds,
// and carries no raw control character that could drive a terminal.
TEST_F(MonitorTest, JsonOutputHoldsTheSourcesTextExactly) {
    const std::string name = Name("json \"quoted\" \\ \xC2\x85");
    const std::string text = "<meta a=\"1\">\x1b[2J\ttab\r\nline\x7f\xC2\x9B\\</meta>";
    NDIlib_send_instance_t sender = Create(name, false);
    ASSERT_NE(sender, nullptr);
    NDIlib_metadata_frame_t metadata{static_cast<int>(text.size()), INT64_MAX,
                                     const_cast<char*>(text.data())};
    api.send_add_connection_metadata(sender, &metadata);
    std::vector<uint8_t> pixels(std::size_t{4} * 8 * 2, 0x40);
    NDIlib_video_frame_v2_t frame{};
    FillVideoFrame(frame, {8, 2, 30000, 1001}, false, pixels.data());
    api.send_send_video_v2(sender, &frame);

    const auto json = [this](const std::vector<std::string>& args) {
        const Result result = Monitor(args);
        EXPECT_EQ(result.status, 0) << result.err;
        for (const char byte : result.out) {
            const auto unit = static_cast<unsigned char>(byte);
            EXPECT_TRUE(byte == '\n' || (unit >= 0x20 && unit != 0x7F)) << int{unit};
        }
        EXPECT_EQ(result.out.find("\xC2\x85"), std::string::npos);
        EXPECT_EQ(result.out.find("\xC2\x9B"), std::string::npos);
        QJsonParseError error{};
        QJsonDocument document =
            QJsonDocument::fromJson(QByteArray::fromStdString(result.out), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << result.out;
        return document;
    };
    const QString qName = QString::fromStdString(name);

    QJsonObject listed;
    for (const QJsonValue source : json({"list", "--json"}).array()) {
        listed = source["name"] == qName ? source.toObject() : listed;
    }
    const passwd* user = getpwuid(geteuid());
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(listed, (QJsonObject{{"name", qName},
                                   {"type", "stand-in"},
                                   {"user", user->pw_name},
                                   {"width", 8},
                                   {"height", 2},
                                   {"fourcc", "BGRA"},
                                   {"rate-numerator", 30000},
                                   {"rate-denominator", 1001},
                                   {"frames-sent", 1},
                                   {"frames-per-second", 0}}))
        << QJsonDocument(listed).toJson().constData();

    EXPECT_EQ(json({"metadata", "--json", name}).object(),
              (QJsonObject{{"name", qName}, {"metadata", QString::fromStdString(text)}}));

    const QJsonObject watched = json({"watch", name, "0.2", "--json"}).object();
    EXPECT_EQ(watched.keys(),
              (QStringList{"frames-per-second", "frames-received", "frames-repeated",
                           "frames-skipped", "interval-99th-percentile-ms", "interval-maximum-ms",
                           "interval-median-ms", "name"}));
    EXPECT_EQ(watched["name"], qName);
    EXPECT_EQ(watched["frames-received"], 0);
    api.send_destroy(sender);
}

TEST_F(MonitorTest, ASourceWithoutAFrameCannotBeSavedButIsListed) {
    const std::string name = Name("empty");
    NDIlib_send_instance_t sender = Create(name, false);
    ASSERT_NE(sender, nullptr);
    EXPECT_EQ(LineFor(Monitor({"list"}).out, name), name + "\t0x0\t-\t0/0\t0\t0.00");
    const Result save = Monitor({"save", name, dir + "/none.png"});
    EXPECT_EQ(save.status, 1);
    EXPECT_NE(save.err.find("has not sent a frame"), std::string::npos) << save.err;
    api.send_destroy(sender);
    EXPECT_EQ(LineFor(Monitor({"list"}).out, name), "");
}

// The rate arithmetic is FrameTiming's; this is the one look across processes: a source
// another process keeps sending is listed with its format and a measured rate.
TEST_F(MonitorTest, ListsAnotherProcessesSourceWhileItSends) {
    const std::string name = Name("rate");
    int ready[2];
    int stop[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(stop), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        close(stop[1]);
        NDIlib_send_instance_t sender = Create(name, true);
        std::vector<uint8_t> pixels(std::size_t{4} * 320 * 180, 0x80);
        NDIlib_video_frame_v2_t frame{};
        FillVideoFrame(frame, {320, 180, 30000, 1200}, true, pixels.data());
        api.send_send_video_v2(sender, &frame);
        const char byte = sender != nullptr ? 1 : 0;
        (void)!write(ready[1], &byte, 1);
        // Paced at 25p until the test closes its end of the pipe.
        pollfd until{stop[0], POLLIN, 0};
        while (sender != nullptr && poll(&until, 1, 0) == 0) {
            api.send_send_video_v2(sender, &frame);
        }
        api.send_destroy(sender);
        _exit(0);
    }
    close(ready[1]);
    close(stop[0]);
    char byte = 0;
    const bool started = read(ready[0], &byte, 1) == 1 && byte == 1;
    close(ready[0]);
    const std::vector<std::string> fields =
        started ? Fields(LineFor(Monitor({"list"}).out, name)) : std::vector<std::string>{};
    close(stop[1]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(started);
    ASSERT_EQ(fields.size(), 6u);
    EXPECT_EQ(fields[1], "320x180");
    EXPECT_EQ(fields[2], "BGRX");
    EXPECT_EQ(fields[3], "30000/1200");
    EXPECT_GE(std::stoull(fields[4]), 2u);
    std::printf("  measured %s frames per second at 25p\n", fields[5].c_str());
    EXPECT_GT(std::stod(fields[5]), 0.0) << "frames were sent while the monitor watched";
}

// Test processes run side by side, each with a scope of its own (SKYFILL_STANDIN_SCOPE,
// set by the test mains and inherited by what they start).
TEST_F(MonitorTest, AScopeSeesOnlyItsOwnSourcesAndNoScopeSeesOnlyPlainOnes) {
    const std::string name = Name("scoped");
    NDIlib_send_instance_t sender = Create(name, false);
    ASSERT_NE(sender, nullptr);
    EXPECT_NE(LineFor(Monitor({"list"}).out, name), "");
    EXPECT_EQ(Monitor({"metadata", name}).status, 0);
    for (const std::vector<std::string>& env :
         {std::vector<std::string>{"-u", "SKYFILL_STANDIN_SCOPE"},
          std::vector<std::string>{"SKYFILL_STANDIN_SCOPE=other"}}) {
        EXPECT_EQ(LineFor(Monitor({"list", "--all-users"}, env).out, name), "") << env.back();
        const Result metadata = Monitor({"metadata", name}, env);
        EXPECT_EQ(metadata.status, 1) << env.back();
        EXPECT_NE(metadata.err.find("no live source"), std::string::npos) << metadata.err;
    }
    api.send_destroy(sender);

    // A plain segment, as programs outside any scope publish it, is theirs alone.
    const std::string plain = Name("plain");
    const std::string segment =
        standin::SegmentPrefixFor(nullptr) + Segment(plain).substr(standin::SegmentPrefix().size());
    close(MakeNamed(segment, Header(plain, 8, 2), 4 * 8 * 2));
    EXPECT_EQ(LineFor(Monitor({"list"}).out, plain), "");
    EXPECT_EQ(Monitor({"metadata", plain}).status, 1);
    const Result unscoped = Monitor({"list"}, {"-u", "SKYFILL_STANDIN_SCOPE"});
    EXPECT_EQ(Fields(LineFor(unscoped.out, plain)).size(), 6u) << unscoped.out;
}

} // namespace
