#pragma once

#include "render/blend.h"
#include "render/frame_rows.h"
#include "render/large_memory.h"
#include "render/pixel_picture.h"

#include <cstdint>
#include <memory>
#include <string>

// How ComposeOnto reads its (x, y).
enum class Placement {
    AsGiven,                   // the picture's top-left corner at (x, y)
    CentredAcross,             // centred across, y as given
    Centred,                   // centred both ways, (x, y) ignored
    CentredAcrossUpFromBottom, // centred across, its bottom edge y rows above the frame's
};

// One picture that is drawn into, or applied to, the output frame: a cloud picture,
// the logo or the alpha mask. The source it came from is kept
// (`m_resourceBitmap` or `m_fileImage`) and every rescale starts again from it, so
// repeated re-configures never degrade the picture. The pixel store is 4 bytes a pixel
// (B, G, R, A), rows packed, exactly m_width x m_height.
//
// The fields are read directly by the window; the operations keep them consistent.
class ImageBuffer {
public:
    int32_t m_width = 0;
    int32_t m_height = 0;
    std::string m_fileTitle; // UTF-8, set by the callers of the file load
    std::string m_filePath;
    PixelPicture m_fileImage;      // the decoded image file; empty until one loads
    PixelPicture m_resourceBitmap; // the program's own picture; empty until one loads
    int32_t m_resourceId = 0;
    LargeMemory m_pixels;
    bool m_loaded = false; // once the store has held a picture; never reset

    // Takes a decoded resource picture as the kept source and fills the store from it at
    // its own size. A picture that holds nothing is refused and changes nothing.
    bool AttachResourceBitmap(uint16_t id, PixelPicture bitmap);

    // Takes a decoded image file as the kept source and fills the store from it at its
    // own size. On any failure the previous file image and store stay as they were.
    bool AttachFileImage(PixelPicture image);

    // Rebuilds the store as the whole of `source` stretched to w x h (the aspect is not
    // kept). A source with alpha keeps it, stretched like the colours; a source without
    // comes out opaque. On failure (a size that is not positive or too large, an empty
    // source, no memory) false, and the buffer is unchanged.
    bool ScaleToSize(int32_t w, int32_t h, const PixelPicture& source);

    // The store of `other` (rescaled there, say, while this buffer was in use) becomes
    // this buffer's; `other` is left without one. Kept sources and names stay as they are.
    void TakeStore(ImageBuffer& other);

    // Alpha 255 in every pixel of the store; colours kept.
    void SetOpaque();

    bool Drawable() const;
    int32_t ByteSize() const { return 4 * m_width * m_height; }

    // Blends the picture over the frame (W x H pixels, rows packed) at the position the
    // placement gives (see PlaceOnFrame), clipped to the frame.
    void ComposeOnto(int32_t x, int32_t y, Placement placement, bool mergeAlpha, uint8_t* frame,
                     int32_t W, int32_t H) const;
    void ComposeOntoWith(CpuPath path, int32_t x, int32_t y, Placement placement, bool mergeAlpha,
                         uint8_t* frame, int32_t W, int32_t H) const;
    // How a picture goes onto the frame: where, with or without the alpha merge, and
    // whether turned upside down (as if composed from a flipped copy of it, so that the
    // clouds' mirrored half needs no store of its own).
    struct Composition {
        int32_t x;
        int32_t y;
        Placement placement;
        bool mergeAlpha;
        bool upsideDown;
    };
    // Only the frame rows of `band`, each exactly as a composition of the whole frame
    // leaves it.
    void ComposeRowsOnto(CpuPath path, FrameRows band, const Composition& how, uint8_t* frame,
                         int32_t W, int32_t H) const;

    // Writes the frame's alpha bytes from this picture: its brightness
    // (59 G + 30 R + 11 B) / 100, or its own alpha with `useOwnAlpha`, inverted with
    // `invert`. The colour bytes are not touched. False, frame untouched, unless the
    // store holds a picture of exactly W x H.
    bool ApplyMaskAlpha(uint8_t* frame, int32_t W, int32_t H, bool invert, bool useOwnAlpha) const;

    // Mirror the store left to right / top to bottom; nothing happens to a store of fewer
    // than four pixels' bytes (false). The kept source is not touched.
    bool FlipHorizontal();
    bool FlipVertical();

private:
    bool HoldsPixels() const;
    void Empty();
    void ReverseRows();
};

// Where ComposeOnto puts a bw x bh picture on a W x H frame for (x, y). Integer division
// truncates toward zero.
struct FramePosition {
    int64_t x;
    int64_t y;
};
FramePosition PlaceOnFrame(int32_t x, int32_t y, Placement placement, int32_t bw, int32_t bh,
                           int32_t W, int32_t H);

// Alpha 255 in the first W x H pixels of the frame, colours kept.
void SetFrameOpaque(uint8_t* frame, int32_t W, int32_t H);

// The alpha a mask pixel gives (see ApplyMaskAlpha).
constexpr uint8_t MaskAlphaOf(uint8_t blue, uint8_t green, uint8_t red, uint8_t alpha, bool invert,
                              bool useOwnAlpha) {
    const int v = useOwnAlpha ? alpha : (59 * green + 30 * red + 11 * blue) / 100;
    return static_cast<uint8_t>(invert ? 255 - v : v);
}
