// The window's pictures: the logo and cloud pictures, the picture box and the alpha
// mask with its switches.

#include "app/main_window.h"
#include "imageio/image_decoder.h"
#include "presets/preset_file.h"
#include "render/box_view.h"
#include "resources/pictures.h"
#include "ui_main_window.h"

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

void MainWindow::LoadPictures() {
    FrameComposer& composer = m_generator.Composer();
    ImageBuffer& logo = composer.Logo();
    if (LoadResourceBitmap(logo, picture::kLogo) && logo.m_width > 0 && logo.m_height > 0) {
        ShowBitmapInBox(logo.m_resourceBitmap, false);
    }
    LoadResourceBitmap(composer.Cloud(0), picture::kClouds720);
    LoadResourceBitmap(composer.Cloud(1), picture::kClouds1080);
    composer.MirrorClouds();

    m_ui->m_socialLinkPicture->setIcon(IconOf(picture::kSocialIcon));
    m_ui->m_socialLinkPicture->setIconSize(m_ui->m_socialLinkPicture->size() - QSize(4, 4));
    m_ui->m_videoLinkPicture->setIcon(IconOf(picture::kVideoIcon));
    m_ui->m_videoLinkPicture->setIconSize(m_ui->m_videoLinkPicture->size() - QSize(4, 4));
}

void MainWindow::ShowBitmapInBox(const PixelPicture& picture, bool revealAlpha) {
    PixelPicture view;
    if (m_bitmapStatic != nullptr &&
        RenderBoxView(picture, revealAlpha, kBoxWidth, kBoxHeight, view)) {
        m_bitmapStatic->setPixmap(QPixmap::fromImage(imageio::ToQImage(view)));
    }
}

void MainWindow::OnLoadAlphaMask(const QString& chosenPath) {
    if (chosenPath.isEmpty()) {
        return; // cancelled
    }
    LoadMask(chosenPath, QFileInfo(chosenPath).fileName().toStdString());
}

void MainWindow::TakeMaskPath(const QString& path) {
    LoadMask(path, QString::fromStdU16String(MaskFileTitle(path.toStdU16String())).toStdString());
}

void MainWindow::LoadMask(const QString& path, std::string title) {
    ImageBuffer loaded;
    const bool ok = imageio::LoadImageFile(loaded, path);
    m_generator.Composer().TakeMask(path.toStdString(), std::move(title), ok ? &loaded : nullptr);
    if (ok) {
        FitMaskToOutput();
    }
}

void MainWindow::FitMaskToOutput() {
    const ImageBuffer& mask = m_generator.Composer().Mask();
    if (mask.m_fileImage.Holds()) {
        ShowBitmapInBox(mask.m_fileImage, Settings().revealAlpha);
    }
    const QString path = QString::fromStdString(mask.m_filePath);
    m_ui->m_maskNameLabel->setText(path.size() > 60 ? QString::fromStdString(mask.m_fileTitle)
                                                    : path);
    if (m_generator.Composer().FitMask(m_format.width, m_format.height)) {
        ApplyMaskSettings();
    }
}

QString MainWindow::MaskFilePath() const {
    return QString::fromStdString(m_generator.Composer().Mask().m_filePath);
}

void MainWindow::OnUseMask() {
    PullRadioGroups();
    ApplyMaskSettings();
    SetOutputAlphaType();
}

void MainWindow::OnMaskSwitches() {
    PullRadioGroups();
    ApplyMaskSettings();
}

void MainWindow::OnRevealAlpha() {
    PullRadioGroups();
    const ImageBuffer& mask = m_generator.Composer().Mask();
    if (mask.m_fileImage.Holds()) {
        ShowBitmapInBox(mask.m_fileImage, Settings().revealAlpha);
    }
}

void MainWindow::OnFlipMask(bool horizontal) {
    m_generator.Composer().FlipMask(horizontal);
    ApplyMaskSettings();
}

// With the mask: the mask's alpha; without it: opaque.
void MainWindow::ApplyMaskSettings() {
    if (!m_output) {
        return;
    }
    m_generator.Composer().WriteAlpha(m_format.width, m_format.height, Settings(), Sending());
    MarkDirtyIfSending();
}
