#include "app/copy_run.h"

#include "bus/bus_link.h"
#include "bus/copy_control.h"
#include "logging/event_log.h"

#include <QDBusConnection>
#include <QSocketNotifier>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A termination signal only writes a byte here; the copy shuts down on its own thread
// when the byte arrives, so nothing unsafe runs inside the handler.
int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int signal) {
    const auto byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t ignored = ::write(g_signalPipe[1], &byte, 1);
}

bool CatchTerminationSignals() {
    if (g_signalPipe[0] < 0 && ::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
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

void LogQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    LogLevel level = LogLevel::Debug;
    switch (type) {
    case QtDebugMsg:
        break;
    case QtInfoMsg:
        level = LogLevel::Info;
        break;
    case QtWarningMsg:
        level = LogLevel::Warning;
        break;
    case QtCriticalMsg:
    case QtFatalMsg:
        level = LogLevel::Error;
        break;
    }
    const QByteArray category(context.category != nullptr ? context.category : "");
    Log(level, (category.isEmpty() || category == "default" ? QString() : category + ": ")
                   .append(text)
                   .toStdString());
}

} // namespace

void LogQtMessages() {
    qInstallMessageHandler(LogQtMessage);
}

CopyRun::CopyRun(StartOptions start) : m_faces(std::make_unique<QObject>()) {
    SessionEnvironment environment;
    const bool readyWhenSending = start.startSending;
    environment.start = std::move(start);
    environment.runtime = LoadNdiRuntime();
    m_standIn = environment.runtime.origin == NdiRuntimeOrigin::StandIn;
    m_runtimePath = environment.runtime.libraryPath;
    environment.processId = static_cast<uint32_t>(::getpid());
    // Caught before start-up, so a service manager's early stop still ends the copy
    // through the exit step once it runs.
    m_signalsCaught = CatchTerminationSignals();
    m_link = std::make_unique<BusLink>(QDBusConnection::sessionBus());
    environment.link = m_link.get();
    m_session = std::make_unique<CopySession>(std::move(environment));
    m_notify = std::make_unique<NotifyFace>(*m_session, readyWhenSending);
    m_session->AttachFace(*m_notify);
}

CopyRun::~CopyRun() {
    m_faces.reset();
    m_session->DetachFace(*m_notify);
}

void CopyRun::Started() {
    CopyControl::Export(*m_link, *m_session, m_faces.get());
    if (m_standIn) {
        // Otherwise nothing tells why no receiver on the network sees the source.
        Log(LogLevel::Warning,
            "no NDI runtime found; the built-in stand-in is publishing (see skyfill --check)");
    } else {
        Log(LogLevel::Info,
            "NDI runtime " + m_session->RuntimeVersion().toStdString() + " from " + m_runtimePath);
    }
    if (m_signalsCaught) {
        auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, m_faces.get());
        QObject::connect(notifier, &QSocketNotifier::activated, m_faces.get(), [this] {
            // Drained, or the notifier would fire again and again; the first names it.
            char bytes[16];
            int signal = 0;
            for (ssize_t n; (n = ::read(g_signalPipe[0], bytes, sizeof bytes)) > 0;) {
                signal = signal != 0 ? signal : bytes[0];
            }
            const char* name = signal > 0 ? ::sigabbrev_np(signal) : nullptr;
            m_session->ShutDownNow(name != nullptr ? std::string("SIG") + name
                                                   : std::string("termination signal"));
        });
    }
}

int CopyRun::ExitStatus() const {
    if (m_session->EndedWithoutNumber()) {
        return 3;
    }
    return m_session->ExitSaveFailed() ? 4 : 0;
}
