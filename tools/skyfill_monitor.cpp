// skyfill-monitor: sees Skyfill's output, both what the built-in stand-in runtime
// publishes in shared memory and, when the NDI runtime loads, the NDI sources that
// discovery finds. End-to-end tests read it too. It trusts no stand-in segment: every
// field is checked against the others and against the segment's real size, and text
// from a source is printed with control characters escaped. Usage: kHelp below.

#include "ndi/ndi_abi.h"
#include "render/uyvy_to_bgrx.h"
#include "tools/escaped_text.h"
#include "tools/monitor_ndi.h"
#include "tools/monitor_output.h"
#include "tools/monitor_standin.h"
#include "tools/png_output.h"
#include "tools/tool_command_line.h"

#include <QCommandLineParser>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <pwd.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kProgram = "skyfill-monitor";

// Also the man page's text: help2man builds it from this and --version, and makes a
// section of each "*Heading*" and of "Environment:" and "Files:".
constexpr const char* kHelp =
    "Usage: skyfill-monitor [OPTION]... list\n"
    "  or:  skyfill-monitor [OPTION]... save NAME FILE.png\n"
    "  or:  skyfill-monitor [OPTION]... metadata NAME\n"
    "  or:  skyfill-monitor [OPTION]... watch NAME SECONDS\n"
    "Shows what Skyfill publishes: the sources of its built-in stand-in runtime and,\n"
    "when the NDI runtime loads, the NDI sources that discovery finds.\n"
    "\n"
    "Commands:\n"
    "  list [--all-users] [--json]\n"
    "                    One line per live stand-in source of the calling user,\n"
    "                    tab-separated: name, WIDTHxHEIGHT, FourCC (BGRX, BGRA or\n"
    "                    UYVY, \"-\" before the first frame), N/D frame rate, frames\n"
    "                    sent so far, and frames per second: the frames published\n"
    "                    during half a second over the time between the first and the\n"
    "                    last of them, by the sender's clock (0.00 when fewer than\n"
    "                    two came). With --all-users, every user's sources; another\n"
    "                    user's line ends in a seventh field \"user NAME\", and one\n"
    "                    this user may not read shows \"-\" for what it cannot know.\n"
    "                    Removes the user's own segments left behind by processes\n"
    "                    that have ended. Then one line per NDI source found: name\n"
    "                    (\"HOST (SOURCE)\"), \"NDI\", address.\n"
    "  save [--user USER] NAME FILE.png\n"
    "                    Writes the source's latest frame as a PNG, alpha bytes as\n"
    "                    sent (24-bit for an NDI source received as BGRX); a UYVY\n"
    "                    frame as 24-bit RGB, read as BT.709 in limited range.\n"
    "  metadata [--user USER] [--json] NAME\n"
    "                    Prints the source's connection metadata text.\n"
    "  watch [--user USER] [--json] NAME SECONDS\n"
    "                    Receives for SECONDS (at most 86400) and prints frames\n"
    "                    received, frames per second, the median, 99th percentile and\n"
    "                    largest interval between frames, and frames repeated or\n"
    "                    skipped by the sender's timecodes. Says \"receiving\" on\n"
    "                    standard error once the first frame has come.\n"
    "\n"
    "Options:\n"
    "  --extra-ips ADDRESSES  comma-separated addresses that NDI discovery asks directly,\n"
    "                         for networks without an mDNS responder\n"
    "  --all-users            list: every user's stand-in sources\n"
    "  --user USER            save, metadata, watch: another user's stand-in source\n"
    "                         (root can read it)\n"
    "  --json                 list, metadata, watch: one JSON document instead of lines\n"
    "  -h, --help             shows this text\n"
    "  -v, --version          shows the version\n"
    "\n"
    "A NAME is looked up among the user's stand-in sources first, then among NDI sources;\n"
    "one that begins with \"-\" is written after \"--\". Text from a source is printed with\n"
    "control characters, backslashes and bytes that are not UTF-8 as \\xNN.\n"
    "\n"
    "With --json, list prints an array with an object per source: \"name\", \"type\"\n"
    "(\"stand-in\" or \"ndi\"), then for a stand-in source \"user\", \"width\", \"height\",\n"
    "\"fourcc\", \"rate-numerator\", \"rate-denominator\", \"frames-sent\" and\n"
    "\"frames-per-second\" (null where a line shows \"-\"), for an NDI source \"address\".\n"
    "metadata prints an object with \"name\" and \"metadata\"; watch one with \"name\" and\n"
    "its figures, keyed by their labels with hyphens (\"frames-received\", ...).\n"
    "\n"
    "*Exit status*\n"
    "  0  success\n"
    "  1  the source does not exist, is damaged, or the operation failed\n"
    "  2  a mistake on the command line\n"
    "\n"
    "Environment:\n"
    "  NDI_RUNTIME_DIR_V6  folder holding libndi.so.6, tried first\n"
    "  NDI_RUNTIME_DIR_V5  folder holding libndi.so.5, tried next\n"
    "\n"
    "Files:\n"
    "  /dev/shm/skyfill-ndi.*  the stand-in sources, a shared-memory segment each,\n"
    "                          named after the owner's user id and the source name\n"
    "\n"
    "*See also*\n"
    "  skyfill(1), skyfill-remote(1)\n";

int Mistake(const QString& text) {
    return tool_command_line::Mistake(kProgram, text);
}

// Arguments go through the parser as Latin-1, byte for byte, so that a source or file
// name that is not UTF-8 comes back whole.
std::string Bytes(const QString& argument) {
    return argument.toLatin1().toStdString();
}

// An argument quoted in a message.
QString Shown(const QString& argument) {
    return QString::fromStdString(Escaped(Bytes(argument)));
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
    bool json = false;
};

void Print(const QByteArray& out) {
    std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
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
    const bool uyvy = info->fourCC == NDIlib_FourCC_video_type_UYVY;
    std::vector<uint8_t> rgb;
    if (uyvy) {
        rgb.resize(std::size_t{4} * static_cast<std::size_t>(info->xres) *
                   static_cast<std::size_t>(info->yres));
        UyvyToBgrx(frame.data(), info->xres, info->yres, rgb.data());
    }
    if (!SavePng(uyvy ? rgb.data() : frame.data(), info->xres, info->yres, uyvy, file)) {
        std::fprintf(stderr, "skyfill-monitor: cannot write \"%s\"\n", Escaped(file).c_str());
        return 1;
    }
    return 0;
}

std::optional<std::string> MetadataStandIn(const std::string& name, uid_t user) {
    const std::optional<standin::SourceInfo> info = ReadStandInSource(name, user, nullptr);
    return info ? std::optional<std::string>(info->metadata) : std::nullopt;
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

// What the command words and options ask for, or a mistake.
std::optional<QString> CommandMistake(const QStringList& words, const Options& options) {
    struct Command {
        const char* name;
        std::vector<const char*> arguments;
        bool json;
    };
    static const std::array<Command, 4> kCommands = {{{"list", {}, true},
                                                      {"save", {"NAME", "FILE.png"}, false},
                                                      {"metadata", {"NAME"}, true},
                                                      {"watch", {"NAME", "SECONDS"}, true}}};
    if (words.isEmpty()) {
        return QStringLiteral("a command is needed: list, save, metadata or watch");
    }
    const Command* command = nullptr;
    for (const Command& known : kCommands) {
        command = words[0] == QLatin1String(known.name) ? &known : command;
    }
    if (command == nullptr) {
        return QStringLiteral("unknown command '%1'").arg(Shown(words[0]));
    }
    const QString name = QLatin1String(command->name);
    if (static_cast<std::size_t>(words.size() - 1) != command->arguments.size()) {
        QStringList needed;
        for (const char* argument : command->arguments) {
            needed << QLatin1String(argument);
        }
        return QStringLiteral("%1 takes %2")
            .arg(name, needed.isEmpty() ? QStringLiteral("no argument") : needed.join(u' '));
    }
    if (options.allUsers && name != QStringLiteral("list")) {
        return QStringLiteral("--all-users: for list only");
    }
    if (options.json && !command->json) {
        return QStringLiteral("--json: for list, metadata and watch only");
    }
    if (name == QStringLiteral("watch") && !Seconds(Bytes(words[2]))) {
        return QStringLiteral("watch: SECONDS must be above 0 and at most 86400, not '%1'")
            .arg(Shown(words[2]));
    }
    return std::nullopt;
}

int Run(const Options& options) {
    const std::vector<std::string>& w = options.words;
    if (w[0] == "list") {
        const std::vector<ListedStandIn> standIns = ListStandInSources(options.allUsers);
        Print(ListOutput(standIns, NdiAccess(options.extraIps).Sources(), options.json));
        return 0;
    }
    const std::string& name = w[1];
    const bool standIn = StandInSourceExists(name, options.user);
    std::optional<NdiAccess> ndi;
    std::optional<NdiSource> source;
    if (!standIn) {
        source = ndi.emplace(options.extraIps).Find(name);
        if (!source) {
            std::fprintf(stderr, "skyfill-monitor: no live source named \"%s\"\n",
                         Escaped(name).c_str());
            return 1;
        }
    }
    if (w[0] == "save") {
        return standIn ? SaveStandIn(name, options.user, w[2].c_str())
                       : ndi->Save(*source, w[2].c_str());
    }
    if (w[0] == "metadata") {
        const std::optional<std::string> text =
            standIn ? MetadataStandIn(name, options.user) : ndi->Metadata(*source);
        if (text) {
            Print(MetadataOutput(name, *text, options.json));
        }
        return text ? 0 : 1;
    }
    const double seconds = *Seconds(w[2]);
    const std::optional<FrameTiming::Summary> summary =
        standIn ? WatchStandInSource(name, options.user, seconds) : ndi->Watch(*source, seconds);
    if (summary) {
        Print(WatchOutput(name, *summary, options.json));
    }
    return summary ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLatin1(argv[i]);
    }
    QCommandLineParser parser;
    const tool_command_line::StandardOptions standard =
        tool_command_line::AddStandardOptions(parser);
    // Described in kHelp.
    const QCommandLineOption extraIps(QStringLiteral("extra-ips"), QString(),
                                      QStringLiteral("ADDRESSES"));
    const QCommandLineOption user(QStringLiteral("user"), QString(), QStringLiteral("USER"));
    const QCommandLineOption allUsers(QStringLiteral("all-users"), QString());
    const QCommandLineOption json(QStringLiteral("json"), QString());
    for (const QCommandLineOption& option : {extraIps, user, allUsers, json}) {
        parser.addOption(option);
    }
    if (!parser.parse(arguments)) {
        return Mistake(Shown(tool_command_line::ParseMistake(
            parser, arguments, {standard.help, standard.version, extraIps, user, allUsers, json})));
    }
    if (parser.isSet(standard.help)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (parser.isSet(standard.version)) {
        tool_command_line::PrintVersion(kProgram);
        return 0;
    }
    Options options;
    options.extraIps = Bytes(parser.value(extraIps));
    options.allUsers = parser.isSet(allUsers);
    options.json = parser.isSet(json);
    if (parser.isSet(user)) {
        const std::optional<uid_t> id = UserId(Bytes(parser.value(user)).c_str());
        if (!id) {
            return Mistake(QStringLiteral("--user: no user '%1'").arg(Shown(parser.value(user))));
        }
        options.user = *id;
    }
    const QStringList words = parser.positionalArguments();
    if (const std::optional<QString> mistake = CommandMistake(words, options)) {
        return Mistake(*mistake);
    }
    for (const QString& word : words) {
        options.words.push_back(Bytes(word));
    }
    return Run(options);
}
