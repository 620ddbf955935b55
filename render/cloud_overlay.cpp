#include "render/cloud_overlay.h"

void ComposeCloudStrip(uint8_t* frame, int32_t W, int32_t H, const ImageBuffer& picture,
                       int32_t offset) {
    ComposeCloudStripRows(FastestCpuPath(), {0, H}, frame, W, H, picture, offset);
}

void ComposeCloudStripRows(CpuPath path, FrameRows band, uint8_t* frame, int32_t W, int32_t H,
                           const ImageBuffer& picture, int32_t offset) {
    if (H <= 0) {
        return;
    }
    const int32_t length = 2 * H;
    const int32_t o = AdvanceCloudOffset(offset, 0, length);
    auto compose = [&](int32_t y, bool upsideDown) {
        picture.ComposeRowsOnto(path, band, {0, y, Placement::CentredAcross, false, upsideDown},
                                frame, W, H);
    };
    if (o > H) {
        compose(H - o, true);
        compose(length - o, false);
    } else {
        compose(-o, false);
        if (o != 0) {
            compose(H - o, true);
        }
    }
}

int32_t AdvanceCloudOffset(int32_t offset, int32_t speed, int32_t length) {
    if (length <= 0) {
        return 0;
    }
    // Any offset and speed land in range, not just those a step of -4..4 can reach.
    const int64_t moved = (int64_t{offset} + speed) % length;
    return static_cast<int32_t>(moved < 0 ? moved + length : moved);
}

void ComposeStillClouds(uint8_t* frame, int32_t W, int32_t H, const ImageBuffer& picture) {
    picture.ComposeOnto(0, 0, Placement::Centred, false, frame, W, H);
}

void ComposeLogo(uint8_t* frame, int32_t W, int32_t H, const ImageBuffer& logo, bool mergeAlpha) {
    ComposeLogoRows(FastestCpuPath(), {0, H}, frame, W, H, logo, mergeAlpha);
}

void ComposeLogoRows(CpuPath path, FrameRows band, uint8_t* frame, int32_t W, int32_t H,
                     const ImageBuffer& logo, bool mergeAlpha) {
    logo.ComposeRowsOnto(path, band,
                         {20, H / 60, Placement::CentredAcrossUpFromBottom, mergeAlpha, false},
                         frame, W, H);
}
