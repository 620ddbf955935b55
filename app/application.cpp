#include "app/application.h"

#include "app/main_window.h"
#include "app/stderr_prompts.h"

#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A termination signal only writes a byte here; the window shuts down on its own
// thread when the byte arrives, so nothing unsafe runs inside the handler.
int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(g_signalPipe[1], &byte, 1);
}

bool CatchTerminationSignals() {
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // SIGHUP: the terminal was closed or the session ended; end as for SIGTERM.
    return ::sigaction(SIGTERM, &action, nullptr) == 0 &&
           ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGHUP, &action, nullptr) == 0;
}

} // namespace

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Skyfill"));
    setApplicationVersion(QStringLiteral(SKYFILL_VERSION));
    // Wayland compositors find the installed desktop entry, and so the icon, by this name.
    setDesktopFileName(QStringLiteral("uk.KovaCo.Skyfill"));
}

int Application::Run(bool headless, StartOptions start) {
    WindowEnvironment environment;
    environment.start = std::move(start);
    StderrPrompts stderrPrompts;
    // On the offscreen platform nobody sees the window either.
    headless = headless || QGuiApplication::platformName() == QStringLiteral("offscreen");
    if (headless) {
        environment.prompts = &stderrPrompts;
        environment.headless = true;
    }
    environment.runtime = LoadNdiRuntime();
    const bool standIn = environment.runtime.origin == NdiRuntimeOrigin::StandIn;
    environment.processId = static_cast<uint32_t>(::getpid());
    // Caught before start-up, so a service manager's early stop still ends the program
    // through the exit step once the window runs.
    const bool signalsCaught = CatchTerminationSignals();
    MainWindow window(std::move(environment));
    if (!window.Start()) {
        // The user has been told; nothing that needs the runtime was set up.
        return 1;
    }
    if (standIn) {
        // Otherwise nothing tells why no receiver on the network sees the source.
        std::fputs("skyfill: no NDI runtime found; the built-in stand-in is publishing "
                   "(see skyfill --check)\n",
                   stderr);
    }
    // Ended by the session or a service manager: keep the settings as an exit would.
    std::unique_ptr<QSocketNotifier> notifier;
    if (signalsCaught) {
        notifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, &window, [&window] {
            // Drained, or the notifier would fire again and again.
            char bytes[16];
            while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
            }
            window.ShutDownNow();
        });
    }
    // A copy that found no free number published nothing; a service manager must not
    // take that for a normal end.
    const auto exitStatus = [&window] { return window.EndedWithoutNumber() ? 3 : 0; };
    if (window.HasEnded()) {
        return exitStatus();
    }
    if (headless) {
        // Never shown: nothing is painted, and the copy runs until the window ends.
        QObject::connect(&window, &QDialog::finished, this, &QCoreApplication::quit);
        exec();
    } else {
        window.show();
        if (!window.HasEnded()) {
            window.exec();
        }
    }
    return exitStatus();
}
