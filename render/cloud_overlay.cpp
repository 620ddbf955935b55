#include "render/cloud_overlay.h"

void ComposeCloudStrip(uint8_t* frame, int32_t W, int32_t H, const ImageBuffer& picture,
                       int32_t offset) {
    if (H <= 0) {
        return;
    }
    const int32_t length = 2 * H;
    const int32_t o = AdvanceCloudOffset(offset, 0, length);
    if (o > H) {
        picture.ComposeUpsideDownOnto(0, H - o, Placement::CentredAcross, frame, W, H);
        picture.ComposeOnto(0, length - o, Placement::CentredAcross, false, frame, W, H);
    } else {
        picture.ComposeOnto(0, -o, Placement::CentredAcross, false, frame, W, H);
        if (o != 0) {
            picture.ComposeUpsideDownOnto(0, H - o, Placement::CentredAcross, frame, W, H);
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
    logo.ComposeOnto(20, H / 60, Placement::CentredAcrossUpFromBottom, mergeAlpha, frame, W, H);
}
