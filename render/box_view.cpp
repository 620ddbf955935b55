#include "render/box_view.h"

#include "render/resample.h"

#include <new>

BoxRect FitPictureInBox(int32_t bw, int32_t bh, int32_t cw, int32_t ch) {
    BoxRect r;
    if (bw <= 0 || bh <= 0 || cw <= 0 || ch <= 0) {
        return r;
    }
    // Single precision, like the picture box always did; the box's own aspect (16:9 for
    // the dialog's 320 x 180) decides which side fills, so a picture never overflows.
    const float aspect = static_cast<float>(bw) / static_cast<float>(bh);
    const float boxAspect = static_cast<float>(cw) / static_cast<float>(ch);
    if (aspect < boxAspect) {
        r.height = ch;
        r.width = static_cast<int32_t>(static_cast<float>(ch) * aspect);
    } else {
        r.width = cw;
        r.height = static_cast<int32_t>(static_cast<float>(cw) / aspect);
    }
    r.width = r.width < 1 ? 1 : r.width;
    r.height = r.height < 1 ? 1 : r.height;
    r.x = (cw - r.width) >> 1;
    r.y = (ch - r.height) >> 1;
    return r;
}

bool RenderBoxView(const PixelPicture& picture, bool revealAlpha, int32_t cw, int32_t ch,
                   PixelPicture& view) {
    if (!picture.Holds() || cw <= 0 || ch <= 0) {
        return false;
    }
    const BoxRect r = FitPictureInBox(picture.width, picture.height, cw, ch);
    try {
        std::vector<uint8_t> source;
        const std::vector<uint8_t>* shown = &picture.pixels;
        if (revealAlpha && picture.bitsPerPixel == 32) {
            source = picture.pixels;
            for (std::size_t i = 0; i < source.size(); i += 4) {
                source[i] = source[i + 1] = source[i + 2] = source[i + 3];
            }
            shown = &source;
        }
        std::vector<uint8_t> fitted(static_cast<std::size_t>(r.width) * r.height * 4);
        if (!ResamplePicture(shown->data(), picture.width, picture.height, fitted.data(), r.width,
                             r.height)) {
            return false;
        }
        PixelPicture out;
        out.width = cw;
        out.height = ch;
        out.bitsPerPixel = 32;
        out.pixels.assign(static_cast<std::size_t>(cw) * ch * 4, 0);
        for (int32_t y = 0; y < r.height; ++y) {
            for (int32_t x = 0; x < r.width; ++x) {
                const uint8_t* s = fitted.data() + (static_cast<std::size_t>(y) * r.width + x) * 4;
                uint8_t* d =
                    out.pixels.data() + ((static_cast<std::size_t>(r.y) + y) * cw + r.x + x) * 4;
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
            }
        }
        for (std::size_t i = 3; i < out.pixels.size(); i += 4) {
            out.pixels[i] = 255;
        }
        view = std::move(out);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}
