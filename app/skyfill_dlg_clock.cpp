// The window's clock (timers 1 to 4) and the coordination of running copies.

#include "app/bus_link.h"
#include "app/colour_button.h"
#include "app/instance_coordination.h"
#include "app/skyfill_dlg.h"
#include "render/colour_rotation.h"
#include "ui_skyfill_dlg.h"

#include <QTimerEvent>
#include <cstdio>
#include <cstdlib>

void CSkyfillDlg::SetTimer(int timerId, int milliseconds) {
    if (timerId < kSettleTimer || timerId > kLogoLateTimer) {
        return;
    }
    KillTimer(timerId);
    m_timerHandles[timerId] = startTimer(milliseconds, Qt::PreciseTimer);
}

void CSkyfillDlg::KillTimer(int timerId) {
    if (timerId < kSettleTimer || timerId > kLogoLateTimer || m_timerHandles[timerId] == 0) {
        return;
    }
    killTimer(m_timerHandles[timerId]);
    m_timerHandles[timerId] = 0;
}

bool CSkyfillDlg::TimerRunning(int timerId) const {
    return timerId >= kSettleTimer && timerId <= kLogoLateTimer && m_timerHandles[timerId] != 0;
}

void CSkyfillDlg::timerEvent(QTimerEvent* event) {
    for (int id = kSettleTimer; id <= kLogoLateTimer; ++id) {
        if (m_timerHandles[id] == event->timerId()) {
            OnTimer(id);
            return;
        }
    }
    QDialog::timerEvent(event);
}

void CSkyfillDlg::OnTimer(int timerId) {
    switch (timerId) {
    case kSettleTimer:
        SettleInstance();
        break;
    case kRotationTimer:
        if (m_sending != 0) {
            ColourRecord shown[4];
            if (StepRotation(m_rotationMode, m_rotationPhase, m_baseColour, m_currentColour,
                             shown)) {
                ShowColours(shown);
            }
            PublishGradient();
            m_frameDirty = 1;
        }
        break;
    case kLogoTimer:
        KillTimer(kLogoTimer);
        if (m_startupDraw >= 5) {
            EndLogo();
        } else {
            SetTimer(kLogoLateTimer, 65371 + 503 * (std::rand() % 467));
        }
        break;
    case kLogoLateTimer:
        KillTimer(kLogoLateTimer);
        EndLogo();
        break;
    default:
        break;
    }
}

void CSkyfillDlg::EndLogo() {
    m_logoOverlayOn = 0;
    // Writing the mask again removes the logo's trace from the alpha channel.
    if (m_useMask != 0 && m_output) {
        WriteMaskAlpha(m_output->FrameStore(), m_width, m_height, true);
    }
}

void CSkyfillDlg::SettleInstance() {
    // Before anything that may wait on a message box, so the timer cannot fire again.
    KillTimer(kSettleTimer);
    if (m_instanceNumberPending == 0 || m_shuttingDown) {
        return;
    }
    Settlement settlement;
    if (m_bus != nullptr && m_bus->IsConnected()) {
        // A name the bus would not grant or refuse is taken: taking it without owning
        // it could give two copies one number.
        bool busAnswered = false;
        settlement = SettleInstanceNumber(*this, [this, &busAnswered](int32_t n) {
            const BusLink::Claim claim = m_bus->ClaimCopyNumber(n);
            busAnswered = busAnswered || claim != BusLink::Claim::Failed;
            return claim == BusLink::Claim::Granted;
        });
        if (!busAnswered) {
            // The bus cannot arbitrate at all: go by the other copies' answers.
            m_instanceNumberPending = 1;
            settlement = SettleInstanceNumber(*this);
        }
    } else {
        settlement = SettleInstanceNumber(*this);
    }
    switch (settlement.kind) {
    case Settlement::Kind::NotPending:
        break;
    case Settlement::Kind::TooManyCopies:
        OnOK();
        break;
    case Settlement::Kind::Settled:
        setWindowTitle(
            QStringLiteral("Kova Skyfill for NDI® - No %1").arg(settlement.instanceNumber + 1));
        ReconfigureOutput();
        // Said once the source exists, so whoever reads it can find the source.
        if (m_environment.announceTitle) {
            std::fprintf(stderr, "skyfill: %s\n", windowTitle().toUtf8().constData());
            std::fflush(stderr);
        }
        break;
    }
}

void CSkyfillDlg::OnBusPost(int command, qint64 argument) {
    // Not even while the exit waits on a message: a remote start would restart sending.
    if (m_ended || m_shuttingDown) {
        return;
    }
    const PostReaction reaction = HandleBusPost(*this, command, argument);
    switch (reaction.kind) {
    case PostReaction::Kind::None:
        break;
    case PostReaction::Kind::StartSending:
        OnStart();
        break;
    case PostReaction::Kind::StopSending:
        OnStop();
        break;
    case PostReaction::Kind::PostAnswer:
        if (m_bus != nullptr) {
            m_bus->Post(static_cast<int32_t>(BusCommand::Answer), reaction.answer);
        }
        break;
    }
}
