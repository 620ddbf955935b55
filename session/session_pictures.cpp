// The pictures: the logo and clouds, the picture box's view and the alpha mask with
// its switches.

#include "imageio/image_decoder.h"
#include "presets/preset_file.h"
#include "render/box_view.h"
#include "resources/pictures.h"
#include "session/copy_session.h"
#include "session/session_command.h"

#include <QFileInfo>

namespace {

// The picture box's size.
constexpr int32_t kBoxWidth = 320;
constexpr int32_t kBoxHeight = 180;
// A longer mask path is shown by its file name alone.
constexpr qsizetype kLongestShownMaskPath = 60;

} // namespace

void CopySession::LoadPictures() {
    FrameComposer& composer = m_generator.Composer();
    ImageBuffer& logo = composer.Logo();
    if (LoadResourceBitmap(logo, picture::kLogo) && logo.m_width > 0 && logo.m_height > 0) {
        ShowInBox(logo.m_resourceBitmap, false);
    }
    LoadResourceBitmap(composer.Cloud(0), picture::kClouds720);
    LoadResourceBitmap(composer.Cloud(1), picture::kClouds1080);
}

void CopySession::ShowInBox(const PixelPicture& picture, bool revealAlpha) {
    if (RenderBoxView(picture, revealAlpha, kBoxWidth, kBoxHeight, m_boxView)) {
        ++m_boxViewChanges;
        Changed();
    }
}

void CopySession::LoadMask(const QString& path) {
    if (path.isEmpty()) {
        return; // cancelled
    }
    const Command command(*this);
    ReadMask(path, QFileInfo(path).fileName().toStdString());
}

void CopySession::TakeMaskPath(const QString& path) {
    ReadMask(path, QString::fromStdU16String(MaskFileTitle(path.toStdU16String())).toStdString());
}

void CopySession::ReadMask(const QString& path, std::string title) {
    ImageBuffer loaded;
    const bool ok = imageio::LoadImageFile(loaded, path);
    m_generator.Composer().TakeMask(path.toStdString(), std::move(title), ok ? &loaded : nullptr);
    Changed();
    if (ok) {
        FitMaskToOutput();
    }
}

void CopySession::FitMaskToOutput() {
    const ImageBuffer& mask = m_generator.Composer().Mask();
    if (mask.m_fileImage.Holds()) {
        ShowInBox(mask.m_fileImage, Settings().revealAlpha);
    }
    const QString path = QString::fromStdString(mask.m_filePath);
    m_maskLabel =
        path.size() > kLongestShownMaskPath ? QString::fromStdString(mask.m_fileTitle) : path;
    if (m_generator.Composer().FitMask(m_format.width, m_format.height)) {
        ApplyMaskSettings();
    }
}

QString CopySession::MaskFilePath() const {
    return QString::fromStdString(m_generator.Composer().Mask().m_filePath);
}

void CopySession::SetMaskSwitches(bool useMask, bool invert, bool ownAlpha) {
    const Command command(*this);
    GeneratorSettings settings = Settings();
    settings.useMask = useMask;
    settings.invertTransparency = invert;
    settings.useMaskAlpha = ownAlpha;
    Apply(settings);
    ApplyMaskSettings();
    SetOutputAlphaType();
}

void CopySession::SetRevealAlpha(bool reveal) {
    const Command command(*this);
    GeneratorSettings settings = Settings();
    settings.revealAlpha = reveal;
    Apply(settings);
    const ImageBuffer& mask = m_generator.Composer().Mask();
    if (mask.m_fileImage.Holds()) {
        ShowInBox(mask.m_fileImage, reveal);
    }
}

void CopySession::FlipMask(bool horizontal) {
    const Command command(*this);
    m_generator.Composer().FlipMask(horizontal);
    ApplyMaskSettings();
}

// With the mask: the mask's alpha; without it: opaque.
void CopySession::ApplyMaskSettings() {
    if (!m_output) {
        return;
    }
    m_generator.Composer().WriteAlpha(m_format.width, m_format.height, Settings(), Sending());
    MarkDirtyIfSending();
}
