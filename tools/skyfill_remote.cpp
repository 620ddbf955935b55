// skyfill-remote: drives running copies of Skyfill over the session bus. Without
// --copy, start and stop go to every copy at once through the coordination signal, the
// same as
//   dbus-send --session --type=signal /KovaCo/UK/Skyfill uk.KovaCo.Skyfill.Post int32:1 int64:1
// Everything else calls one copy's own interface, uk.KovaCo.Skyfill.Copy on the name
// uk.KovaCo.Skyfill.Copy<n> (vocabulary/bus_names.h).

#include "tools/remote_status.h"
#include "vocabulary/bus_names.h"
#include "vocabulary/output_formats.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QRegularExpression>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

constexpr int kUsage = 2;
constexpr int kFailed = 1;
constexpr int kCopies = bus_names::kMaxCopies;
const QString kPath = QString::fromLatin1(bus_names::kPath);

// One line on standard error, whatever the message holds.
int Fail(int code, const QString& message) {
    std::fprintf(stderr, "skyfill-remote: %s\n", message.simplified().toLocal8Bit().constData());
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

int Broadcast(QDBusConnection& bus, bool start) {
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
    return 0;
}

struct Called {
    int code = 0;
    QDBusMessage reply;
};

Called CallCopy(QDBusConnection& bus, int number, const QString& method,
                const QVariantList& arguments = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        CopyName(number), kPath, QString::fromLatin1(bus_names::kCopyInterface), method);
    call.setArguments(arguments);
    Called called{0, bus.call(call)};
    if (called.reply.type() != QDBusMessage::ErrorMessage) {
        return called;
    }
    // The copy may have ended between finding it and calling it.
    const QString error = called.reply.errorName();
    if (error == QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown") ||
        error == QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner")) {
        called.code = Fail(kFailed, QStringLiteral("no copy %1 is running").arg(number));
    } else {
        called.code = Fail(kFailed, called.reply.errorMessage());
    }
    return called;
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
    QList<int> numbers;
    if (chosen) {
        numbers << *chosen;
    } else {
        numbers = RunningCopies(bus);
    }
    QList<QVariantMap> copies;
    for (int n : numbers) {
        const Called called = CallCopy(bus, n, QStringLiteral("Status"));
        if (called.code != 0) {
            return called.code;
        }
        const QList<QVariant> answer = called.reply.arguments();
        if (answer.size() != 1 || !answer[0].canConvert<QDBusArgument>()) {
            return Fail(kFailed, QStringLiteral("copy %1 answered with no status").arg(n));
        }
        copies << qdbus_cast<QVariantMap>(answer[0].value<QDBusArgument>());
    }
    const QByteArray out = json               ? StatusJson(copies)
                           : copies.isEmpty() ? QByteArray("No copy is running.\n")
                                              : StatusTable(copies);
    std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
    return 0;
}

struct Request {
    QString command;
    QStringList arguments;
    std::optional<int> copy;
    bool json = false;
};

// The call one copy gets for a command other than status; `code` set on wrong usage.
bool MethodFor(const Request& request, QString& method, QVariantList& arguments, int& code) {
    const QString& command = request.command;
    const int wanted = command == QStringLiteral("load") || command == QStringLiteral("slot") ? 1
                       : command == QStringLiteral("output")                                  ? 2
                                                                                              : 0;
    if (request.arguments.size() != wanted) {
        code = Fail(kUsage,
                    QStringLiteral("%1 takes %2 argument(s); see --help").arg(command).arg(wanted));
        return false;
    }
    if (command == QStringLiteral("start") || command == QStringLiteral("stop")) {
        method =
            command == QStringLiteral("start") ? QStringLiteral("Start") : QStringLiteral("Stop");
    } else if (command == QStringLiteral("slot")) {
        bool ok = false;
        const int slot = request.arguments[0].toInt(&ok);
        if (!ok) {
            code =
                Fail(kUsage,
                     QStringLiteral("slot takes a number, not \"%1\"").arg(request.arguments[0]));
            return false;
        }
        method = QStringLiteral("SelectSlot");
        arguments = {slot};
    } else if (command == QStringLiteral("load")) {
        // The copy may run in another folder.
        method = QStringLiteral("LoadPresets");
        arguments = {QFileInfo(request.arguments[0]).absoluteFilePath()};
    } else {
        static const QRegularExpression size(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$"));
        const QRegularExpressionMatch match = size.match(request.arguments[0]);
        if (!match.hasMatch()) {
            code = Fail(kUsage, QStringLiteral("output takes a size such as 1280x720, not \"%1\"")
                                    .arg(request.arguments[0]));
            return false;
        }
        method = QStringLiteral("SetOutput");
        arguments = {match.captured(1).toInt(), match.captured(2).toInt(), request.arguments[1]};
    }
    return true;
}

int Run(const Request& request) {
    const QStringList commands = {QStringLiteral("status"), QStringLiteral("start"),
                                  QStringLiteral("stop"),   QStringLiteral("slot"),
                                  QStringLiteral("load"),   QStringLiteral("output")};
    if (!commands.contains(request.command)) {
        return Fail(kUsage,
                    QStringLiteral("unknown command \"%1\"; see --help").arg(request.command));
    }
    if (request.json && request.command != QStringLiteral("status")) {
        return Fail(kUsage, QStringLiteral("--json is for status only"));
    }
    QString method;
    QVariantList arguments;
    int code = 0;
    if (request.command != QStringLiteral("status") &&
        !MethodFor(request, method, arguments, code)) {
        return code;
    }
    if (request.command == QStringLiteral("status") && !request.arguments.isEmpty()) {
        return Fail(kUsage, QStringLiteral("status takes no argument; see --help"));
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
        return Broadcast(bus, request.command == QStringLiteral("start"));
    }
    const std::optional<int> target = TargetCopy(bus, request.copy, code);
    if (!target) {
        return code;
    }
    const Called called = CallCopy(bus, *target, method, arguments);
    // A load that took place but left something out (such as a damaged mask section).
    if (called.code == 0 && !called.reply.arguments().isEmpty()) {
        for (const QString& warning : called.reply.arguments().constFirst().toStringList()) {
            std::fprintf(stderr, "skyfill-remote: copy %d: %s\n", *target,
                         warning.toLocal8Bit().constData());
        }
    }
    return called.code;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("skyfill-remote"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SKYFILL_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Drives running copies of Skyfill over the session bus.\n"
            "\n"
            "Commands:\n"
            "  status             every running copy's state, or copy N's with --copy N\n"
            "  start, stop        start or stop sending in every copy, or in copy N alone\n"
            "  slot SLOT          make preset slot SLOT (1 to 5) the active one\n"
            "  load FILE          load a preset file (.skf)\n"
            "  output WxH RATE    set the output size (%1)\n"
            "                     and rate (%2); refused while the copy is sending\n"
            "\n"
            "slot, load and output need --copy N unless exactly one copy runs.\n"
            "\n"
            "Exit status: 0 done, 1 refused or failed (the copy's reason is printed),\n"
            "2 wrong usage.")
            .arg(QString::fromStdString(TakenSizeList()), QString::fromStdString(RateList())));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption copyOption(
        QStringList{QStringLiteral("c"), QStringLiteral("copy")},
        QStringLiteral("Only the copy numbered N (1 to %1).").arg(kCopies), QStringLiteral("N"));
    const QCommandLineOption jsonOption(
        QStringLiteral("json"), QStringLiteral("Status as a JSON array, one object a copy."));
    parser.addOption(copyOption);
    parser.addOption(jsonOption);
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("status, start, stop, slot, load or output."),
                                 QStringLiteral("command [arguments]"));
    if (!parser.parse(QCoreApplication::arguments())) {
        return Fail(kUsage, parser.errorText());
    }
    if (parser.isSet(QStringLiteral("help"))) {
        parser.showHelp(0);
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("skyfill-remote %s\n"
                    "Copyright (C) 2026 the Skyfill developers\n"
                    "License: MIT\n",
                    SKYFILL_VERSION);
        return 0;
    }
    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        return Fail(kUsage, QStringLiteral("no command; see --help"));
    }
    Request request;
    request.command = positional.takeFirst();
    request.arguments = positional;
    request.json = parser.isSet(jsonOption);
    if (parser.isSet(copyOption)) {
        bool ok = false;
        const int copy = parser.value(copyOption).toInt(&ok);
        if (!ok || copy < 1 || copy > kCopies) {
            return Fail(kUsage, QStringLiteral("--copy takes a number from 1 to %1, not \"%2\"")
                                    .arg(kCopies)
                                    .arg(parser.value(copyOption)));
        }
        request.copy = copy;
    }
    const int code = Run(request);
    // No static destruction: Qt's bus thread may still be reading the bus's own notices
    // while the type registry they need is torn down, which warns on standard error.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}
