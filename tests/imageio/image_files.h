#pragma once

// Image files made in memory for the decoder tests.

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <algorithm>
#include <cstdint>
#include <vector>

inline QByteArray Encode(const QImage& image, const char* format, int quality = -1) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return data;
}

// Colours varying by column and row; with `alpha`, a ramp from transparent at the left
// to opaque at the right.
inline QImage Pattern(int w, int h, bool alpha) {
    QImage image(w, h, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.setPixel(x, y,
                           qRgba((x * 37) & 255, (y * 11) & 255, (x ^ y) & 255,
                                 alpha ? (x * 255) / (w - 1) : 255));
        }
    }
    return image;
}

inline uint32_t Crc32(const QByteArray& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (char c : bytes) {
        crc ^= static_cast<uint8_t>(c);
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

inline void PutBig32(QByteArray& d, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        d.append(static_cast<char>(v >> shift));
    }
}

inline void PutLittle16(QByteArray& d, uint16_t v) {
    d.append(static_cast<char>(v));
    d.append(static_cast<char>(v >> 8));
}

inline void PutLittle32(QByteArray& d, uint32_t v) {
    PutLittle16(d, static_cast<uint16_t>(v));
    PutLittle16(d, static_cast<uint16_t>(v >> 16));
}

// A 24-bit BMP with the old 12-byte (OS/2) header; pixel (x, y) is colour(x, y) as
// 0xRRGGBB, rows stored bottom up and padded to four bytes.
template <typename Colour> QByteArray Os2Bmp(int width, int height, Colour colour) {
    const int stride = (width * 3 + 3) / 4 * 4;
    QByteArray d("BM", 2);
    PutLittle32(d, static_cast<uint32_t>(14 + 12 + stride * height));
    PutLittle32(d, 0);
    PutLittle32(d, 14 + 12); // where the pixels start
    PutLittle32(d, 12);
    PutLittle16(d, static_cast<uint16_t>(width));
    PutLittle16(d, static_cast<uint16_t>(height));
    PutLittle16(d, 1);  // planes
    PutLittle16(d, 24); // bits per pixel
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t c = colour(x, y);
            d.append(static_cast<char>(c));
            d.append(static_cast<char>(c >> 8));
            d.append(static_cast<char>(c >> 16));
        }
        d.append(QByteArray(stride - width * 3, '\0'));
    }
    return d;
}

// A PNG whose header claims width x height, with one tiny (and far too short) IDAT.
inline QByteArray PngClaiming(uint32_t width, uint32_t height) {
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    auto chunk = [&](const char* type, const QByteArray& body) {
        PutBig32(png, static_cast<uint32_t>(body.size()));
        QByteArray typed(type);
        typed.append(body);
        png.append(typed);
        PutBig32(png, Crc32(typed));
    };
    QByteArray header;
    PutBig32(header, width);
    PutBig32(header, height);
    header.append(QByteArray("\x08\x06\x00\x00\x00", 5)); // 8-bit RGBA
    chunk("IHDR", header);
    chunk("IDAT", QByteArray("\x78\x9c\x63\x00\x00\x00\x01\x00\x01", 9));
    chunk("IEND", QByteArray());
    return png;
}

// A GIF of `indices` into a palette of (r, g, b) triples, LZW-coded with a clear code
// before the table would need wider codes, so every code is a 9-bit literal.
inline QByteArray Gif(int width, int height, const std::vector<uint8_t>& indices,
                      const std::vector<uint32_t>& palette256, int transparentIndex,
                      int claimedWidth = 0, int claimedHeight = 0) {
    QByteArray gif("GIF89a");
    const int cw = claimedWidth ? claimedWidth : width;
    const int ch = claimedHeight ? claimedHeight : height;
    PutLittle16(gif, static_cast<uint16_t>(cw));
    PutLittle16(gif, static_cast<uint16_t>(ch));
    gif.append(static_cast<char>(0xF7)); // global table of 256 entries
    gif.append('\0');
    gif.append('\0');
    for (int i = 0; i < 256; ++i) {
        const uint32_t c = i < static_cast<int>(palette256.size()) ? palette256[i] : 0;
        gif.append(static_cast<char>(c >> 16));
        gif.append(static_cast<char>(c >> 8));
        gif.append(static_cast<char>(c));
    }
    if (transparentIndex >= 0) {
        gif.append(QByteArray("\x21\xF9\x04\x01\x00\x00", 6));
        gif.append(static_cast<char>(transparentIndex));
        gif.append('\0');
    }
    gif.append(',');
    PutLittle16(gif, 0);
    PutLittle16(gif, 0);
    PutLittle16(gif, static_cast<uint16_t>(cw));
    PutLittle16(gif, static_cast<uint16_t>(ch));
    gif.append('\0');
    gif.append('\x08'); // LZW minimum code size
    QByteArray codes;
    uint32_t bits = 0;
    int count = 0;
    auto put = [&](uint32_t code) {
        bits |= code << count;
        count += 9;
        while (count >= 8) {
            codes.append(static_cast<char>(bits & 0xFF));
            bits >>= 8;
            count -= 8;
        }
    };
    put(256);
    for (std::size_t i = 0; i < indices.size(); ++i) {
        if (i > 0 && i % 250 == 0) {
            put(256);
        }
        put(indices[i]);
    }
    put(257);
    if (count > 0) {
        codes.append(static_cast<char>(bits & 0xFF));
    }
    for (qsizetype at = 0; at < codes.size(); at += 255) {
        const QByteArray block = codes.mid(at, 255);
        gif.append(static_cast<char>(block.size()));
        gif.append(block);
    }
    gif.append('\0');
    gif.append(';');
    return gif;
}

// An 8-bit run-length BMP (bottom-up) with a palette of grey levels 0..paletteSize-1 and
// the given codes. `statedSize` is written as the image size; 0 writes the codes' size.
inline QByteArray RleBmp(int width, int height, const QByteArray& codes, int paletteSize = 256,
                         uint32_t statedSize = 0) {
    const uint32_t dataOffset = 14 + 40 + 4 * paletteSize;
    QByteArray d("BM", 2);
    PutLittle32(d, dataOffset + static_cast<uint32_t>(codes.size()));
    PutLittle32(d, 0);
    PutLittle32(d, dataOffset);
    PutLittle32(d, 40);
    PutLittle32(d, static_cast<uint32_t>(width));
    PutLittle32(d, static_cast<uint32_t>(height));
    PutLittle16(d, 1); // planes
    PutLittle16(d, 8); // bits per pixel
    PutLittle32(d, 1); // run-length, 8 bits
    PutLittle32(d, statedSize != 0 ? statedSize : static_cast<uint32_t>(codes.size()));
    PutLittle32(d, 2835);
    PutLittle32(d, 2835);
    PutLittle32(d, static_cast<uint32_t>(paletteSize));
    PutLittle32(d, 0);
    for (int i = 0; i < paletteSize; ++i) {
        PutLittle32(d, static_cast<uint32_t>(i) * 0x010101u);
    }
    d.append(codes);
    return d;
}

// Run-length codes for rows `from` (the bottom row is 0) up to `to`, exclusive: row y is
// one run of grey 30y (width at most 255), ended by an end of line.
inline QByteArray RleRows(int width, int from, int to) {
    QByteArray codes;
    for (int y = from; y < to; ++y) {
        codes.append(static_cast<char>(width));
        codes.append(static_cast<char>(30 * y));
        codes.append(QByteArray("\0\0", 2));
    }
    return codes;
}

// An uncompressed 8-bit grey TIFF (little-endian, directory first) whose pixel (x, y)
// is x + 2y, in strips of `rowsPerStrip` rows, at least two. Only the first `strips` are
// written (0: all). The width is at byte 18, the height at 30, the strips' offsets and
// byte counts from 122.
inline QByteArray GreyTiff(int width, int height, int rowsPerStrip, int strips = 0) {
    const int written = strips != 0 ? strips : (height + rowsPerStrip - 1) / rowsPerStrip;
    const uint32_t arrays = 8 + 2 + 9 * 12 + 4;
    QByteArray d("II*\0", 4);
    PutLittle32(d, 8);
    PutLittle16(d, 9);
    const uint32_t entries[9][4] = {{256, 4, 1, static_cast<uint32_t>(width)},
                                    {257, 4, 1, static_cast<uint32_t>(height)},
                                    {258, 3, 1, 8},
                                    {259, 3, 1, 1},
                                    {262, 3, 1, 1},
                                    {273, 4, static_cast<uint32_t>(written), arrays},
                                    {277, 3, 1, 1},
                                    {278, 4, 1, static_cast<uint32_t>(rowsPerStrip)},
                                    {279, 4, static_cast<uint32_t>(written), arrays + 4 * written}};
    for (const auto& e : entries) {
        PutLittle16(d, static_cast<uint16_t>(e[0]));
        PutLittle16(d, static_cast<uint16_t>(e[1]));
        PutLittle32(d, e[2]);
        PutLittle32(d, e[3]);
    }
    PutLittle32(d, 0);
    QByteArray pixels;
    for (int s = 0; s < written; ++s) {
        PutLittle32(d, arrays + 8 * written + static_cast<uint32_t>(pixels.size()));
        for (int y = s * rowsPerStrip; y < std::min(height, (s + 1) * rowsPerStrip); ++y) {
            for (int x = 0; x < width; ++x) {
                pixels.append(static_cast<char>(x + 2 * y));
            }
        }
    }
    for (int s = 0; s < written; ++s) {
        PutLittle32(d, static_cast<uint32_t>(
                           width * (std::min(height, (s + 1) * rowsPerStrip) - s * rowsPerStrip)));
    }
    return d + pixels;
}
