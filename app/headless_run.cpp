// A copy without a window: the session, its bus interface and the log on standard
// error. No widget and no GUI application come into it.

#include "app/copy_run.h"

#include <QCoreApplication>

namespace {

// Ends the event loop once the session has ended.
class EndOfRun : public SessionFace {
public:
    explicit EndOfRun(const CopySession& session) : m_session(session) {}
    void StatusChanged() override {
        if (m_session.HasEnded()) {
            QCoreApplication::quit();
        }
    }

private:
    const CopySession& m_session;
};

} // namespace

int RunHeadless(int& argc, char** argv, StartOptions start) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Skyfill"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SKYFILL_VERSION));
    CopyRun run(std::move(start));
    CopySession& session = run.Session();
    EndOfRun end(session);
    session.AttachFace(end);
    if (!session.Start()) {
        session.DetachFace(end);
        return 1;
    }
    run.Started();
    if (!session.HasEnded()) {
        QCoreApplication::exec();
    }
    session.DetachFace(end);
    return run.ExitStatus();
}
