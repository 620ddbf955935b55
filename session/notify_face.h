#pragma once

#include "ndi/sender_setup.h"
#include "session/session_face.h"

#include <QByteArray>
#include <QTimer>
#include <cstdint>
#include <memory>

class CopySession;

// What a service manager is told about: a copy session, or a stand-in a test controls.
class NotifySubject {
public:
    virtual ~NotifySubject() = default;
    // 0 before the number settles.
    virtual int32_t CopyNumber() const = 0;
    virtual OutputFormat Format() const = 0;
    // Whether the copy believes it sends; FramesSent() says whether frames really leave.
    virtual bool Sending() const = 0;
    virtual uint64_t FramesSent() const = 0;
    virtual bool Ended() const = 0;
};

// Tells the service manager (sd_notify) when the copy is ready, a line of its state, that
// it is stopping, and, while it is healthy, that it lives. Without NOTIFY_SOCKET it tells
// nobody; without a watchdog asked for it never pings.
class NotifyFace : public SessionFace {
public:
    // `readyWhenSending`: the copy was started with --start, so it is ready only once it
    // sends.
    NotifyFace(const CopySession& session, bool readyWhenSending);
    NotifyFace(const NotifySubject& subject, bool readyWhenSending);
    ~NotifyFace() override;
    NotifyFace(const NotifyFace&) = delete;
    NotifyFace& operator=(const NotifyFace&) = delete;

    void StatusChanged() override;
    void StopWaiting() override;

    // The watchdog timer's step, as the timer runs it.
    void WatchdogTick();
    // Inactive when no watchdog was asked for.
    const QTimer& WatchdogTimer() const { return m_watchdog; }

    // "No 3, sending 1920 x 1080 at 25p"; "waiting for a number" before the number.
    static QByteArray StatusText(const NotifySubject& subject);

private:
    NotifyFace(std::unique_ptr<NotifySubject> subject, bool readyWhenSending);
    void Stopping();

    std::unique_ptr<NotifySubject> m_ownSubject;
    const NotifySubject& m_subject;
    bool m_readyWhenSending = false;
    bool m_readySent = false;
    bool m_stoppingSent = false;
    QByteArray m_statusSent;
    uint64_t m_framesAtLastPing = 0;
    QTimer m_watchdog;
};
