#include "render/cloud_overlay.h"

void ComposeCloudStrip(uint8_t* frame, int32_t W, int32_t H, const ImageBuffer& picture,
                       const ImageBuffer& flipped, int32_t offset) {
    if (H <= 0) {
        return;
    }
    const int32_t length = 2 * H;
    const int32_t o = AdvanceCloudOffset(offset, 0, length);
    constexpr int32_t kCentredAcross = 1;
    if (o > H) {
        flipped.ComposeOnto(0, H - o, kCentredAcross, false, frame, W, H);
        picture.ComposeOnto(0, length - o, kCentredAcross, false, frame, W, H);
    } else {
        picture.ComposeOnto(0, -o, kCentredAcross, false, frame, W, H);
        if (o != 0) {
            flipped.ComposeOnto(0, H - o, kCentredAcross, false, frame, W, H);
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
    constexpr int32_t kCentred = 3;
    picture.ComposeOnto(0, 0, kCentred, false, frame, W, H);
}

void ComposeLogo(uint8_t* frame, int32_t W, int32_t H, const ImageBuffer& logo, bool mergeAlpha) {
    constexpr int32_t kCentredAcrossFromBottom = 5;
    logo.ComposeOnto(20, H / 60, kCentredAcrossFromBottom, mergeAlpha, frame, W, H);
}
