// skyfill-remote: drives running copies of Skyfill over the session bus. Without
// --copy, start and stop go to every copy at once through the coordination signal, the
// same as
//   dbus-send --session --type=signal /KovaCo/UK/Skyfill uk.KovaCo.Skyfill.Post int32:1 int64:1
// with each copy's status asked before and after, to tell which copies it moved.
// Everything else calls one copy's own interface, uk.KovaCo.Skyfill.Copy on the name
// uk.KovaCo.Skyfill.Copy<n> (vocabulary/bus_names.h).

#include "tools/remote_status.h"
#include "tools/tool_command_line.h"
#include "vocabulary/bus_names.h"
#include "vocabulary/output_formats.h"
#include "vocabulary/settings_vocabulary.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSaveFile>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

namespace {

constexpr const char* kProgram = "skyfill-remote";
constexpr int kUsage = tool_command_line::kMistake;
constexpr int kFailed = 1;
constexpr int kCopies = bus_names::kMaxCopies;
// A copy answers Status from its event loop at once; one that has not by then is stuck,
// and the others are not kept waiting on it.
constexpr int kStatusTimeoutMs = 2000;
// Large enough to see the look by, small enough to send over the bus at once.
constexpr int kSnapshotWidth = 640;
const QString kPath = QString::fromLatin1(bus_names::kPath);

// One line on standard error, whatever the message holds; with kUsage, a second line
// points to --help.
int Fail(int code, const QString& message) {
    if (code == kUsage) {
        return tool_command_line::Mistake(kProgram, message.simplified());
    }
    std::fprintf(stderr, "%s: %s\n", kProgram, message.simplified().toLocal8Bit().constData());
    return code;
}

QString CopyName(int number) {
    return QString::fromStdString(bus_names::CopyName(number));
}

// Asked of the bus directly, without Qt's interface object and the signal
// subscriptions it makes.
bool IsRunning(QDBusConnection& bus, int number) {
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask << CopyName(number);
    const QDBusMessage reply = bus.call(ask);
    return reply.type() == QDBusMessage::ReplyMessage && reply.arguments().value(0).toBool();
}

QList<int> RunningCopies(QDBusConnection& bus) {
    QList<int> running;
    for (int n = 1; n <= kCopies; ++n) {
        if (IsRunning(bus, n)) {
            running << n;
        }
    }
    return running;
}

QDBusMessage CopyCall(int number, const QString& method) {
    return QDBusMessage::createMethodCall(CopyName(number), kPath,
                                          QString::fromLatin1(bus_names::kCopyInterface), method);
}

// Why a call to copy `number` came back with an error.
QString CallFailure(const QDBusMessage& reply, int number) {
    const QString error = reply.errorName();
    // The copy may have ended between finding it and calling it.
    if (error == QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown") ||
        error == QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner")) {
        return QStringLiteral("no copy %1 is running").arg(number);
    }
    if (error == QStringLiteral("org.freedesktop.DBus.Error.NoReply") ||
        error == QStringLiteral("org.freedesktop.DBus.Error.Timeout")) {
        return QStringLiteral("copy %1 did not answer").arg(number);
    }
    return reply.errorMessage();
}

struct Called {
    int code = 0;
    QDBusMessage reply;
};

Called CallCopy(QDBusConnection& bus, int number, const QString& method,
                const QVariantList& arguments = {}) {
    QDBusMessage call = CopyCall(number, method);
    call.setArguments(arguments);
    Called called{0, bus.call(call)};
    if (called.reply.type() == QDBusMessage::ErrorMessage) {
        called.code = Fail(kFailed, CallFailure(called.reply, number));
    }
    return called;
}

// The Status of each of `numbers` that answers, by number. All are asked at once, so
// copies that do not answer cost one timeout between them; each failure is told, and
// sets `code`.
QMap<int, QVariantMap> AskStatus(QDBusConnection& bus, const QList<int>& numbers, int& code) {
    QList<QDBusPendingCall> calls;
    for (int n : numbers) {
        calls << bus.asyncCall(CopyCall(n, QStringLiteral("Status")), kStatusTimeoutMs);
    }
    QMap<int, QVariantMap> statuses;
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        calls[i].waitForFinished();
        const QDBusMessage reply = calls[i].reply();
        const QList<QVariant> answer = reply.arguments();
        if (reply.type() != QDBusMessage::ReplyMessage) {
            code = Fail(kFailed, CallFailure(reply, numbers[i]));
        } else if (answer.size() != 1 || !answer[0].canConvert<QDBusArgument>()) {
            code = Fail(kFailed, QStringLiteral("copy %1 answered with no status").arg(numbers[i]));
        } else {
            statuses[numbers[i]] = qdbus_cast<QVariantMap>(answer[0].value<QDBusArgument>());
        }
    }
    return statuses;
}

// "copy 2" or "copies 1, 3".
QString Copies(const QList<int>& numbers) {
    QStringList shown;
    for (int n : numbers) {
        shown << QString::number(n);
    }
    return (numbers.size() == 1 ? QStringLiteral("copy ") : QStringLiteral("copies ")) +
           shown.join(QStringLiteral(", "));
}

// Start or stop every copy, and say which ones it moved.
int StartOrStopAll(QDBusConnection& bus, bool start) {
    const QList<int> running = RunningCopies(bus);
    if (running.isEmpty()) {
        return Fail(kFailed, QStringLiteral("no copy is running"));
    }
    int code = 0;
    const QMap<int, QVariantMap> before = AskStatus(bus, running, code);
    QDBusMessage post = QDBusMessage::createSignal(
        kPath, QString::fromLatin1(bus_names::kCoordinationInterface), QStringLiteral("Post"));
    post << 1 << static_cast<qlonglong>(start ? 1 : 0);
    if (!bus.send(post)) {
        return Fail(kFailed, QStringLiteral("the signal could not be sent"));
    }
    // A round trip to the bus returns only after the signal ahead of it has gone out.
    const QDBusMessage ping = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
    bus.call(ping, QDBus::Block, 5000);
    // Each copy takes the signal before a call sent after it, so these answers show what
    // it did.
    const QMap<int, QVariantMap> after = AskStatus(bus, before.keys(), code);
    const QString sending = QString::fromLatin1(
        status_key::kSending.data(), static_cast<qsizetype>(status_key::kSending.size()));
    QList<int> moved;
    QList<int> already;
    for (auto copy = after.cbegin(); copy != after.cend(); ++copy) {
        if (copy->value(sending).toBool() != start) {
            code =
                Fail(kFailed, QStringLiteral("copy %1 did not %2")
                                  .arg(copy.key())
                                  .arg(start ? QStringLiteral("start") : QStringLiteral("stop")));
        } else if (before.value(copy.key()).value(sending).toBool() == start) {
            already << copy.key();
        } else {
            moved << copy.key();
        }
    }
    if (!moved.isEmpty()) {
        std::printf("%s %s\n", qPrintable(Copies(moved)), start ? "started" : "stopped");
    }
    if (!already.isEmpty()) {
        std::printf("%s %s %s\n", qPrintable(Copies(already)), already.size() == 1 ? "was" : "were",
                    start ? "already sending" : "not sending");
    }
    return code;
}

// The copy --copy names, or the only one running; nullopt after saying why not.
std::optional<int> TargetCopy(QDBusConnection& bus, const std::optional<int>& chosen, int& code) {
    if (chosen) {
        if (!IsRunning(bus, *chosen)) {
            code = Fail(kFailed, QStringLiteral("no copy %1 is running").arg(*chosen));
            return std::nullopt;
        }
        return chosen;
    }
    const QList<int> running = RunningCopies(bus);
    if (running.isEmpty()) {
        code = Fail(kFailed, QStringLiteral("no copy is running"));
        return std::nullopt;
    }
    if (running.size() > 1) {
        code = Fail(
            kUsage,
            QStringLiteral("%1 copies are running; choose one with --copy").arg(running.size()));
        return std::nullopt;
    }
    return running.front();
}

int Status(QDBusConnection& bus, const std::optional<int>& chosen, bool json) {
    const QList<int> numbers = chosen ? QList<int>{*chosen} : RunningCopies(bus);
    int code = 0;
    const QList<QVariantMap> copies = AskStatus(bus, numbers, code).values();
    const QByteArray out = json                ? StatusJson(copies)
                           : numbers.isEmpty() ? QByteArray("No copy is running.\n")
                           : copies.isEmpty()  ? QByteArray()
                                               : StatusTable(copies);
    std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
    return code;
}

struct Request {
    QString command;
    QStringList arguments;
    std::optional<int> copy;
    bool json = false;
    std::optional<int> width;
};

// Why `path` cannot take the snapshot, before the copy is asked for it; empty when it can.
QString UnwritableFile(const QString& path) {
    const QFileInfo file(path);
    if (file.isDir()) {
        return QStringLiteral("%1: a folder, not a file").arg(path);
    }
    if (file.exists() && !file.isFile()) {
        return QStringLiteral("%1: not a regular file").arg(path);
    }
    if (!file.dir().exists()) {
        return QStringLiteral("%1: no such folder").arg(file.path());
    }
    return {};
}

// The JPEG in copy `number`'s answer. `file` is written beside its path and renamed over
// it only once whole, so a reader never sees half a picture; dropped uncommitted, it
// leaves nothing behind.
int WriteSnapshot(const QDBusMessage& reply, int number, QSaveFile& file) {
    const QList<QVariant> answer = reply.arguments();
    const QByteArray jpeg = answer.size() == 3 ? answer[2].toByteArray() : QByteArray();
    if (jpeg.isEmpty()) {
        return Fail(kFailed, QStringLiteral("copy %1 answered with no picture").arg(number));
    }
    if (file.write(jpeg) != jpeg.size() || !file.commit()) {
        return Fail(kFailed, QStringLiteral("%1: %2").arg(file.fileName(), file.errorString()));
    }
    return 0;
}

// The call one copy gets for a command other than status; `code` set on wrong usage.
bool MethodFor(const Request& request, QString& method, QVariantList& arguments, int& code) {
    const QString& command = request.command;
    const int wanted = command == QStringLiteral("load") || command == QStringLiteral("slot") ||
                               command == QStringLiteral("snapshot")
                           ? 1
                       : command == QStringLiteral("output") ? 2
                                                             : 0;
    if (request.arguments.size() != wanted) {
        code = Fail(kUsage, QStringLiteral("%1 takes %2 argument%3")
                                .arg(command)
                                .arg(wanted)
                                .arg(wanted == 1 ? QString() : QStringLiteral("s")));
        return false;
    }
    if (command == QStringLiteral("start") || command == QStringLiteral("stop")) {
        method =
            command == QStringLiteral("start") ? QStringLiteral("Start") : QStringLiteral("Stop");
    } else if (command == QStringLiteral("slot")) {
        bool ok = false;
        const int slot = request.arguments[0].toInt(&ok);
        if (!ok) {
            code = Fail(kUsage,
                        QStringLiteral("slot takes a number, not '%1'").arg(request.arguments[0]));
            return false;
        }
        method = QStringLiteral("SelectSlot");
        arguments = {slot};
    } else if (command == QStringLiteral("load")) {
        // The copy may run in another folder.
        method = QStringLiteral("LoadPresets");
        arguments = {QFileInfo(request.arguments[0]).absoluteFilePath()};
    } else if (command == QStringLiteral("snapshot")) {
        method = QStringLiteral("Snapshot");
        arguments = {request.width.value_or(kSnapshotWidth)};
    } else {
        static const QRegularExpression size(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$"));
        const QRegularExpressionMatch match = size.match(request.arguments[0]);
        if (!match.hasMatch()) {
            code = Fail(kUsage, QStringLiteral("output takes a size such as 1280x720, not '%1'")
                                    .arg(request.arguments[0]));
            return false;
        }
        method = QStringLiteral("SetOutput");
        arguments = {match.captured(1).toInt(), match.captured(2).toInt(), request.arguments[1]};
    }
    return true;
}

int Run(const Request& request) {
    const QStringList commands = {QStringLiteral("status"),  QStringLiteral("start"),
                                  QStringLiteral("stop"),    QStringLiteral("slot"),
                                  QStringLiteral("load"),    QStringLiteral("output"),
                                  QStringLiteral("snapshot")};
    if (!commands.contains(request.command)) {
        return Fail(kUsage, QStringLiteral("unknown command '%1'").arg(request.command));
    }
    if (request.json && request.command != QStringLiteral("status")) {
        return Fail(kUsage, QStringLiteral("--json is for status only"));
    }
    if (request.width && request.command != QStringLiteral("snapshot")) {
        return Fail(kUsage, QStringLiteral("--width is for snapshot only"));
    }
    QString method;
    QVariantList arguments;
    int code = 0;
    if (request.command != QStringLiteral("status") &&
        !MethodFor(request, method, arguments, code)) {
        return code;
    }
    if (request.command == QStringLiteral("status") && !request.arguments.isEmpty()) {
        return Fail(kUsage, QStringLiteral("status takes no argument"));
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return Fail(kFailed, QStringLiteral("no session bus: %1").arg(bus.lastError().message()));
    }
    if (request.command == QStringLiteral("status")) {
        if (request.copy && !IsRunning(bus, *request.copy)) {
            return Fail(kFailed, QStringLiteral("no copy %1 is running").arg(*request.copy));
        }
        return Status(bus, request.copy, request.json);
    }
    const bool everyCopy =
        request.command == QStringLiteral("start") || request.command == QStringLiteral("stop");
    if (everyCopy && !request.copy) {
        return StartOrStopAll(bus, request.command == QStringLiteral("start"));
    }
    // A file that cannot be written is told before the copy is asked for the picture.
    std::unique_ptr<QSaveFile> snapshot;
    if (request.command == QStringLiteral("snapshot")) {
        const QString& path = request.arguments[0];
        QString why = UnwritableFile(path);
        if (why.isEmpty()) {
            snapshot = std::make_unique<QSaveFile>(path);
            if (!snapshot->open(QIODevice::WriteOnly)) {
                why = QStringLiteral("%1: %2").arg(path, snapshot->errorString());
            }
        }
        if (!why.isEmpty()) {
            return Fail(kFailed, why);
        }
    }
    const std::optional<int> target = TargetCopy(bus, request.copy, code);
    if (!target) {
        return code;
    }
    const Called called = CallCopy(bus, *target, method, arguments);
    if (snapshot) {
        return called.code != 0 ? called.code : WriteSnapshot(called.reply, *target, *snapshot);
    }
    // A load that took place but left something out (such as a damaged mask section).
    if (called.code == 0 && !called.reply.arguments().isEmpty()) {
        for (const QString& warning : called.reply.arguments().constFirst().toStringList()) {
            std::fprintf(stderr, "%s: copy %d: %s\n", kProgram, *target,
                         warning.toLocal8Bit().constData());
        }
    }
    return called.code;
}

// After Qt's own help text, in sections help2man makes into the man page's own.
constexpr const char* kHelpEnd =
    "\n"
    "*Exit status*\n"
    "  0  done\n"
    "  1  refused or failed (the reason is printed), no copy running, or a copy that\n"
    "     did not answer within two seconds\n"
    "  2  a mistake on the command line\n"
    "\n"
    "Environment:\n"
    "  DBUS_SESSION_BUS_ADDRESS  the session bus the copies are found on\n"
    "\n"
    "*See also*\n"
    "  skyfill(1), skyfill-monitor(1), gdbus(1)\n";

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(kProgram));
    QCoreApplication::setApplicationVersion(QStringLiteral(SKYFILL_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Drives running copies of Skyfill over the session bus.\n"
            "\n"
            "Commands:\n"
            "  status             every running copy's state, or copy N's with --copy N\n"
            "  start, stop        start or stop sending in every copy, saying which copies\n"
            "                     started or stopped, or in copy N alone\n"
            "  slot SLOT          make preset slot SLOT (1 to 5) the active one\n"
            "  load FILE          load a preset file (.skf)\n"
            "  output WxH RATE    set the output size (%1)\n"
            "                     and rate (%2); refused while the copy is sending\n"
            "  snapshot FILE      write the output picture to FILE as a JPEG, at most\n"
            "                     --width pixels wide\n"
            "\n"
            "slot, load, output and snapshot need --copy N unless exactly one copy runs.\n"
            "A copy that does not answer its status within two seconds is named on\n"
            "standard error, and the others are shown.")
            .arg(QString::fromStdString(TakenSizeList()), QString::fromStdString(RateList())));
    const tool_command_line::StandardOptions standard =
        tool_command_line::AddStandardOptions(parser);
    const QCommandLineOption copyOption(
        QStringList{QStringLiteral("c"), QStringLiteral("copy")},
        QStringLiteral("Only the copy numbered N (1 to %1).").arg(kCopies), QStringLiteral("N"));
    const QCommandLineOption jsonOption(
        QStringLiteral("json"), QStringLiteral("Status as a JSON array, one object a copy."));
    const QCommandLineOption widthOption(
        QStringList{QStringLiteral("w"), QStringLiteral("width")},
        QStringLiteral("The snapshot's largest width in pixels (16 to 4096; %1 unless given).")
            .arg(kSnapshotWidth),
        QStringLiteral("W"));
    parser.addOption(copyOption);
    parser.addOption(jsonOption);
    parser.addOption(widthOption);
    parser.addPositionalArgument(
        QStringLiteral("command"),
        QStringLiteral("status, start, stop, slot, load, output or snapshot."),
        QStringLiteral("command [arguments]"));
    const QStringList arguments = QCoreApplication::arguments();
    if (!parser.parse(arguments)) {
        return Fail(kUsage, tool_command_line::ParseMistake(parser, arguments,
                                                            {standard.help, standard.version,
                                                             copyOption, jsonOption, widthOption}));
    }
    if (parser.isSet(standard.help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        std::fputs(kHelpEnd, stdout);
        return 0;
    }
    if (parser.isSet(standard.version)) {
        tool_command_line::PrintVersion(kProgram);
        return 0;
    }
    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        return Fail(kUsage, QStringLiteral("a command is needed: status, start, stop, slot, load, "
                                           "output or snapshot"));
    }
    Request request;
    request.command = positional.takeFirst();
    request.arguments = positional;
    request.json = parser.isSet(jsonOption);
    if (parser.isSet(copyOption)) {
        bool ok = false;
        const int copy = parser.value(copyOption).toInt(&ok);
        if (!ok || copy < 1 || copy > kCopies) {
            return Fail(kUsage, QStringLiteral("--copy: '%1' is not a number from 1 to %2")
                                    .arg(parser.value(copyOption))
                                    .arg(kCopies));
        }
        request.copy = copy;
    }
    if (parser.isSet(widthOption)) {
        bool ok = false;
        request.width = parser.value(widthOption).toInt(&ok);
        if (!ok) {
            return Fail(
                kUsage,
                QStringLiteral("--width: '%1' is not a number").arg(parser.value(widthOption)));
        }
    }
    const int code = Run(request);
    // No static destruction: Qt's bus thread may still be reading the bus's own notices
    // while the type registry they need is torn down, which warns on standard error.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}
