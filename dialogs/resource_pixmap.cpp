#include "dialogs/resource_pixmap.h"

#include "resources/pictures.h"

#include <QImage>
#include <cstring>

QPixmap ResourcePixmap(uint16_t id) {
    PixelPicture picture;
    if (!LoadResourcePicture(id, picture) || !picture.Holds()) {
        return QPixmap();
    }
    // B, G, R, A bytes with straight alpha are what ARGB32 holds on a little-endian
    // machine; 24-bit pictures have alpha 255 throughout.
    const QImage::Format format =
        picture.bitsPerPixel == 32 ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    QImage image(picture.width, picture.height, format);
    if (image.isNull()) {
        return QPixmap();
    }
    const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * 4;
    for (int32_t y = 0; y < picture.height; ++y) {
        const uint8_t* src = picture.pixels.data() + rowBytes * static_cast<std::size_t>(y);
        uint8_t* dst = image.scanLine(y);
        for (std::size_t x = 0; x < rowBytes; x += 4) {
            const uint32_t pixel =
                static_cast<uint32_t>(src[x]) | static_cast<uint32_t>(src[x + 1]) << 8 |
                static_cast<uint32_t>(src[x + 2]) << 16 | static_cast<uint32_t>(src[x + 3]) << 24;
            std::memcpy(dst + x, &pixel, 4);
        }
    }
    return QPixmap::fromImage(image);
}
