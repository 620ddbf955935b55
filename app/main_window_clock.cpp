// The window's timers and the coordination of running copies.

#include "app/bus_link.h"
#include "app/colour_button.h"
#include "app/instance_coordination.h"
#include "app/main_window.h"
#include "ui_main_window.h"

#include <cstdio>
#include <cstdlib>

void MainWindow::SetUpTimers() {
    for (QTimer* timer : {&m_settleTimer, &m_rotationTimer, &m_logoTimer, &m_logoLateTimer}) {
        timer->setTimerType(Qt::PreciseTimer);
    }
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(100);
    m_logoTimer.setSingleShot(true);
    m_logoTimer.setInterval(23853);
    m_logoLateTimer.setSingleShot(true);
    connect(&m_settleTimer, &QTimer::timeout, this, &MainWindow::OnSettleTimer);
    connect(&m_rotationTimer, &QTimer::timeout, this, &MainWindow::OnRotationTimer);
    connect(&m_logoTimer, &QTimer::timeout, this, &MainWindow::OnLogoTimer);
    connect(&m_logoLateTimer, &QTimer::timeout, this, &MainWindow::OnLogoLateTimer);
}

void MainWindow::OnRotationTimer() {
    if (!Sending()) {
        return;
    }
    ColourRecord shown[4];
    if (m_generator.StepRotation(shown)) {
        ShowColours(shown);
    }
    m_output->MarkFrameDirty();
}

void MainWindow::OnLogoTimer() {
    m_logoTimer.stop();
    if (m_startupDraw >= 5) {
        EndLogo();
    } else {
        m_logoLateTimer.start(65371 + 503 * (std::rand() % 467));
    }
}

void MainWindow::OnLogoLateTimer() {
    m_logoLateTimer.stop();
    EndLogo();
}

void MainWindow::EndLogo() {
    GeneratorSettings settings = Settings();
    settings.logoOn = false;
    Apply(settings);
    // Writing the mask again removes the logo's trace from the alpha channel.
    if (settings.useMask && m_output) {
        m_generator.Composer().WriteAlpha(m_format.width, m_format.height, settings, Sending());
        MarkDirtyIfSending();
    }
}

void MainWindow::OnSettleTimer() {
    // Before anything that may wait on a message box, so the timer cannot fire again.
    m_settleTimer.stop();
    if (!m_numbering.m_instanceNumberPending || m_shuttingDown) {
        return;
    }
    Settlement settlement;
    if (m_bus != nullptr && m_bus->IsConnected()) {
        // A name the bus would not grant or refuse is taken: taking it without owning
        // it could give two copies one number.
        bool busAnswered = false;
        settlement = SettleInstanceNumber(m_numbering, [this, &busAnswered](int32_t n) {
            const BusLink::Claim claim = m_bus->ClaimCopyNumber(n);
            busAnswered = busAnswered || claim != BusLink::Claim::Failed;
            return claim == BusLink::Claim::Granted;
        });
        if (!busAnswered) {
            // The bus cannot arbitrate at all: go by the other copies' answers.
            m_numbering.m_instanceNumberPending = true;
            settlement = SettleInstanceNumber(m_numbering);
        }
    } else {
        settlement = SettleInstanceNumber(m_numbering);
    }
    switch (settlement.kind) {
    case Settlement::Kind::NotPending:
        break;
    case Settlement::Kind::TooManyCopies:
        OnOK();
        m_endedWithoutNumber = m_ended;
        break;
    case Settlement::Kind::Settled:
        setWindowTitle(
            QStringLiteral("Kova Skyfill for NDI® - No %1").arg(settlement.instanceNumber + 1));
        ReconfigureOutput();
        // Said once the source exists, so whoever reads it can find the source.
        if (m_environment.headless) {
            std::fprintf(stderr, "skyfill: %s\n", windowTitle().toUtf8().constData());
            std::fflush(stderr);
        }
        if (m_environment.start.startSending) {
            OnStart();
        }
        break;
    }
}

void MainWindow::OnBusPost(int command, qint64 argument) {
    // Not even while the exit waits on a message: a remote start would restart sending.
    if (m_ended || m_shuttingDown) {
        return;
    }
    const PostReaction reaction = HandleBusPost(m_numbering, command, argument);
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
