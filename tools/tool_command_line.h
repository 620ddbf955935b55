#pragma once

// The command-line manners skyfill-monitor and skyfill-remote share with skyfill: -h and
// --help, --version, and a mistake told in a line naming its cause, then a pointer to
// --help, with exit status 2.

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

namespace tool_command_line {

inline constexpr int kMistake = 2;

struct StandardOptions {
    QCommandLineOption help;
    QCommandLineOption version;
};

// Not addHelpOption(): its --help-all would offer Qt's own options, which no tool takes.
StandardOptions AddStandardOptions(QCommandLineParser& parser);

// Why parse() failed, naming the option as it was written in `arguments`; `options` are
// the ones added to the parser.
QString ParseMistake(const QCommandLineParser& parser, const QStringList& arguments,
                     const QList<QCommandLineOption>& options);

// "PROGRAM: text", then "Try 'PROGRAM --help'."; kMistake.
int Mistake(const char* program, const QString& text);

// The version text help2man puts at the man page's head and foot.
void PrintVersion(const char* program);

} // namespace tool_command_line
