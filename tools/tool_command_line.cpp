#include "tools/tool_command_line.h"

#include <cstdio>

namespace tool_command_line {

namespace {

// Qt reports option names without their dashes; the user is shown what they typed.
QString Written(const QStringList& arguments, const QString& name) {
    QString longForm = QStringLiteral("--") + name;
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QStringLiteral("--")) {
            break;
        }
        if (argument == longForm || argument.startsWith(longForm + u'=')) {
            return longForm;
        }
    }
    return QStringLiteral("-") + name;
}

bool GivenWithValue(const QStringList& arguments, const QString& written) {
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QStringLiteral("--")) {
            break;
        }
        if (argument.startsWith(written + u'=')) {
            return true;
        }
    }
    return false;
}

} // namespace

StandardOptions AddStandardOptions(QCommandLineParser& parser) {
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays help on command-line options."));
    parser.addOption(help);
    return {help, parser.addVersionOption()};
}

QString ParseMistake(const QCommandLineParser& parser, const QStringList& arguments,
                     const QList<QCommandLineOption>& options) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        return QStringLiteral("unknown option '%1'").arg(Written(arguments, unknown.constFirst()));
    }
    // Only the last argument can lack its value.
    const QString last = arguments.size() > 1 ? arguments.constLast() : QString();
    for (const QCommandLineOption& option : options) {
        for (const QString& name : option.names()) {
            const QString written = Written(arguments, name);
            if (!option.valueName().isEmpty() && last == written) {
                return QStringLiteral("%1: a value is needed").arg(written);
            }
            if (option.valueName().isEmpty() && GivenWithValue(arguments, written)) {
                return QStringLiteral("%1: takes no value").arg(written);
            }
        }
    }
    return parser.errorText();
}

int Mistake(const char* program, const QString& text) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program, text.toLocal8Bit().constData(),
                 program);
    return kMistake;
}

void PrintVersion(const char* program) {
    std::printf("%s %s\n"
                "Copyright (C) 2026 the Skyfill developers\n"
                "License: MIT\n",
                program, SKYFILL_VERSION);
}

} // namespace tool_command_line
