#include "app/command_line.h"

#include "app/runtime_check.h"
#include "presets/preset_block.h"
#include "presets/preset_file.h"
#include "vocabulary/bus_names.h"
#include "vocabulary/output_formats.h"
#include "vocabulary/settings_vocabulary.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// File names are bytes, and not always UTF-8. An argument that is not UTF-8 is taken
// byte by byte, each byte above ASCII as a lone low surrogate (U+DC80 to U+DCFF), which
// no UTF-8 decodes to, so ArgumentBytes gives the name back whole.
QString ArgumentText(const char* argument) {
    const QByteArray bytes(argument);
    QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() == bytes) {
        return text;
    }
    text.clear();
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        text += QChar(value < 0x80 ? char16_t{value} : static_cast<char16_t>(0xDC00 + value));
    }
    return text;
}

QByteArray ArgumentBytes(const QString& text) {
    QByteArray bytes;
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit >= 0xDC80 && unit <= 0xDCFF && (i == 0 || !text[i - 1].isHighSurrogate())) {
            bytes += QStringView(text).mid(from, i - from).toUtf8();
            bytes += static_cast<char>(unit - 0xDC00);
            from = i + 1;
        }
    }
    return bytes + QStringView(text).mid(from).toUtf8();
}

// Qt's own options (-platform offscreen, -style, ...) are the application object's to
// take; they are left out here so that they still work.
QStringList ArgumentsOf(int argc, char** argv) {
    static const QStringList kQtWithValue = {"-platform",
                                             "-platformpluginpath",
                                             "-platformtheme",
                                             "-plugin",
                                             "-display",
                                             "-geometry",
                                             "-qwindowgeometry",
                                             "-title",
                                             "-qwindowtitle",
                                             "-icon",
                                             "-qwindowicon",
                                             "-style",
                                             "-stylesheet",
                                             "-session",
                                             "-name",
                                             "-qmljsdebugger"};
    static const QStringList kQtAlone = {"-reverse", "-nograb", "-dograb", "-sync", "-widgetcount"};
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        QString argument = ArgumentText(argv[i]);
        if (i > 0 && kQtWithValue.contains(argument.section('=', 0, 0))) {
            i += argument.contains('=') ? 0 : 1;
            continue;
        }
        if (i > 0 && kQtAlone.contains(argument)) {
            continue;
        }
        arguments << argument;
    }
    return arguments;
}

// After the options in --help, in sections help2man turns into the man page's own: each
// "*Heading*", and "Environment:" and "Files:" (other "Heading:" lines make subsections).
QString HelpEnd() {
    return QStringLiteral(
               "\nEnvironment:\n"
               "  NDI_RUNTIME_DIR_V6       folder holding libndi.so.6, tried first\n"
               "  NDI_RUNTIME_DIR_V5       folder holding libndi.so.5, tried next\n"
               "  NDI_CONFIG_DIR           folder of the NDI configuration file that --check\n"
               "                           looks for (else $HOME/.ndi)\n"
               "  DISPLAY                  the X display for the window\n"
               "  WAYLAND_DISPLAY          the Wayland display for the window\n"
               "  QT_QPA_PLATFORM          Qt's platform plugin; when it is offscreen, or when\n"
               "                           none of these three is set, the program runs as\n"
               "                           with --headless\n"
               "  DBUS_SESSION_BUS_ADDRESS the session bus the copies coordinate on\n"
               "  XDG_CONFIG_HOME          the preset folder's place (see Files)\n"
               "  HOME                     the same when XDG_CONFIG_HOME is unset or relative\n"
               "  JOURNAL_STREAM           set by systemd when standard error is the journal\n"
               "  NOTIFY_SOCKET            set by systemd for readiness and the watchdog\n"
               "\nFiles:\n"
               "  $XDG_CONFIG_HOME/skyfill/default.skf\n"
               "                           the presets loaded at start, unless --presets\n"
               "                           names others\n"
               "  $XDG_CONFIG_HOME/skyfill/last.skf\n"
               "                           the settings saved at the end, which Load Last\n"
               "                           brings back\n"
               "  The preset folder is $HOME/.config/skyfill when XDG_CONFIG_HOME is unset\n"
               "  or relative, and DIR with --presets-dir DIR. The default folder is made,\n"
               "  mode 0700, when a file is first saved there.\n"
               "\n*Log*\n"
               "  One line per event on standard error: the runtime in use, the copy number,\n"
               "  sending started and stopped, format changes, preset files loaded and\n"
               "  saved, messages, and the exit with its reason. Each line reads\n"
               "  \"skyfill: LEVEL: text\"; when standard error is the journal\n"
               "  (JOURNAL_STREAM names it), it carries the journal's <N> priority instead,\n"
               "  so journalctl -p filters it.\n"
               "\n*Session bus*\n"
               "  Each copy owns the bus name of its number, %1 to\n"
               "  %2; the copies coordinate through interface\n"
               "  %3 at %4.\n"
               "  Per-copy status and control: interface %5 at\n"
               "  %4 on the copy's bus name; see gdbus introspect.\n"
               "\n*Exit status*\n"
               "  0  ended normally\n"
               "  1  the NDI runtime cannot run (or --check found none)\n"
               "  2  a mistake on the command line, or no platform to show the window on\n"
               "  3  all eight copy numbers were taken\n"
               "  4  the settings could not be saved to last.skf at the end\n"
               "\n*See also*\n"
               "  skyfill-monitor(1), skyfill-remote(1), gdbus(1)\n")
        .arg(QString::fromStdString(bus_names::CopyName(1)),
             QString::fromStdString(bus_names::CopyName(bus_names::kMaxCopies)),
             QString::fromLatin1(bus_names::kCoordinationInterface),
             QString::fromLatin1(bus_names::kPath), QString::fromLatin1(bus_names::kCopyInterface));
}

// The menus' own values, so the command line takes exactly what a user can choose.
QStringList SizeValues() {
    QStringList values;
    for (const OutputSize& size : kOutputSizes) {
        values << (size.taken ? QString::fromLatin1(size.name.data(),
                                                    static_cast<qsizetype>(size.name.size()))
                              : QString());
    }
    return values;
}

QStringList RateValues() {
    QStringList values;
    for (const FrameRate& rate : kFrameRates) {
        values << QString::fromLatin1(rate.name.data(), static_cast<qsizetype>(rate.name.size()));
    }
    return values;
}

QStringList SlotValues() {
    QStringList values;
    for (int slot = 1; slot <= kPresetSlotCount; ++slot) {
        values << QString::number(slot);
    }
    return values;
}

// Empty entries keep menu indices for items offered but not taken.
QString Listed(QStringList values) {
    values.removeAll(QString());
    return values.join(QStringLiteral(", "));
}

// A value option taking one of a fixed list, by its index in that list.
struct Choice {
    QCommandLineOption option;
    QStringList values;
};

// The manner skyfill-monitor and skyfill-remote share.
int Mistake(const QString& text) {
    std::fprintf(stderr, "skyfill: %s\nTry 'skyfill --help'.\n", ArgumentBytes(text).constData());
    return 2;
}

// Qt gives an unknown option's name without its dashes; the user is shown what they typed.
QString UnknownOption(const QStringList& arguments, const QString& name) {
    QString longForm = QStringLiteral("--") + name;
    for (const QString& argument : arguments) {
        if (argument == longForm || argument.startsWith(longForm + u'=')) {
            return longForm;
        }
    }
    return QStringLiteral("-") + name;
}

// A preset file given by name must be one: a service started with a wrong path or a
// wrong file is told so at once rather than running with other presets.
std::optional<QString> UnloadablePresetFile(const QByteArray& path) {
    struct stat info {};
    if (::stat(path.constData(), &info) != 0) {
        return errno == ENOENT ? QStringLiteral("no such file")
                               : QString::fromLocal8Bit(std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        return QStringLiteral("not a regular file");
    }
    const PresetLoadResult read = ReadPresetFile(path.toStdString());
    if (read.outcome == PresetLoadResult::Outcome::Loaded) {
        return std::nullopt;
    }
    if (read.message != PresetMessage::None) {
        return QString::fromUtf8(PresetMessageText(read.message)).simplified();
    }
    // Not opened: the system's own reason.
    const int file = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file < 0) {
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    ::close(file);
    return QStringLiteral("cannot be read");
}

std::optional<QString> NoPresetFolder(const QByteArray& path) {
    struct stat info {};
    if (::stat(path.constData(), &info) != 0) {
        return errno == ENOENT ? QStringLiteral("no such folder")
                               : QString::fromLocal8Bit(std::strerror(errno));
    }
    if (!S_ISDIR(info.st_mode)) {
        return QStringLiteral("not a folder");
    }
    return std::nullopt;
}

// Made absolute now, so that messages name the file wherever they are read.
QByteArray Absolute(const QByteArray& path) {
    if (path.startsWith('/')) {
        return path;
    }
    char here[PATH_MAX];
    return ::getcwd(here, sizeof here) != nullptr ? QByteArray(here) + '/' + path : path;
}

} // namespace

std::optional<int> RunCommandLine(int& argc, char** argv, CommandLineChoices& choices) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Publishes a live gradient background as an NDI video source.\n"
        "The NDI runtime is looked for as libndi.so.6 in the folder named by\n"
        "NDI_RUNTIME_DIR_V6, libndi.so.5 in the folder named by NDI_RUNTIME_DIR_V5, then\n"
        "by those names through the dynamic linker. Without one, a built-in stand-in\n"
        "publishes in shared memory instead (read it with skyfill-monitor)."));
    // Not addHelpOption(): its --help-all offers Qt's own options, which are not taken.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays help on command-line options."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption check(
        QStringLiteral("check"),
        QStringLiteral("Show where the NDI runtime is looked for and what is found there, "
                       "then exit: 0 when a vendor runtime loads, 1 otherwise."));
    parser.addOption(check);
    const Choice size{
        {QStringLiteral("size"),
         QStringLiteral("Output size, one of %1 (default 1280x720).").arg(Listed(SizeValues())),
         QStringLiteral("WxH")},
        SizeValues()};
    const Choice rate{
        {QStringLiteral("rate"),
         QStringLiteral("Frame rate, one of %1 (default 25).").arg(Listed(RateValues())),
         QStringLiteral("FPS")},
        RateValues()};
    const QCommandLineOption presets(
        QStringLiteral("presets"),
        QStringLiteral("Load the presets from FILE at start instead of default.skf."),
        QStringLiteral("FILE"));
    const QCommandLineOption presetsDir(
        QStringLiteral("presets-dir"),
        QStringLiteral("Keep default.skf and last.skf in DIR, an existing folder, instead of "
                       "$XDG_CONFIG_HOME/skyfill."),
        QStringLiteral("DIR"));
    const Choice slot{{QStringLiteral("slot"),
                       QStringLiteral("Select preset slot N (1 to 5) at start, over the slot "
                                      "the preset file selects."),
                       QStringLiteral("N")},
                      SlotValues()};
    const Choice pixelFormat{
        {QStringLiteral("pixel-format"),
         QStringLiteral("Pixels sent while the mask is not in use: bgrx (the default) or uyvy "
                        "(4:2:2, cheaper for the NDI runtime). Not kept in preset files."),
         QStringLiteral("FORMAT")},
        {QStringLiteral("bgrx"), QStringLiteral("uyvy")}};
    const QCommandLineOption start(
        QStringLiteral("start"),
        QStringLiteral("Start sending as soon as the copy has its number."));
    const QCommandLineOption headless(
        QStringLiteral("headless"),
        QStringLiteral("Show no window, even where a display exists; messages go to "
                       "standard error."));
    const QCommandLineOption quiet(QStringLiteral("quiet"),
                                   QStringLiteral("Log errors only on standard error."));
    const QCommandLineOption verbose(
        QStringLiteral("verbose"),
        QStringLiteral("Log every command other programs send as well."));
    for (const QCommandLineOption& option :
         {size.option, rate.option, pixelFormat.option, presets, presetsDir, slot.option, start,
          headless, quiet, verbose}) {
        parser.addOption(option);
    }
    // Parsed and checked before any application object exists, so a mistake starts
    // nothing and writes nothing.
    const QStringList arguments = ArgumentsOf(argc, argv);
    if (!parser.parse(arguments)) {
        // Only the last argument can lack its value.
        const QString last = arguments.isEmpty() ? QString() : arguments.constLast();
        for (const Choice* choice : {&size, &rate, &slot, &pixelFormat}) {
            if (last == "--" + choice->option.names().constFirst()) {
                return Mistake(QStringLiteral("%1: a value is needed, one of %2")
                                   .arg(last, Listed(choice->values)));
            }
        }
        if (last == "--" + presets.names().constFirst()) {
            return Mistake(QStringLiteral("--presets: a value is needed, a readable preset file"));
        }
        if (last == "--" + presetsDir.names().constFirst()) {
            return Mistake(QStringLiteral("--presets-dir: a value is needed, an existing folder"));
        }
        if (!parser.unknownOptionNames().isEmpty()) {
            return Mistake(
                QStringLiteral("unknown option '%1'")
                    .arg(UnknownOption(arguments, parser.unknownOptionNames().constFirst())));
        }
        return Mistake(parser.errorText());
    }
    if (!parser.positionalArguments().isEmpty()) {
        return Mistake(QStringLiteral("unexpected argument '%1'")
                           .arg(parser.positionalArguments().constFirst()));
    }
    if (parser.isSet(help)) {
        // The usage line names the program from the application's arguments.
        const QCoreApplication app(argc, argv);
        std::fputs(qPrintable(parser.helpText()), stdout);
        std::fputs(qPrintable(HelpEnd()), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("skyfill %s\n"
                    "Copyright (C) 2026 the Skyfill developers\n"
                    "License: MIT\n",
                    SKYFILL_VERSION);
        return 0;
    }
    // False, once the user has been told, for a value that is not offered.
    const auto take = [&parser](const Choice& choice, int& item) {
        if (!parser.isSet(choice.option)) {
            return true;
        }
        const QString value = parser.value(choice.option);
        item = value.isEmpty() ? -1 : static_cast<int>(choice.values.indexOf(value));
        if (item < 0) {
            Mistake(QStringLiteral("--%1: '%2' is not one of %3")
                        .arg(choice.option.names().constFirst(), value, Listed(choice.values)));
        }
        return item >= 0;
    };
    StartOptions& options = choices.start;
    int pixelItem = 0;
    if (!take(size, options.sizeItem) || !take(rate, options.rateItem) ||
        !take(slot, options.presetSlot) || !take(pixelFormat, pixelItem)) {
        return 2;
    }
    options.uyvy = pixelItem == kUyvyPixelFormat;
    if (parser.isSet(presets)) {
        const QString value = parser.value(presets);
        options.presetFile = ArgumentBytes(value);
        if (const std::optional<QString> why = UnloadablePresetFile(options.presetFile)) {
            return Mistake(QStringLiteral("--presets: '%1' is not a readable preset file (%2)")
                               .arg(value, *why));
        }
    }
    if (parser.isSet(presetsDir)) {
        const QString value = parser.value(presetsDir);
        const QByteArray folder = ArgumentBytes(value);
        if (const std::optional<QString> why = NoPresetFolder(folder)) {
            return Mistake(
                QStringLiteral("--presets-dir: '%1' is not a folder for the presets (%2)")
                    .arg(value, *why));
        }
        options.presetFolder = Absolute(folder);
    }
    if (parser.isSet(quiet) && parser.isSet(verbose)) {
        return Mistake(QStringLiteral("--quiet and --verbose: choose one"));
    }
    if (parser.isSet(quiet)) {
        choices.logDetail = LogDetail::Quiet;
    } else if (parser.isSet(verbose)) {
        choices.logDetail = LogDetail::Verbose;
    }
    options.startSending = parser.isSet(start);
    choices.headless = parser.isSet(headless);
    if (parser.isSet(check)) {
        // The system bus wants an application object; a window does not come into it.
        const QCoreApplication app(argc, argv);
        return RunRuntimeCheck();
    }
    return std::nullopt;
}
