// The window's side of the NDI output: re-configuring, starting and stopping, and the
// picture steps the output calls back for.

#include "app/skyfill_dlg.h"
#include "app/user_prompts.h"
#include "ndi/sender_setup.h"
#include "preview/vid_box.h"
#include "render/cloud_overlay.h"
#include "render/gradient.h"
#include "ui_skyfill_dlg.h"

#include <cerrno>
#include <cstring>

void CSkyfillDlg::ReconfigureOutput() {
    if (!m_output) {
        return;
    }
    const bool configured =
        m_output->Reconfigure(OutputFormat{m_width, m_height, m_frameRateN, m_frameRateD},
                              m_instanceNumber, m_useMask != 0);
    if (configured && !m_output->HasSender()) {
        ReportSenderFailure();
    } else if (m_output->HasSender()) {
        m_senderFailureReported = false;
    }
    // The re-configure wrote the alpha afresh; an older request is void.
    const std::lock_guard<std::mutex> lock(m_maskLock);
    m_alphaPending = false;
}

// Said once per failure: Start and remote starts are then refused without a word, so
// nobody is left guessing why the source never appears.
void CSkyfillDlg::ReportSenderFailure() {
    if (m_senderFailureReported) {
        return;
    }
    m_senderFailureReported = true;
    char name[kSourceNameBytes];
    FormatSourceName(m_instanceNumber, name);
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

// BGRA with the mask, BGRX without; the output keeps m_opaqueOutput and the frame's
// FourCC together.
void CSkyfillDlg::SetOutputAlphaType() {
    if (m_output) {
        m_output->SetOutputAlphaType(m_useMask != 0);
    }
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
        // A mask write the thread did not get to is done here, now that it has ended.
        ApplyPendingAlpha(m_output->FrameStore(), m_width, m_height);
    }
}

void CSkyfillDlg::ShowButtonStates(const SendButtonStates& states) {
    m_ui->m_startButton->setEnabled(states.start);
    m_ui->m_stopButton->setEnabled(states.stop);
    m_ui->m_resolutionButton->setEnabled(states.resolutionAndFramerate);
    m_ui->m_frameRateButton->setEnabled(states.resolutionAndFramerate);
}

void CSkyfillDlg::RenderFrame(FramePass& pass) {
    ApplyPendingAlpha(pass.store, pass.width, pass.height);
    // A once-only preview request is taken before the settings are read, so it is
    // met by a frame drawn with the change that raised it, not by one already under
    // way when the change came.
    int32_t once = 1;
    const bool showPreview =
        m_previewMode.load() == 2 || m_previewMode.compare_exchange_strong(once, 0);
    RenderGradient(pass.store, pass.width, pass.height, m_gradientExchange.Snapshot());
    if (m_cloudsOn != 0) {
        const int32_t set = m_cloudSet != 0 ? 1 : 0;
        ComposeCloudStrip(pass.store, pass.width, pass.height, m_cloudImage[set],
                          m_cloudImageFlipped[set], pass.clouds.Offset());
        pass.clouds.Advance(m_cloudSpeed);
    }
    // Before the logo: the preview never shows it.
    if (showPreview) {
        m_ui->m_preview->RefreshAlways(pass.store, pass.width, pass.height);
    }
    if (m_logoOverlayOn != 0) {
        // The logo's alpha is merged once after each mask write.
        ComposeLogo(pass.store, pass.width, pass.height, m_logoImage,
                    m_maskApplied.exchange(0) != 0);
    }
}

void CSkyfillDlg::ShowOutputLine(const char* text) {
    m_ui->m_outputInfo->setText(QString::fromUtf8(text));
}

void CSkyfillDlg::RescalePictures(int32_t width, int32_t height) {
    // Always from the kept sources, never from an earlier result.
    for (int i = 0; i < 2; ++i) {
        if (m_cloudImage[i].m_resourceId != 0 && m_cloudImage[i].m_resourceBitmap.Holds()) {
            m_cloudImage[i].ScaleToSize(width, height, m_cloudImage[i].m_resourceBitmap);
        }
        m_cloudImageFlipped[i].CopyFlipped(m_cloudImage[i]);
    }
    const std::lock_guard<std::mutex> lock(m_maskLock);
    if (m_maskImage.m_fileImage.Holds()) {
        m_maskImage.ScaleToSize(width, height, m_maskImage.m_fileImage);
    }
}

void CSkyfillDlg::RenderStillPicture(uint8_t* store, int32_t width, int32_t height) {
    RenderGradient(store, width, height, m_gradientExchange.Snapshot());
    if (m_cloudsOn != 0) {
        ComposeStillClouds(store, width, height, m_cloudImage[m_cloudSet != 0 ? 1 : 0]);
    }
}

void CSkyfillDlg::RenderOnePicture(uint8_t* store, int32_t width, int32_t height) {
    RenderStillPicture(store, width, height);
    m_ui->m_preview->RefreshAlways(store, width, height);
    ComposeLogo(store, width, height, m_logoImage, true);
}

void CSkyfillDlg::ApplyMask(uint8_t* store, int32_t width, int32_t height) {
    const std::lock_guard<std::mutex> lock(m_maskLock);
    m_maskApplied = m_maskImage.ApplyMaskAlpha(store, width, height, m_invertTransparency != 0,
                                               m_useMaskAlpha != 0)
                        ? 1
                        : 0;
}
