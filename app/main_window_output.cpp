// The window's side of the NDI output: re-configuring, starting and stopping.

#include "app/main_window.h"
#include "app/user_prompts.h"
#include "ndi/sender_setup.h"
#include "ui_main_window.h"

#include <cerrno>
#include <cstring>

void MainWindow::ReconfigureOutput() {
    if (!m_output) {
        return;
    }
    NoteStatusChange();
    const bool configured =
        m_output->Reconfigure(m_format, m_numbering.m_instanceNumber, Settings().useMask);
    if (configured && !m_output->HasSender()) {
        ReportSenderFailure();
    } else if (m_output->HasSender()) {
        m_senderFailureReported = false;
    }
    // The re-configure wrote the alpha afresh; an older request is void.
    m_generator.Composer().DropPendingAlpha();
}

// Said once per failure: Start and remote starts are then refused without a word, so
// nobody is left guessing why the source never appears.
void MainWindow::ReportSenderFailure() {
    if (m_senderFailureReported) {
        return;
    }
    m_senderFailureReported = true;
    char name[kSourceNameBytes];
    FormatSourceName(m_numbering.m_instanceNumber, name);
    // The stand-in says why through errno; the vendor's runtime makes no such promise.
    const int error =
        m_environment.runtime.origin == NdiRuntimeOrigin::StandIn ? m_output->CreateError() : 0;
    QString why;
    if (error == EEXIST) {
        why = QStringLiteral("another sender on this machine already uses that name");
    } else if (error != 0) {
        why = QString::fromLocal8Bit(std::strerror(error));
    } else {
        why = QStringLiteral("the NDI runtime refused to create its sender");
    }
    m_prompts->Tell(QStringLiteral("Skyfill"),
                    QStringLiteral("Cannot publish the NDI source \"%1\": %2.")
                        .arg(QString::fromUtf8(name), why));
}

// BGRA with the mask, BGRX without.
void MainWindow::SetOutputAlphaType() {
    if (m_output) {
        m_output->SetOutputAlphaType(Settings().useMask);
    }
    NoteStatusChange();
}

void MainWindow::OnStart() {
    if (m_output) {
        // Refused while there is no sender (before the number is settled, or after a
        // failed creation): nothing is sent and the buttons stay as they are.
        m_output->StartSending();
    }
}

void MainWindow::OnStop() {
    if (m_output) {
        m_output->StopSending();
        // A mask write the thread did not get to is done here, now that it has ended.
        m_generator.Composer().ApplyPendingAlpha(m_format.width, m_format.height);
    }
}

void MainWindow::ShowButtonStates(const SendButtonStates& states) {
    NoteStatusChange();
    m_ui->m_startButton->setEnabled(states.start);
    m_ui->m_stopButton->setEnabled(states.stop);
    m_ui->m_resolutionButton->setEnabled(states.resolutionAndFramerate);
    m_ui->m_frameRateButton->setEnabled(states.resolutionAndFramerate);
}

bool MainWindow::MarkDirtyIfSending() {
    if (!Sending()) {
        return false;
    }
    m_output->MarkFrameDirty();
    return true;
}
