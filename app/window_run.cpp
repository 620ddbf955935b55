// A copy with its window.

#include "app/copy_run.h"
#include "app/main_window.h"

#include <QApplication>
#include <QList>
#include <QMutex>
#include <cstdio>
#include <cstdlib>

namespace {

// Qt has no way to ask whether a platform plugin can start (its display reachable, the
// plugin there at all) short of making the application, and when none can, it ends the
// process with a fatal message and abort(). That message passes through the message
// handler first, so the copy leaves there, before anything of it has started, with one
// line and exit status 2. Qt's warnings up to then are held back: the platform's first
// names the cause, and the others would make the failure more than one line.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};

QMutex g_heldLock;
QList<HeldMessage> g_held;

void HoldWhileStarting(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const QMutexLocker lock(&g_heldLock);
    if (type == QtFatalMsg) {
        QString cause = text.section(u'\n', 0, 0);
        for (const HeldMessage& held : std::as_const(g_held)) {
            if (held.category.startsWith("qt.qpa")) {
                cause = held.text;
                break;
            }
        }
        std::fprintf(stderr, "skyfill: no window can be shown (%s); --headless runs without one\n",
                     qUtf8Printable(cause));
        std::_Exit(2);
    }
    g_held.append({type, QByteArray(context.category), text});
}

// Once the application exists, what was held back is told as it would have been.
void ReleaseHeld(QtMessageHandler previous) {
    qInstallMessageHandler(previous);
    const QMutexLocker lock(&g_heldLock);
    for (const HeldMessage& message : std::as_const(g_held)) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
        qt_message_output(message.type, context, message.text);
    }
    g_held.clear();
}

} // namespace

int RunWithWindow(int& argc, char** argv, StartOptions start) {
    const QtMessageHandler previous = qInstallMessageHandler(HoldWhileStarting);
    QApplication app(argc, argv);
    ReleaseHeld(previous);
    QApplication::setApplicationName(QStringLiteral("Skyfill"));
    QApplication::setApplicationVersion(QStringLiteral(SKYFILL_VERSION));
    // Wayland compositors find the installed desktop entry, and so the icon, by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("uk.KovaCo.Skyfill"));
    CopyRun run(std::move(start));
    MainWindow window(run.Session(), WindowEnvironment{});
    if (!window.Start()) {
        // The user has been told; nothing that needs the runtime was set up.
        return 1;
    }
    run.Started();
    if (!run.Session().HasEnded()) {
        window.show();
        if (!run.Session().HasEnded()) {
            window.exec();
        }
    }
    return run.ExitStatus();
}
