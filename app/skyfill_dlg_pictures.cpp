// The window's pictures: the logo and cloud pictures, the picture box and the alpha
// mask with its switches.

#include "app/skyfill_dlg.h"
#include "imageio/image_decoder.h"
#include "presets/preset_file.h"
#include "render/box_view.h"
#include "resources/pictures.h"
#include "ui_skyfill_dlg.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>

namespace {

constexpr int32_t kBoxWidth = 320;
constexpr int32_t kBoxHeight = 180;

QIcon IconOf(uint16_t id) {
    PixelPicture picture;
    return LoadResourcePicture(id, picture) ? QIcon(QPixmap::fromImage(imageio::ToQImage(picture)))
                                            : QIcon();
}

} // namespace

void CSkyfillDlg::LoadPictures() {
    if (LoadResourceBitmap(m_logoImage, 134) && m_logoImage.m_width > 0 &&
        m_logoImage.m_height > 0) {
        ShowBitmapInBox(m_logoImage.m_resourceBitmap, false);
    }
    LoadResourceBitmap(m_cloudImage[0], 137);
    LoadResourceBitmap(m_cloudImage[1], 139);
    m_cloudImageFlipped[0].CopyFlipped(m_cloudImage[0]);
    m_cloudImageFlipped[1].CopyFlipped(m_cloudImage[1]);

    m_ui->m_socialLinkPicture->setIcon(IconOf(141));
    m_ui->m_socialLinkPicture->setIconSize(m_ui->m_socialLinkPicture->size() - QSize(4, 4));
    m_ui->m_videoLinkPicture->setIcon(IconOf(142));
    m_ui->m_videoLinkPicture->setIconSize(m_ui->m_videoLinkPicture->size() - QSize(4, 4));
}

void CSkyfillDlg::ShowBitmapInBox(const PixelPicture& picture, bool revealAlpha) {
    PixelPicture view;
    if (m_bitmapStatic != nullptr &&
        RenderBoxView(picture, revealAlpha, kBoxWidth, kBoxHeight, view)) {
        m_bitmapStatic->setPixmap(QPixmap::fromImage(imageio::ToQImage(view)));
    }
}

void CSkyfillDlg::OnLoadAlphaMask(const QString& chosenPath) {
    if (chosenPath.isEmpty()) {
        return; // cancelled
    }
    LoadMask(chosenPath, QFileInfo(chosenPath).fileName().toStdString());
}

void CSkyfillDlg::TakeMaskPath(const QString& path) {
    LoadMask(path, QString::fromStdU16String(MaskFileTitle(path.toStdU16String())).toStdString());
}

// The sending thread takes the mask lock on every render, and decoding or stretching a
// large picture takes long: both run on copies, and only the hand-over is locked. The
// kept file image is written on this thread only, so it is read here without the lock.
void CSkyfillDlg::LoadMask(const QString& path, std::string title) {
    ImageBuffer loaded;
    const bool ok = imageio::LoadImageFile(loaded, path);
    {
        const std::lock_guard<std::mutex> lock(m_maskLock);
        // Stored even when the load fails, so that a later preset save records them.
        m_maskImage.m_filePath = path.toStdString();
        m_maskImage.m_fileTitle = std::move(title);
        if (ok) {
            loaded.m_filePath = m_maskImage.m_filePath;
            loaded.m_fileTitle = m_maskImage.m_fileTitle;
            m_maskImage = std::move(loaded);
        }
    }
    if (ok) {
        FitMaskToOutput();
    }
}

void CSkyfillDlg::FitMaskToOutput() {
    const PixelPicture& source = m_maskImage.m_fileImage;
    if (source.Holds()) {
        ShowBitmapInBox(source, m_revealAlpha != 0);
    }
    const QString path = QString::fromStdString(m_maskImage.m_filePath);
    m_ui->m_maskNameLabel->setText(
        path.size() > 60 ? QString::fromStdString(m_maskImage.m_fileTitle) : path);
    ImageBuffer scaled;
    if (!source.Holds() || !scaled.ScaleToSize(m_width, m_height, source)) {
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(m_maskLock);
        m_maskImage.TakeStore(scaled);
    }
    ApplyMaskSettings();
}

void CSkyfillDlg::OnUseMask() {
    PullRadioGroups();
    ApplyMaskSettings();
    SetOutputAlphaType();
}

void CSkyfillDlg::OnMaskSwitches() {
    PullRadioGroups();
    ApplyMaskSettings();
}

void CSkyfillDlg::OnRevealAlpha() {
    PullRadioGroups();
    if (m_maskImage.m_fileImage.Holds()) { // written on this thread only
        ShowBitmapInBox(m_maskImage.m_fileImage, m_revealAlpha != 0);
    }
}

void CSkyfillDlg::OnFlipMask(bool horizontal) {
    {
        const std::lock_guard<std::mutex> lock(m_maskLock);
        horizontal ? m_maskImage.FlipHorizontal() : m_maskImage.FlipVertical();
    }
    ApplyMaskSettings();
}

void CSkyfillDlg::ApplyMaskSettings() {
    WriteMaskAlpha(m_output ? m_output->FrameStore() : nullptr, m_width, m_height, m_useMask != 0);
}

// With the mask: the mask's alpha; without it: opaque. While the sending thread runs
// the write is handed to it, so that it falls between two renders.
void CSkyfillDlg::WriteMaskAlpha(uint8_t* store, int32_t width, int32_t height, bool useMask) {
    if (store == nullptr) {
        return;
    }
    if (m_sending != 0) {
        {
            const std::lock_guard<std::mutex> lock(m_maskLock);
            m_alphaPending = true;
            m_alphaPendingUseMask = useMask;
            m_alphaPendingInvert = m_invertTransparency != 0;
            m_alphaPendingOwnAlpha = m_useMaskAlpha != 0;
        }
        m_frameDirty = 1;
        return;
    }
    if (useMask) {
        ApplyMask(store, width, height);
    } else {
        SetFrameOpaque(store, width, height);
    }
}

void CSkyfillDlg::ApplyPendingAlpha(uint8_t* store, int32_t width, int32_t height) {
    const std::lock_guard<std::mutex> lock(m_maskLock);
    if (!m_alphaPending) {
        return;
    }
    m_alphaPending = false;
    if (m_alphaPendingUseMask) {
        m_maskApplied = m_maskImage.ApplyMaskAlpha(store, width, height, m_alphaPendingInvert,
                                                   m_alphaPendingOwnAlpha)
                            ? 1
                            : 0;
    } else {
        SetFrameOpaque(store, width, height);
    }
}
