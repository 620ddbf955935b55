#pragma once

#include "render/pixel_picture.h"

#include <cstdint>

// Where a bw x bh picture is drawn in a cw x ch picture box: as large as fits, aspect
// kept, centred.
struct BoxRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};
BoxRect FitPictureInBox(int32_t bw, int32_t bh, int32_t cw, int32_t ch);

// The picture box's view of `picture`: a cw x ch opaque picture, black outside the fitted
// rectangle. With `revealAlpha` a picture that has its own alpha (32 bits) is shown as a
// grey picture of that alpha; any other picture is shown as itself. False, `view`
// untouched, for an empty picture or box.
bool RenderBoxView(const PixelPicture& picture, bool revealAlpha, int32_t cw, int32_t ch,
                   PixelPicture& view);
