#include "imageio/byte_reading.h"
#include "imageio/coverage.h"

#include <array>
#include <cstring>

namespace imageio {
namespace {

constexpr int kMaxCodeBits = 12;
constexpr uint32_t kTableSize = uint32_t{1} << kMaxCodeBits;

// Size of a colour table announced by `flags`, in bytes.
uint64_t PaletteBytes(uint8_t flags) {
    return (flags & 0x80) != 0 ? 3 * (uint64_t{2} << (flags & 7)) : 0;
}

// Skips a run of sub-blocks starting at `at`; false when the data end first.
bool SkipSubBlocks(Bytes d, uint64_t& at) {
    while (Holds(d, at, 1)) {
        const uint8_t length = d[at];
        at += 1 + length;
        if (length == 0) {
            return true;
        }
    }
    return false;
}

// The LZW codes of one image, least significant bit first, across its sub-blocks.
class CodeReader {
public:
    CodeReader(Bytes d, uint64_t at) : m_d(d), m_at(at) {}

    // False when the sub-blocks or the file end first.
    bool Next(int width, uint32_t& code) {
        while (m_count < width) {
            if (m_blockLeft == 0) {
                if (!Holds(m_d, m_at, 1) || m_d[m_at] == 0) {
                    return false;
                }
                m_blockLeft = m_d[m_at++];
            }
            if (!Holds(m_d, m_at, 1)) {
                return false;
            }
            m_bits |= uint32_t{m_d[m_at++]} << m_count;
            m_count += 8;
            --m_blockLeft;
        }
        code = m_bits & ((uint32_t{1} << width) - 1);
        m_bits >>= width;
        m_count -= width;
        return true;
    }

private:
    Bytes m_d;
    uint64_t m_at;
    uint32_t m_blockLeft = 0;
    uint32_t m_bits = 0;
    int m_count = 0;
};

// Whether the LZW data at `at` yield at least `needed` indices. Only the length of each
// table entry is kept, not its pixels; a code the table cannot hold ends the count,
// as it ends a decoder's output.
bool YieldsAtLeast(Bytes d, uint64_t at, int minCodeBits, int64_t needed) {
    const uint32_t clear = uint32_t{1} << minCodeBits;
    std::array<uint16_t, kTableSize> length{};
    for (uint32_t i = 0; i < clear; ++i) {
        length[i] = 1;
    }
    CodeReader reader(d, at);
    int width = minCodeBits + 1;
    uint32_t next = clear + 2;
    uint32_t previous = 0;
    bool hasPrevious = false;
    int64_t yielded = 0;
    uint32_t code = 0;
    while (yielded < needed && reader.Next(width, code)) {
        if (code == clear) {
            width = minCodeBits + 1;
            next = clear + 2;
            hasPrevious = false;
            continue;
        }
        if (code == clear + 1 || code > next || (!hasPrevious && code >= clear)) {
            break;
        }
        if (hasPrevious) {
            const uint32_t added = length[previous] + 1u;
            yielded += code == next ? added : length[code];
            if (next < kTableSize) {
                length[next++] = static_cast<uint16_t>(added);
            }
        } else {
            yielded += 1;
        }
        if (next == (uint32_t{1} << width) && width < kMaxCodeBits) {
            ++width;
        }
        previous = code;
        hasPrevious = true;
    }
    return yielded >= needed;
}

} // namespace

bool GifCovered(Bytes d, const SizeLimit& limit) {
    if (!Holds(d, 0, 13) || std::memcmp(d.data(), "GIF", 3) != 0) {
        return false;
    }
    const int64_t screenWidth = static_cast<int64_t>(ReadLittle(d, 6, 2));
    const int64_t screenHeight = static_cast<int64_t>(ReadLittle(d, 8, 2));
    uint64_t at = 13 + PaletteBytes(d[10]);
    while (Holds(d, at, 1)) {
        const uint8_t kind = d[at];
        if (kind == 0x21) { // an extension: its label, then sub-blocks
            at += 2;
            if (!SkipSubBlocks(d, at)) {
                return false;
            }
            continue;
        }
        if (kind != 0x2C || !Holds(d, at, 10)) {
            return false; // the trailer before any image, or no block at all
        }
        const uint64_t left = ReadLittle(d, at + 1, 2);
        const uint64_t top = ReadLittle(d, at + 3, 2);
        const int64_t width = static_cast<int64_t>(ReadLittle(d, at + 5, 2));
        const int64_t height = static_cast<int64_t>(ReadLittle(d, at + 7, 2));
        // The reader paints the first image on a canvas of the screen's size; any part
        // it leaves out would be made up.
        if (left != 0 || top != 0 || width < screenWidth || height < screenHeight ||
            !limit.Admits(width, height)) {
            return false;
        }
        at += 10 + PaletteBytes(d[at + 9]);
        if (!Holds(d, at, 1) || d[at] < 1 || d[at] >= kMaxCodeBits) {
            return false;
        }
        return YieldsAtLeast(d, at + 1, d[at], width * height);
    }
    return false;
}

} // namespace imageio
