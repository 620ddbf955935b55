#pragma once

#include "session/copy_session.h"
#include "session/notify_face.h"
#include "session/start_options.h"

#include <QObject>
#include <memory>
#include <string>

class BusLink;
class QSocketNotifier;

// What a copy's run needs whether it has a window or not: the runtime, the session on
// the session bus with its bus interface, what a service manager is told, and termination
// signals that end it through the exit step. Made once the application object exists.
class CopyRun {
public:
    explicit CopyRun(StartOptions start);
    ~CopyRun();
    CopyRun(const CopyRun&) = delete;
    CopyRun& operator=(const CopyRun&) = delete;

    CopySession& Session() { return *m_session; }
    // Once the session has started: its bus interface, the stand-in's notice, and the
    // signals' shutdown.
    void Started();
    // 3 for a copy that found no free number (it published nothing, and a service
    // manager must not take that for a normal end), 4 when the settings could not be
    // saved at the end, else 0.
    int ExitStatus() const;

private:
    bool m_standIn = false;
    std::string m_runtimePath;
    bool m_signalsCaught = false;
    std::unique_ptr<BusLink> m_link;
    std::unique_ptr<CopySession> m_session;
    std::unique_ptr<NotifyFace> m_notify;
    // Parent of the bus interface and the notifier: they go before the session.
    std::unique_ptr<QObject> m_faces;
};

// Qt's own messages become log lines with their level.
void LogQtMessages();

// The two runs; each returns the process's exit status.
int RunWithWindow(int& argc, char** argv, StartOptions start);
int RunHeadless(int& argc, char** argv, StartOptions start);
