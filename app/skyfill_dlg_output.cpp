// The window's side of the NDI output: re-configuring, starting and stopping, and the
// picture steps the output calls back for.

#include "app/skyfill_dlg.h"
#include "render/gradient.h"
#include "ui_skyfill_dlg.h"

#include <cstring>

void CSkyfillDlg::ReconfigureOutput() {
    if (!m_output) {
        return;
    }
    m_output->Reconfigure(OutputFormat{m_width, m_height, m_frameRateN, m_frameRateD},
                          m_instanceNumber, m_useMask != 0);
}

void CSkyfillDlg::OnStart() {
    if (m_output) {
        // Refused while there is no sender (before the number is settled, or after a
        // failed creation): nothing is sent and the buttons stay as they are.
        m_output->StartSending();
    }
}

void CSkyfillDlg::OnStop() {
    if (m_output) {
        m_output->StopSending();
    }
}

void CSkyfillDlg::ShowButtonStates(const SendButtonStates& states) {
    m_ui->m_startButton->setEnabled(states.start);
    m_ui->m_stopButton->setEnabled(states.stop);
    m_ui->m_resolutionButton->setEnabled(states.resolutionAndFramerate);
    m_ui->m_frameRateButton->setEnabled(states.resolutionAndFramerate);
}

void CSkyfillDlg::RenderFrame(FramePass& pass) {
    RenderGradient(pass.store, pass.width, pass.height, m_gradientExchange.Snapshot());
    // Clouds, the preview and the logo are composed here once the pictures and the
    // preview box exist.
}

void CSkyfillDlg::ShowOutputLine(const char* text) {
    m_ui->m_outputInfo->setText(QString::fromUtf8(text));
}

void CSkyfillDlg::RescalePictures(int32_t /*width*/, int32_t /*height*/) {
    // The cloud and mask pictures are rescaled here once they exist.
}

void CSkyfillDlg::RenderStillPicture(uint8_t* store, int32_t width, int32_t height) {
    RenderGradient(store, width, height, m_gradientExchange.Snapshot());
}

void CSkyfillDlg::RenderOnePicture(uint8_t* store, int32_t width, int32_t height) {
    RenderStillPicture(store, width, height);
}

void CSkyfillDlg::ApplyMask(uint8_t* /*store*/, int32_t /*width*/, int32_t /*height*/) {
    // Nothing to write until a mask picture can be loaded; the output stays opaque.
    m_maskApplied = 0;
}

void CSkyfillDlg::ApplyMaskSettings() {
    // While sending, the thread's renders carry the alpha bytes along; they only
    // change through the mask, which is written between two renders.
    if (!m_output || m_useMask != 0 || m_sending != 0) {
        return;
    }
    // Without the mask every pixel is opaque.
    uint8_t* store = m_output->FrameStore();
    const std::size_t pixels = static_cast<std::size_t>(m_width) * m_height;
    for (std::size_t i = 0; i < pixels; ++i) {
        store[i * 4 + 3] = 0xFF;
    }
}
