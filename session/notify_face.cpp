#include "session/notify_face.h"

#include "session/copy_session.h"
#include "session/output_line.h"

#include <algorithm>
#include <chrono>
#include <systemd/sd-daemon.h>

namespace {

class SessionSubject final : public NotifySubject {
public:
    explicit SessionSubject(const CopySession& session) : m_session(session) {}
    int32_t CopyNumber() const override { return m_session.CopyNumber(); }
    OutputFormat Format() const override { return m_session.Format(); }
    bool Sending() const override { return m_session.Sending(); }
    uint64_t FramesSent() const override { return m_session.FramesSent(); }
    bool Ended() const override { return m_session.HasEnded(); }

private:
    const CopySession& m_session;
};

void Notify(const QByteArray& state) {
    // Fails only for a socket that is gone or refuses; the copy runs on regardless.
    sd_notify(0, state.constData());
}

} // namespace

NotifyFace::NotifyFace(const CopySession& session, bool readyWhenSending)
    : NotifyFace(std::make_unique<SessionSubject>(session), readyWhenSending) {}

NotifyFace::NotifyFace(std::unique_ptr<NotifySubject> subject, bool readyWhenSending)
    : NotifyFace(*subject, readyWhenSending) {
    m_ownSubject = std::move(subject);
}

NotifyFace::NotifyFace(const NotifySubject& subject, bool readyWhenSending)
    : m_subject(subject), m_readyWhenSending(readyWhenSending) {
    uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) > 0 && usec > 0) {
        // Half the interval, so one late tick does not yet count as a hang.
        m_watchdog.setInterval(std::chrono::milliseconds(std::max<uint64_t>(usec / 2000, 1)));
        m_watchdog.callOnTimeout([this] { WatchdogTick(); });
        m_watchdog.start();
    }
}

NotifyFace::~NotifyFace() = default;

QByteArray NotifyFace::StatusText(const NotifySubject& subject) {
    const int32_t number = subject.CopyNumber();
    if (number <= 0) {
        return "waiting for a number";
    }
    QByteArray text =
        "No " + QByteArray::number(number) + ", " + (subject.Sending() ? "sending" : "stopped");
    if (const std::string format = FormatSummary(subject.Format()); !format.empty()) {
        text += ' ' + QByteArray::fromStdString(format);
    }
    return text;
}

void NotifyFace::StatusChanged() {
    if (m_subject.Ended()) {
        Stopping();
        return;
    }
    if (m_stoppingSent) {
        return;
    }
    const QByteArray status = StatusText(m_subject);
    QByteArray state;
    if (!m_readySent && m_subject.CopyNumber() > 0 &&
        (!m_readyWhenSending || m_subject.Sending())) {
        m_readySent = true;
        state = "READY=1\n";
    }
    if (status != m_statusSent) {
        m_statusSent = status;
        state += "STATUS=" + status;
    }
    if (!state.isEmpty()) {
        Notify(state);
    }
}

// The copy is told to end: a termination signal's exit step begins.
void NotifyFace::StopWaiting() {
    Stopping();
}

void NotifyFace::Stopping() {
    if (m_stoppingSent) {
        return;
    }
    m_stoppingSent = true;
    m_watchdog.stop();
    Notify("STOPPING=1\nSTATUS=stopping");
}

void NotifyFace::WatchdogTick() {
    if (m_stoppingSent || m_subject.Ended()) {
        return;
    }
    // That this runs shows the event loop runs; while sending, the frames count must show
    // the sending thread runs too, or the service manager should step in.
    const uint64_t frames = m_subject.FramesSent();
    const bool stalled = m_subject.Sending() && frames == m_framesAtLastPing;
    m_framesAtLastPing = frames;
    if (!stalled) {
        Notify("WATCHDOG=1");
    }
}
