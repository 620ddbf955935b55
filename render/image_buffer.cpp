#include "render/image_buffer.h"

#include "render/resample.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace {

// The store's byte count must fit ByteSize().
bool StoreSizeFits(int64_t w, int64_t h) {
    return w > 0 && h > 0 && w * h <= std::numeric_limits<int32_t>::max() / 4;
}

LargeMemory NewStore(std::size_t bytes) {
    return AllocateLargeMemory(bytes);
}

uint32_t LoadPixel(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void StorePixel(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

} // namespace

bool ImageBuffer::HoldsPixels() const {
    return m_pixels != nullptr && m_width > 0 && m_height > 0;
}

void ImageBuffer::Empty() {
    m_pixels.reset();
    m_width = 0;
    m_height = 0;
}

void ImageBuffer::TakeStore(ImageBuffer& other) {
    if (&other == this) {
        return;
    }
    m_pixels = std::move(other.m_pixels);
    m_width = other.m_width;
    m_height = other.m_height;
    other.Empty();
}

bool ImageBuffer::Drawable() const {
    return m_loaded && HoldsPixels();
}

bool ImageBuffer::AttachResourceBitmap(uint16_t id, PixelPicture bitmap) {
    if (!bitmap.Holds() || !StoreSizeFits(bitmap.width, bitmap.height)) {
        return false;
    }
    m_resourceBitmap = std::move(bitmap);
    m_resourceId = id;
    Empty();
    const std::size_t bytes = m_resourceBitmap.pixels.size();
    m_pixels = NewStore(bytes);
    if (m_pixels == nullptr) {
        return false;
    }
    std::memcpy(m_pixels.get(), m_resourceBitmap.pixels.data(), bytes);
    m_width = m_resourceBitmap.width;
    m_height = m_resourceBitmap.height;
    m_loaded = true;
    return true;
}

bool ImageBuffer::AttachFileImage(PixelPicture image) {
    if (!image.Holds() || !StoreSizeFits(image.width, image.height)) {
        return false;
    }
    const std::size_t bytes = image.pixels.size();
    auto store = NewStore(bytes);
    if (store == nullptr) {
        return false;
    }
    std::memcpy(store.get(), image.pixels.data(), bytes);
    m_fileImage = std::move(image);
    m_pixels = std::move(store);
    m_width = m_fileImage.width;
    m_height = m_fileImage.height;
    m_loaded = true;
    return true;
}

bool ImageBuffer::ScaleToSize(int32_t w, int32_t h, const PixelPicture& source) {
    if (!StoreSizeFits(w, h) || !source.Holds()) {
        return false;
    }
    const std::size_t bytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4;
    auto store = NewStore(bytes);
    if (store == nullptr ||
        !ResamplePicture(source.pixels.data(), source.width, source.height, store.get(), w, h)) {
        return false;
    }
    m_pixels = std::move(store);
    m_width = w;
    m_height = h;
    if (source.bitsPerPixel != 32) {
        SetOpaque();
    }
    return true;
}

void ImageBuffer::SetOpaque() {
    if (HoldsPixels()) {
        SetFrameOpaque(m_pixels.get(), m_width, m_height);
    }
}

FramePosition PlaceOnFrame(int32_t x, int32_t y, Placement placement, int32_t bw, int32_t bh,
                           int32_t W, int32_t H) {
    switch (placement) {
    case Placement::AsGiven:
        break;
    case Placement::CentredAcross:
        return {(int64_t{W} - bw) / 2, y};
    case Placement::Centred:
        return {(int64_t{W} - bw) / 2, (int64_t{H} - bh) / 2};
    case Placement::CentredAcrossUpFromBottom:
        return {(int64_t{W} - bw) / 2, int64_t{H} - bh - y};
    }
    return {x, y};
}

void ImageBuffer::ComposeOnto(int32_t x, int32_t y, Placement placement, bool mergeAlpha,
                              uint8_t* frame, int32_t W, int32_t H) const {
    ComposeOntoWith(FastestCpuPath(), x, y, placement, mergeAlpha, frame, W, H);
}

void ImageBuffer::ComposeOntoWith(CpuPath path, int32_t x, int32_t y, Placement placement,
                                  bool mergeAlpha, uint8_t* frame, int32_t W, int32_t H) const {
    ComposeRowsOnto(path, {0, H}, {x, y, placement, mergeAlpha, false}, frame, W, H);
}

void ImageBuffer::ComposeRowsOnto(CpuPath path, FrameRows band, const Composition& how,
                                  uint8_t* frame, int32_t W, int32_t H) const {
    if (!Drawable() || frame == nullptr || W <= 0 || H <= 0) {
        return;
    }
    const int32_t x = how.x;
    const int32_t y = how.y;
    const Placement placement = how.placement;
    const bool mergeAlpha = how.mergeAlpha;
    const bool upsideDown = how.upsideDown;
    const FramePosition at = PlaceOnFrame(x, y, placement, m_width, m_height, W, H);
    // Overlap of picture columns [0, bw) placed at at.x with frame columns [0, W).
    const int64_t frameX = std::max<int64_t>(at.x, 0);
    const int64_t pictureX = frameX - at.x;
    const int64_t columns = std::min<int64_t>(at.x + m_width, W) - frameX;
    // ... and of picture rows placed at at.y with the band's rows of the frame.
    const int64_t frameY = std::max<int64_t>({at.y, 0, band.first});
    const int64_t pictureY = frameY - at.y;
    const int64_t rows = std::min<int64_t>({at.y + m_height, H, band.end}) - frameY;
    if (columns <= 0 || rows <= 0) {
        return;
    }
    const std::ptrdiff_t frameStride = static_cast<std::ptrdiff_t>(W) * 4;
    const std::ptrdiff_t pictureStride = static_cast<std::ptrdiff_t>(m_width) * 4;
    // Upside down, placed row k is the picture's row m_height - 1 - k.
    const int64_t firstRow = upsideDown ? m_height - 1 - pictureY : pictureY;
    const std::ptrdiff_t step = upsideDown ? -pictureStride : pictureStride;
    const uint8_t* src = m_pixels.get() + pictureStride * firstRow + 4 * pictureX;
    uint8_t* dst = frame + frameStride * (frameY - band.storedFrom) + 4 * frameX;
    for (int64_t r = 0; r < rows; ++r) {
        BlendRowWith(path, src, dst, static_cast<int32_t>(columns), mergeAlpha);
        src += step;
        dst += frameStride;
    }
}

bool ImageBuffer::ApplyMaskAlpha(uint8_t* frame, int32_t W, int32_t H, bool invert,
                                 bool useOwnAlpha) const {
    if (frame == nullptr || !HoldsPixels() || m_width != W || m_height != H) {
        return false;
    }
    const std::size_t count = static_cast<std::size_t>(W) * static_cast<std::size_t>(H);
    const uint8_t* m = m_pixels.get();
    for (std::size_t i = 0; i < count; ++i) {
        frame[4 * i + 3] =
            MaskAlphaOf(m[4 * i], m[4 * i + 1], m[4 * i + 2], m[4 * i + 3], invert, useOwnAlpha);
    }
    return true;
}

bool ImageBuffer::FlipHorizontal() {
    if (ByteSize() < 16 || !HoldsPixels()) {
        return false;
    }
    for (int32_t r = 0; r < m_height; ++r) {
        uint8_t* row = m_pixels.get() + static_cast<std::size_t>(m_width) * 4 * r;
        for (int32_t j = 0; j < m_width / 2; ++j) {
            uint8_t* left = row + 4 * j;
            uint8_t* right = row + 4 * (m_width - 1 - j);
            const uint32_t l = LoadPixel(left);
            StorePixel(left, LoadPixel(right));
            StorePixel(right, l);
        }
    }
    return true;
}

bool ImageBuffer::FlipVertical() {
    if (ByteSize() < 16 || !HoldsPixels()) {
        return false;
    }
    ReverseRows();
    return true;
}

void ImageBuffer::ReverseRows() {
    const std::size_t stride = static_cast<std::size_t>(m_width) * 4;
    for (int32_t r = 0; r < m_height / 2; ++r) {
        std::swap_ranges(m_pixels.get() + stride * r, m_pixels.get() + stride * (r + 1),
                         m_pixels.get() + stride * (m_height - 1 - r));
    }
}

void SetFrameOpaque(uint8_t* frame, int32_t W, int32_t H) {
    if (frame == nullptr || W <= 0 || H <= 0) {
        return;
    }
    const std::size_t count = static_cast<std::size_t>(W) * static_cast<std::size_t>(H);
    for (std::size_t i = 0; i < count; ++i) {
        frame[4 * i + 3] = 255;
    }
}
