#include "app/command_line.h"

#include "app/runtime_check.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

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

} // namespace

std::optional<int> RunCommandLine(int& argc, char** argv) {
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
    // Parsed before any application object exists, so a mistake starts nothing.
    if (!parser.parse(ArgumentsOf(argc, argv))) {
        std::fprintf(stderr, "skyfill: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "skyfill: unexpected argument '%s'\n",
                     qPrintable(parser.positionalArguments().constFirst()));
        return 2;
    }
    if (parser.isSet(help)) {
        // The usage line names the program from the application's arguments.
        const QCoreApplication app(argc, argv);
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("skyfill %s\n", SKYFILL_VERSION);
        return 0;
    }
    if (parser.isSet(check)) {
        // The system bus wants an application object; a window does not come into it.
        const QCoreApplication app(argc, argv);
        return RunRuntimeCheck();
    }
    return std::nullopt;
}
