#pragma once

#include <cstdint>
#include <span>

// Checks on a file's bytes before a reader decodes it: the picture is no larger than
// the limit and the file holds pixel data for all of it. Readers that meet missing
// data pad the picture and report success, and take memory for whatever size the
// header claims, so a file is refused unless both hold. In doubt, refuse.
namespace imageio {

using Bytes = std::span<const uint8_t>;

struct SizeLimit {
    int64_t maxSide = 0;
    int64_t maxPixels = 0;

    bool Admits(int64_t width, int64_t height) const {
        return width > 0 && height > 0 && width <= maxSide && height <= maxSide &&
               width * height <= maxPixels;
    }
};

// Every chunk up to IEND; the compressed data itself is judged by the reader, which
// fails on a short stream.
bool PngCovered(Bytes data, const SizeLimit& limit);
// The first image, the one that is decoded, covers the logical screen and its LZW data
// yield an index for each of its pixels; what follows it is not looked at.
bool GifCovered(Bytes data, const SizeLimit& limit);
// Uncompressed rows all in the file; run-length codes reach the last row and then the
// end-of-bitmap code.
bool BmpCovered(Bytes data, const SizeLimit& limit);
// The scans decode to the end of the image without a warning.
bool JpegCovered(Bytes data, const SizeLimit& limit);
// The first directory's strips or tiles cover the picture and lie inside the file.
bool TiffCovered(Bytes data, const SizeLimit& limit);

} // namespace imageio
