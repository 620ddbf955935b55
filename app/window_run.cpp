// A copy with its window.

#include "app/copy_run.h"
#include "app/main_window.h"

#include <QApplication>

int RunWithWindow(int& argc, char** argv, StartOptions start) {
    QApplication app(argc, argv);
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
