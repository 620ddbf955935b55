#include "imageio/image_decoder.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <algorithm>
#include <new>

namespace {

uint32_t ReadLittle(const QByteArray& d, qsizetype at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        v = (v << 8) | static_cast<uint8_t>(d[at + i]);
    }
    return v;
}

uint32_t ReadBig(const QByteArray& d, qsizetype at, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) {
        v = (v << 8) | static_cast<uint8_t>(d[at + i]);
    }
    return v;
}

// Qt's PNG and TIFF readers fail on missing data by themselves; its JPEG, GIF and BMP
// readers hand back whatever they got, padded. These checks find the end the format
// promises before the picture is decoded.

// Every chunk must be there up to IEND.
bool PngComplete(const QByteArray& d) {
    qsizetype at = 8;
    while (at + 12 <= d.size()) {
        const int64_t length = ReadBig(d, at, 4);
        if (d.mid(at + 4, 4) == "IEND") {
            return true;
        }
        at += 12 + length;
    }
    return false;
}

// Entropy-coded data never holds FF D9 (an FF there is stuffed or a restart marker),
// so the end-of-image marker must follow the last start-of-scan marker.
bool JpegComplete(const QByteArray& d) {
    const qsizetype lastScan = d.lastIndexOf(QByteArray("\xFF\xDA", 2));
    return lastScan >= 0 && d.indexOf(QByteArray("\xFF\xD9", 2), lastScan) > lastScan;
}

// Skips a run of sub-blocks starting at `at`; -1 when the data ends first.
qsizetype SkipSubBlocks(const QByteArray& d, qsizetype at) {
    while (at < d.size()) {
        const uint8_t length = static_cast<uint8_t>(d[at]);
        at += 1 + length;
        if (length == 0) {
            return at;
        }
    }
    return -1;
}

// The block structure must run unbroken to the trailer.
bool GifComplete(const QByteArray& d) {
    if (d.size() < 13) {
        return false;
    }
    const uint8_t screenFlags = static_cast<uint8_t>(d[10]);
    qsizetype at = 13;
    if (screenFlags & 0x80) {
        at += 3 * (qsizetype{2} << (screenFlags & 7));
    }
    while (at >= 0 && at < d.size()) {
        const uint8_t kind = static_cast<uint8_t>(d[at]);
        if (kind == 0x3B) {
            return true;
        }
        if (kind == 0x21) {
            at = SkipSubBlocks(d, at + 2);
        } else if (kind == 0x2C) {
            if (at + 10 > d.size()) {
                return false;
            }
            const uint8_t imageFlags = static_cast<uint8_t>(d[at + 9]);
            at += 10;
            if (imageFlags & 0x80) {
                at += 3 * (qsizetype{2} << (imageFlags & 7));
            }
            at = SkipSubBlocks(d, at + 1); // after the LZW code size
        } else {
            return false;
        }
    }
    return false;
}

// Whether `rows` rows of `width` pixels of `bits` each, padded to four bytes, fit in the
// file after `dataOffset`; by division, since a hostile header overflows the product.
bool RowsFit(const QByteArray& d, int64_t dataOffset, int64_t width, int64_t bits, int64_t rows) {
    const int64_t stride = ((width * bits + 31) / 32) * 4;
    return width > 0 && stride > 0 && dataOffset <= d.size() &&
           rows <= (d.size() - dataOffset) / stride;
}

// Uncompressed rows must all be in the file; a run-length picture must reach its
// end-of-bitmap code.
bool BmpComplete(const QByteArray& d) {
    if (d.size() < 30) {
        return false;
    }
    const int64_t dataOffset = ReadLittle(d, 10, 4);
    const int64_t headerSize = ReadLittle(d, 14, 4);
    if (headerSize == 12) { // the old OS/2 header: 16-bit sizes, never compressed
        return RowsFit(d, dataOffset, ReadLittle(d, 18, 2), ReadLittle(d, 24, 2),
                       ReadLittle(d, 20, 2));
    }
    if (headerSize < 40 || d.size() < 14 + 40 || dataOffset >= d.size()) {
        return false;
    }
    const int64_t width = static_cast<int32_t>(ReadLittle(d, 18, 4));
    const int64_t height =
        std::abs(static_cast<int64_t>(static_cast<int32_t>(ReadLittle(d, 22, 4))));
    const int64_t bits = ReadLittle(d, 28, 2);
    const uint32_t compression = ReadLittle(d, 30, 4);
    if (compression == 1 || compression == 2) {
        const int64_t imageSize = ReadLittle(d, 34, 4);
        const qsizetype end =
            imageSize > 0
                ? static_cast<qsizetype>(std::min<int64_t>(dataOffset + imageSize, d.size()))
                : d.size();
        return end >= 2 && d[end - 2] == 0 && d[end - 1] == 1;
    }
    if (compression != 0 && compression != 3 && compression != 6) {
        return true; // embedded JPEG/PNG and the like: the embedded reader judges
    }
    return RowsFit(d, dataOffset, width, bits, height);
}

bool Complete(const QByteArray& format, const QByteArray& d) {
    if (format == "png") {
        return PngComplete(d);
    }
    if (format == "jpeg" || format == "jpg") {
        return JpegComplete(d);
    }
    if (format == "gif") {
        return GifComplete(d);
    }
    if (format == "bmp") {
        return BmpComplete(d);
    }
    return format == "tiff" || format == "tif";
}

// A GIF is a palette picture of 8 bits a pixel: its transparent index marks no alpha
// channel, so that pixel keeps its palette colour and is opaque like every other.
bool ToPicture(const QImage& decoded, bool paletteOnly, PixelPicture& out) {
    const QImage image = decoded.convertToFormat(QImage::Format_ARGB32);
    if (image.isNull()) {
        return false;
    }
    PixelPicture picture;
    picture.width = image.width();
    picture.height = image.height();
    const bool hasAlpha = !paletteOnly && decoded.hasAlphaChannel();
    picture.bitsPerPixel = paletteOnly ? 8 : hasAlpha ? 32 : 24;
    picture.pixels.resize(static_cast<std::size_t>(picture.width) * picture.height * 4);
    uint8_t* p = picture.pixels.data();
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x, p += 4) {
            p[0] = static_cast<uint8_t>(qBlue(row[x]));
            p[1] = static_cast<uint8_t>(qGreen(row[x]));
            p[2] = static_cast<uint8_t>(qRed(row[x]));
            p[3] = static_cast<uint8_t>(hasAlpha ? qAlpha(row[x]) : 255);
        }
    }
    out = std::move(picture);
    return true;
}

} // namespace

namespace imageio {

bool DecodeImageData(const QByteArray& data, PixelPicture& out) {
    if (data.isEmpty() || data.size() > kMaxFileBytes) {
        return false;
    }
    QByteArray bytes = data; // shared, not copied; QBuffer wants a non-const array
    QBuffer device(&bytes);
    if (!device.open(QIODevice::ReadOnly)) {
        return false;
    }
    QImageReader reader(&device);
    reader.setAutoTransform(false);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format.isEmpty() || !Complete(format, data)) {
        return false;
    }
    const QSize claimed = reader.size();
    if (claimed.isValid() &&
        (claimed.width() <= 0 || claimed.height() <= 0 || claimed.width() > kMaxSide ||
         claimed.height() > kMaxSide || int64_t{claimed.width()} * claimed.height() > kMaxPixels)) {
        return false;
    }
    try {
        const QImage image = reader.read();
        if (image.isNull() || image.width() > kMaxSide || image.height() > kMaxSide ||
            int64_t{image.width()} * image.height() > kMaxPixels) {
            return false;
        }
        return ToPicture(image, format == "gif", out);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool DecodeImageFile(const QString& path, PixelPicture& out) {
    // Opening a pipe or a device can wait for ever (a preset may name any path); only
    // regular files are read.
    if (!QFileInfo(path).isFile()) {
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= 0 || file.size() > kMaxFileBytes) {
        return false;
    }
    const QByteArray data = file.readAll();
    if (data.size() != file.size()) {
        return false;
    }
    return DecodeImageData(data, out);
}

bool LoadImageFile(ImageBuffer& buffer, const QString& path) {
    PixelPicture picture;
    if (!DecodeImageFile(path, picture)) {
        return false;
    }
    return buffer.AttachFileImage(std::move(picture));
}

QImage ToQImage(const PixelPicture& picture) {
    if (!picture.Holds()) {
        return {};
    }
    QImage image(picture.width, picture.height, QImage::Format_ARGB32);
    if (image.isNull()) {
        return {};
    }
    const uint8_t* p = picture.pixels.data();
    for (int y = 0; y < picture.height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < picture.width; ++x, p += 4) {
            row[x] = qRgba(p[2], p[1], p[0], p[3]);
        }
    }
    return image;
}

} // namespace imageio
