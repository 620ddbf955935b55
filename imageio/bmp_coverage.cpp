#include "imageio/byte_reading.h"
#include "imageio/coverage.h"

#include <cstdlib>

namespace imageio {
namespace {

// Whether `rows` rows of `width` pixels of `bits` each, padded to four bytes, fit in the
// file after `dataOffset`; by division, since a hostile header overflows the product.
bool RowsFit(Bytes d, uint64_t dataOffset, int64_t width, int64_t bits, int64_t rows) {
    const int64_t stride = ((width * bits + 31) / 32) * 4;
    return stride > 0 && dataOffset <= d.size() &&
           static_cast<uint64_t>(rows) <= (d.size() - dataOffset) / static_cast<uint64_t>(stride);
}

// Walks the run-length codes from `at`. Rows are counted, not pixels: a run or a
// literal stays on its row, and the codes may end the bitmap early only once they
// reach the last row. What follows the end code (padding the stated size may
// include) is not looked at.
bool RunsCover(Bytes d, uint64_t at, int64_t rows, bool fourBit) {
    int64_t row = 0;
    while (Holds(d, at, 2)) {
        const uint8_t count = d[at];
        const uint8_t value = d[at + 1];
        at += 2;
        if (count != 0) {
            continue; // a run of one value
        }
        if (value == 0) { // end of line
            ++row;
        } else if (value == 1) { // end of bitmap
            return row >= rows - 1;
        } else if (value == 2) { // a move right and up
            if (!Holds(d, at, 2)) {
                return false;
            }
            row += d[at + 1];
            at += 2;
        } else { // `value` literal pixels, padded to a 16-bit boundary
            const uint64_t bytes = fourBit ? (value + 1u) / 2 : value;
            at += (bytes + 1) & ~uint64_t{1};
        }
    }
    return false;
}

} // namespace

bool BmpCovered(Bytes d, const SizeLimit& limit) {
    if (!Holds(d, 0, 30)) {
        return false;
    }
    const uint64_t dataOffset = ReadLittle(d, 10, 4);
    const uint64_t headerSize = ReadLittle(d, 14, 4);
    if (headerSize == 12) { // the old OS/2 header: 16-bit sizes, never compressed
        const auto width = static_cast<int64_t>(ReadLittle(d, 18, 2));
        const auto height = static_cast<int64_t>(ReadLittle(d, 20, 2));
        return limit.Admits(width, height) &&
               RowsFit(d, dataOffset, width, static_cast<int64_t>(ReadLittle(d, 24, 2)), height);
    }
    if (headerSize < 40 || !Holds(d, 14, 40) || dataOffset >= d.size()) {
        return false;
    }
    const int64_t width = static_cast<int32_t>(ReadLittle(d, 18, 4));
    const int64_t height = std::abs(int64_t{static_cast<int32_t>(ReadLittle(d, 22, 4))});
    const auto bits = static_cast<int64_t>(ReadLittle(d, 28, 2));
    const uint64_t compression = ReadLittle(d, 30, 4);
    if (!limit.Admits(width, height)) {
        return false;
    }
    if (compression == 1 || compression == 2) {
        return bits == (compression == 1 ? 8 : 4) &&
               RunsCover(d, dataOffset, height, compression == 2);
    }
    if (compression != 0 && compression != 3 && compression != 6) {
        return true; // embedded JPEG/PNG and the like: the embedded reader judges
    }
    return RowsFit(d, dataOffset, width, bits, height);
}

} // namespace imageio
