#include "engine/frame_composer.h"

#include "engine/frame_viewer.h"
#include "render/frame_limits.h"
#include "render/gradient.h"
#include "render/uyvy.h"
#include "render/uyvy_to_bgrx.h"

#include <new>

namespace {

GradientParams GradientOf(const GeneratorSettings& settings) {
    GradientParams params;
    for (int i = 0; i < 4; ++i) {
        params.corners[i] = settings.currentColours[i];
    }
    params.fillPattern = settings.fillPattern;
    return params;
}

} // namespace

FrameComposer::FrameComposer(const SettingsExchange<GeneratorSettings>& settings)
    : m_settings(settings), m_store(AllocateLargeMemory(frame_limits::kMaxBytes)),
      m_uyvyStore(AllocateLargeMemory(frame_limits::kMaxBytes / 2)),
      m_band(AllocateLargeMemory(static_cast<size_t>(kBandRows) * frame_limits::kMaxWidth * 4)) {
    if (!m_store || !m_uyvyStore || !m_band) {
        throw std::bad_alloc();
    }
}

void FrameComposer::RescalePictures(int32_t width, int32_t height) {
    // Always from the kept sources, never from an earlier result.
    for (ImageBuffer& cloud : m_clouds) {
        if (cloud.m_resourceId != 0 && cloud.m_resourceBitmap.Holds()) {
            cloud.ScaleToSize(width, height, cloud.m_resourceBitmap);
        }
    }
    const std::lock_guard<std::mutex> lock(m_maskLock);
    if (m_mask.m_fileImage.Holds()) {
        m_mask.ScaleToSize(width, height, m_mask.m_fileImage);
    }
}

// Decoding and stretching a large picture takes long, and the sending thread takes the
// lock on every frame: both happen on copies, and only the hand-over is locked.
void FrameComposer::TakeMask(std::string path, std::string title, ImageBuffer* loaded) {
    const std::lock_guard<std::mutex> lock(m_maskLock);
    // Kept even when the load failed, so that a later preset save records them.
    m_mask.m_filePath = std::move(path);
    m_mask.m_fileTitle = std::move(title);
    if (loaded != nullptr) {
        loaded->m_filePath = m_mask.m_filePath;
        loaded->m_fileTitle = m_mask.m_fileTitle;
        m_mask = std::move(*loaded);
    }
}

bool FrameComposer::FitMask(int32_t width, int32_t height) {
    // The kept file image is written on this thread only, so it is read without the lock.
    ImageBuffer scaled;
    if (!m_mask.m_fileImage.Holds() || !scaled.ScaleToSize(width, height, m_mask.m_fileImage)) {
        return false;
    }
    const std::lock_guard<std::mutex> lock(m_maskLock);
    m_mask.TakeStore(scaled);
    return true;
}

void FrameComposer::FlipMask(bool horizontal) {
    const std::lock_guard<std::mutex> lock(m_maskLock);
    horizontal ? m_mask.FlipHorizontal() : m_mask.FlipVertical();
}

void FrameComposer::BeginRun(int32_t /*width*/, int32_t height) {
    m_scroll = CloudScroll(2 * height);
}

void FrameComposer::ComposeFrame(int32_t width, int32_t height, bool uyvy) {
    ComposeFrameWith(FastestCpuPath(), width, height, uyvy);
}

void FrameComposer::ComposeFrameWith(CpuPath path, int32_t width, int32_t height, bool uyvy) {
    ApplyPendingAlpha(width, height);
    // A once-only preview request is taken before the settings are read, so it is met
    // by a frame drawn with the change that raised it, not by one already under way.
    const bool once = m_previewOnce.exchange(false);
    const GeneratorSettings settings = m_settings.Snapshot();
    // Without a viewer nothing is shown, and the logo can go into the bands too.
    const bool preview = (once || settings.previewEveryFrame) && m_viewer.load() != nullptr;
    const bool mergeLogoAlpha = settings.logoOn && m_maskApplied.exchange(false);
    // The preview never shows the logo: with the preview on, the logo waits for the
    // whole frame.
    const bool logoInBands = settings.logoOn && !preview;
    // UYVY with nothing to show is drawn band by band into a buffer that stays in the
    // cache and converted from there: no BGRX frame is written at all.
    const bool bandsToUyvy = uyvy && !preview;
    m_storeBehind = bandsToUyvy;
    const bool thumbnail = m_thumbnail.BeginFrame(width, height);
    const GradientParams gradient = GradientOf(settings);
    const ImageBuffer& clouds = m_clouds[settings.cloudSet != 0 ? 1 : 0];
    // Band by band, each layer over a band while it is still in the cache, so that every
    // byte of the frame goes out to memory once.
    for (int32_t first = 0; first < height; first += kBandRows) {
        const int32_t end = std::min(first + kBandRows, height);
        const FrameRows band{first, end, bandsToUyvy ? first : 0};
        uint8_t* target = bandsToUyvy ? m_band.get() : m_store.get();
        RenderGradientRowsWith(path, band, target, width, height, gradient);
        if (settings.cloudsOn) {
            ComposeCloudStripRows(path, band, target, width, height, clouds, m_scroll.Offset());
        }
        if (logoInBands) {
            ComposeLogoRows(path, band, target, width, height, m_logo, mergeLogoAlpha);
        }
        if (bandsToUyvy && thumbnail) {
            m_thumbnail.SampleRows(target, first, end);
        }
        if (bandsToUyvy) {
            ConvertRowsToUyvy(target, width, end - first,
                              m_uyvyStore.get() + static_cast<ptrdiff_t>(first) * width * 2);
        }
    }
    if (settings.cloudsOn) {
        m_scroll.Advance(settings.cloudSpeed);
    }
    if (preview) {
        ShowFrame(width, height);
    }
    if (settings.logoOn && !logoInBands) {
        ComposeLogoRows(path, {0, height}, m_store.get(), width, height, m_logo, mergeLogoAlpha);
    }
    if (thumbnail && !bandsToUyvy) {
        m_thumbnail.SampleRows(m_store.get(), 0, height);
    }
    m_thumbnail.EndFrame();
    if (uyvy && !bandsToUyvy) {
        ConvertToUyvy(width, height);
    }
}

void FrameComposer::ConvertToUyvy(int32_t width, int32_t height) {
    ConvertRowsToUyvy(m_store.get(), width, height, m_uyvyStore.get());
}

void FrameComposer::ShowFrame(int32_t width, int32_t height) {
    if (FrameViewer* viewer = m_viewer.load()) {
        viewer->ShowFrame(m_store.get(), width, height);
    }
}

void FrameComposer::RenderStill(int32_t width, int32_t height) {
    m_storeBehind = false;
    const GeneratorSettings settings = m_settings.Snapshot();
    RenderGradient(m_store.get(), width, height, GradientOf(settings));
    if (settings.cloudsOn) {
        ComposeStillClouds(m_store.get(), width, height, m_clouds[settings.cloudSet != 0 ? 1 : 0]);
    }
    ShowFrame(width, height);
}

void FrameComposer::RenderOnePicture(int32_t width, int32_t height) {
    RenderStill(width, height);
    // Whether or not the logo is on: a re-configure's first frame carries it.
    ComposeLogo(m_store.get(), width, height, m_logo, true);
}

void FrameComposer::SampleStore(int32_t width, int32_t height, int32_t maxWidth) {
    if (m_storeBehind) {
        // Only the UYVY frame holds what was sent last (clouds scrolled, the logo if it
        // was on); a UYVY output has no mask, so the store's alpha is opaque as X is.
        UyvyToBgrx(m_uyvyStore.get(), width, height, m_store.get());
        m_storeBehind = false;
    }
    m_thumbnail.SampleFrame(m_store.get(), width, height, maxWidth);
}

void FrameComposer::ApplyMask(int32_t width, int32_t height, bool invert, bool ownAlpha) {
    const std::lock_guard<std::mutex> lock(m_maskLock);
    m_maskApplied = m_mask.ApplyMaskAlpha(m_store.get(), width, height, invert, ownAlpha);
}

void FrameComposer::WriteAlpha(int32_t width, int32_t height, const GeneratorSettings& settings,
                               bool sending) {
    if (sending) {
        const std::lock_guard<std::mutex> lock(m_maskLock);
        m_alphaPending = true;
        m_alphaPendingUseMask = settings.useMask;
        m_alphaPendingInvert = settings.invertTransparency;
        m_alphaPendingOwnAlpha = settings.useMaskAlpha;
        return;
    }
    if (settings.useMask) {
        ApplyMask(width, height, settings.invertTransparency, settings.useMaskAlpha);
    } else {
        SetFrameOpaque(m_store.get(), width, height);
    }
}

void FrameComposer::ApplyPendingAlpha(int32_t width, int32_t height) {
    const std::lock_guard<std::mutex> lock(m_maskLock);
    if (!m_alphaPending) {
        return;
    }
    m_alphaPending = false;
    if (m_alphaPendingUseMask) {
        m_maskApplied = m_mask.ApplyMaskAlpha(m_store.get(), width, height, m_alphaPendingInvert,
                                              m_alphaPendingOwnAlpha);
    } else {
        SetFrameOpaque(m_store.get(), width, height);
    }
}

void FrameComposer::DropPendingAlpha() {
    const std::lock_guard<std::mutex> lock(m_maskLock);
    m_alphaPending = false;
}
