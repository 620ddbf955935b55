#include "app/command_line.h"

#include "app/runtime_check.h"
#include "presets/preset_block.h"
#include "vocabulary/bus_names.h"
#include "vocabulary/output_formats.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <iterator>

namespace {

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
        QString argument = QString::fromLocal8Bit(argv[i]);
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

// After the options in --help, in sections help2man turns into the man page's own.
QString HelpEnd() {
    return QStringLiteral(
               "\nEnvironment:\n"
               "  NDI_RUNTIME_DIR_V6       folder holding libndi.so.6, tried first\n"
               "  NDI_RUNTIME_DIR_V5       folder holding libndi.so.5, tried next\n"
               "  NDI_CONFIG_DIR           folder of the NDI configuration file that --check\n"
               "                           looks for (else $HOME/.ndi)\n"
               "  DISPLAY, WAYLAND_DISPLAY, QT_QPA_PLATFORM\n"
               "                           with none of them set (or the last offscreen),\n"
               "                           the program runs as with --headless\n"
               "  DBUS_SESSION_BUS_ADDRESS the session bus the copies coordinate on\n"
               "\nSession bus:\n"
               "  Each copy owns the bus name of its number, %1 to\n"
               "  %2; the copies coordinate through interface\n"
               "  %3 at %4.\n"
               "  Per-copy status and control: interface %5 at\n"
               "  %4 on the copy's bus name; see gdbus introspect.\n"
               "\nExit status:\n"
               "  0 ended normally, 1 the NDI runtime cannot run (or --check found none),\n"
               "  2 a mistake on the command line, 3 all eight copy numbers were taken,\n"
               "  4 the settings could not be saved to last.skf at the end.\n")
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

int Mistake(const QString& text) {
    std::fprintf(stderr, "skyfill: %s\n", qPrintable(text));
    return 2;
}

// A preset file given by name must at least be there to read: a service started with a
// wrong path is told so at once rather than running with other presets.
std::optional<QString> UnreadablePresetFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return QStringLiteral("no such file");
    }
    if (!info.isFile()) {
        return QStringLiteral("not a regular file");
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return file.errorString();
    }
    return std::nullopt;
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
    const Choice slot{{QStringLiteral("slot"),
                       QStringLiteral("Select preset slot N (1 to 5) at start, over the slot "
                                      "the preset file selects."),
                       QStringLiteral("N")},
                      SlotValues()};
    const QCommandLineOption start(
        QStringLiteral("start"),
        QStringLiteral("Start sending as soon as the copy has its number."));
    const QCommandLineOption headless(
        QStringLiteral("headless"),
        QStringLiteral("Show no window, even where a display exists; messages go to "
                       "standard error."));
    for (const QCommandLineOption& option :
         {size.option, rate.option, presets, slot.option, start, headless}) {
        parser.addOption(option);
    }
    // Parsed and checked before any application object exists, so a mistake starts
    // nothing and writes nothing.
    const QStringList arguments = ArgumentsOf(argc, argv);
    if (!parser.parse(arguments)) {
        // Only the last argument can lack its value.
        const QString last = arguments.isEmpty() ? QString() : arguments.constLast();
        for (const Choice* choice : {&size, &rate, &slot}) {
            if (last == "--" + choice->option.names().constFirst()) {
                return Mistake(QStringLiteral("%1: a value is needed, one of %2")
                                   .arg(last, Listed(choice->values)));
            }
        }
        if (last == "--" + presets.names().constFirst()) {
            return Mistake(QStringLiteral("--presets: a value is needed, a readable preset file"));
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
    if (!take(size, options.sizeItem) || !take(rate, options.rateItem) ||
        !take(slot, options.presetSlot)) {
        return 2;
    }
    if (parser.isSet(presets)) {
        options.presetFile = parser.value(presets);
        if (const std::optional<QString> why = UnreadablePresetFile(options.presetFile)) {
            return Mistake(QStringLiteral("--presets: '%1' is not a readable preset file (%2)")
                               .arg(options.presetFile, *why));
        }
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
