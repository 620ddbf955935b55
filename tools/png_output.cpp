#include "tools/png_output.h"

#include <QImage>
#include <QString>

bool SavePng(const uint8_t* pixels, int32_t width, int32_t height, bool opaque, const char* file) {
    // Blue, green, red, alpha bytes are a little-endian 0xAARRGGBB: straight (not
    // premultiplied) ARGB32, which the PNG writer keeps byte for byte.
    const QImage image(pixels, width, height, 4 * width,
                       opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    return image.save(QString::fromLocal8Bit(file), "PNG");
}
