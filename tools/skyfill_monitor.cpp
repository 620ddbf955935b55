// skyfill-monitor: sees Skyfill's output, both what the built-in stand-in runtime
// publishes in shared memory and, when the NDI runtime loads, the NDI sources that
// discovery finds. End-to-end tests read it too. It trusts no stand-in segment: every
// field is checked against the others and against the segment's real size, and text
// from a source is printed with control characters escaped. Usage: kHelp below.

#include "tools/escaped_text.h"
#include "tools/monitor_ndi.h"
#include "tools/monitor_standin.h"
#include "tools/png_output.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <pwd.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Also the man page's text: help2man builds it from this and --version.
constexpr const char* kHelp =
    "Usage: skyfill-monitor [--extra-ips ADDRESSES] list [--all-users]\n"
    "  or:  skyfill-monitor [--extra-ips ADDRESSES] save [--user USER] NAME FILE.png\n"
    "  or:  skyfill-monitor [--extra-ips ADDRESSES] metadata [--user USER] NAME\n"
    "  or:  skyfill-monitor [--extra-ips ADDRESSES] watch [--user USER] NAME SECONDS\n"
    "Shows what Skyfill publishes: the sources of its built-in stand-in runtime and,\n"
    "when the NDI runtime loads, the NDI sources that discovery finds.\n"
    "\n"
    "Commands:\n"
    "  list [--all-users]\n"
    "                    One line per live stand-in source of the calling user,\n"
    "                    tab-separated: name, WIDTHxHEIGHT, FourCC (BGRX or BGRA, \"-\"\n"
    "                    before the first frame), N/D frame rate, frames sent so far,\n"
    "                    and frames per second: the frames published during half a\n"
    "                    second over the time between the first and the last of them,\n"
    "                    by the sender's clock (0.00 when fewer than two came). With\n"
    "                    --all-users, every user's sources; another user's line ends\n"
    "                    in a seventh field \"user NAME\", and one this user may not\n"
    "                    read shows \"-\" for what it cannot know. Removes the user's\n"
    "                    own segments left behind by processes that have ended. Then\n"
    "                    one line per NDI source found: name (\"HOST (SOURCE)\"),\n"
    "                    \"NDI\", address.\n"
    "  save [--user USER] NAME FILE.png\n"
    "                    Writes the source's latest frame as a PNG, alpha bytes as\n"
    "                    sent (24-bit for an NDI source received as BGRX).\n"
    "  metadata [--user USER] NAME\n"
    "                    Prints the source's connection metadata text.\n"
    "  watch [--user USER] NAME SECONDS\n"
    "                    Receives for SECONDS and prints frames received, frames per\n"
    "                    second, the median, 99th percentile and largest interval\n"
    "                    between frames, and frames repeated or skipped by the\n"
    "                    sender's timecodes. Says \"receiving\" on standard error\n"
    "                    once the first frame has come.\n"
    "\n"
    "Options:\n"
    "  --extra-ips ADDRESSES  comma-separated addresses that NDI discovery asks directly,\n"
    "                         for networks without an mDNS responder\n"
    "  --user USER            reads another user's stand-in source (root can)\n"
    "  --help                 shows this text\n"
    "  --version              shows the version\n"
    "\n"
    "A NAME is looked up among the user's stand-in sources first, then among NDI sources.\n"
    "\n"
    "Exit status: 0 on success, 1 when the source does not exist, is damaged or the\n"
    "operation failed, 2 on wrong usage.\n";

int Usage() {
    std::fprintf(
        stderr,
        "usage: skyfill-monitor [--extra-ips ADDRESSES] list [--all-users]\n"
        "       skyfill-monitor [--extra-ips ADDRESSES] save [--user USER] NAME FILE.png\n"
        "       skyfill-monitor [--extra-ips ADDRESSES] metadata [--user USER] NAME\n"
        "       skyfill-monitor [--extra-ips ADDRESSES] watch [--user USER] NAME SECONDS\n");
    return 2;
}

// A user name or a numeric id.
std::optional<uid_t> UserId(const char* text) {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwnam_r(text, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
        return found->pw_uid;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long id = std::strtoul(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || id > 0xFFFFFFFEul) {
        return std::nullopt;
    }
    return static_cast<uid_t>(id);
}

struct Options {
    std::vector<std::string> words;
    std::string extraIps;
    uid_t user = geteuid();
    bool allUsers = false;
    bool help = false;
    bool version = false;
};

// Options may come anywhere; false (after saying why) on a bad one.
bool Parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--all-users") {
            options.allUsers = true;
        } else if (arg == "--help") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--extra-ips" || arg == "--user") {
            if (i + 1 == argc) {
                std::fprintf(stderr, "skyfill-monitor: %s needs a value\n", arg.c_str());
                return false;
            }
            const char* value = argv[++i];
            if (arg == "--extra-ips") {
                options.extraIps = value;
            } else if (const std::optional<uid_t> id = UserId(value)) {
                options.user = *id;
            } else {
                std::fprintf(stderr, "skyfill-monitor: no user \"%s\"\n", Escaped(value).c_str());
                return false;
            }
        } else if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            std::fprintf(stderr, "skyfill-monitor: unknown option %s\n", Escaped(arg).c_str());
            return false;
        } else {
            options.words.push_back(arg);
        }
    }
    return true;
}

int SaveStandIn(const std::string& name, uid_t user, const char* file) {
    std::vector<uint8_t> frame;
    const std::optional<standin::SourceInfo> info = ReadStandInSource(name, user, &frame);
    if (!info) {
        return 1;
    }
    if (info->fourCC == 0 || frame.empty()) {
        std::fprintf(stderr, "skyfill-monitor: source \"%s\" has not sent a frame yet\n",
                     Escaped(name).c_str());
        return 1;
    }
    if (!SavePng(frame.data(), info->xres, info->yres, false, file)) {
        std::fprintf(stderr, "skyfill-monitor: cannot write \"%s\"\n", Escaped(file).c_str());
        return 1;
    }
    return 0;
}

int MetadataStandIn(const std::string& name, uid_t user) {
    const std::optional<standin::SourceInfo> info = ReadStandInSource(name, user, nullptr);
    if (!info) {
        return 1;
    }
    std::printf("%s\n", Escaped(info->metadata).c_str());
    return 0;
}

std::optional<double> Seconds(const std::string& text) {
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !std::isfinite(seconds) || seconds <= 0 ||
        seconds > 24 * 3600) {
        return std::nullopt;
    }
    return seconds;
}

int Run(const Options& options) {
    const std::vector<std::string>& w = options.words;
    if (w.size() == 1 && w[0] == "list") {
        ListStandInSources(options.allUsers);
        NdiAccess(options.extraIps).List();
        return 0;
    }
    const bool save = w.size() == 3 && w[0] == "save";
    const bool metadata = w.size() == 2 && w[0] == "metadata";
    const bool watch = w.size() == 3 && w[0] == "watch";
    const double seconds = watch ? Seconds(w[2]).value_or(0) : 0;
    if ((!save && !metadata && !watch) || options.allUsers || (watch && seconds <= 0)) {
        return Usage();
    }
    const std::string& name = w[1];
    if (StandInSourceExists(name, options.user)) {
        return save       ? SaveStandIn(name, options.user, w[2].c_str())
               : metadata ? MetadataStandIn(name, options.user)
                          : WatchStandInSource(name, options.user, seconds);
    }
    NdiAccess ndi(options.extraIps);
    const std::optional<NdiSource> source = ndi.Find(name);
    if (!source) {
        std::fprintf(stderr, "skyfill-monitor: no live source named \"%s\"\n",
                     Escaped(name).c_str());
        return 1;
    }
    return save       ? ndi.Save(*source, w[2].c_str())
           : metadata ? ndi.Metadata(*source)
                      : ndi.Watch(*source, seconds);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, options)) {
        return 2;
    }
    if (options.help) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("skyfill-monitor %s\n"
                    "Copyright (C) 2026 the Skyfill developers\n"
                    "License: MIT\n",
                    SKYFILL_VERSION);
        return 0;
    }
    return Run(options);
}
