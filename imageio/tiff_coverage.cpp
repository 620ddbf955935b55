#include "imageio/byte_reading.h"
#include "imageio/coverage.h"

#include <algorithm>

namespace imageio {
namespace {

enum Tag : uint16_t {
    kImageWidth = 256,
    kImageLength = 257,
    kBitsPerSample = 258,
    kStripOffsets = 273,
    kSamplesPerPixel = 277,
    kRowsPerStrip = 278,
    kStripByteCounts = 279,
    kPlanarConfiguration = 284,
    kTileWidth = 322,
    kTileLength = 323,
    kTileOffsets = 324,
    kTileByteCounts = 325,
};

// A tag of unsigned integers whose values all lie in the file; `count` 0 when the
// directory lacks it or it is anything else.
struct Field {
    uint64_t count = 0;
    uint64_t at = 0;
    int size = 0;
};

// The first directory of a classic or a BigTIFF file.
class Directory {
public:
    explicit Directory(Bytes d) : m_d(d) {}

    bool Read() {
        if (!Holds(m_d, 0, 16) || m_d[0] != m_d[1] || (m_d[0] != 'I' && m_d[0] != 'M')) {
            return false;
        }
        m_bigEndian = m_d[0] == 'M';
        const uint64_t version = Read(2, 2);
        if (version == 43) { // BigTIFF: 8-byte offsets and counts
            m_wide = true;
            if (Read(4, 2) != 8) {
                return false;
            }
        } else if (version != 42) {
            return false;
        }
        const uint64_t at = Read(m_wide ? 8 : 4, OffsetBytes());
        const int countBytes = m_wide ? 8 : 2;
        if (!Holds(m_d, at, countBytes)) {
            return false;
        }
        m_entries = Read(at, countBytes);
        m_first = at + countBytes;
        return m_entries <= (m_d.size() - m_first) / EntryBytes();
    }

    Field Find(uint16_t tag) const {
        for (uint64_t i = 0; i < m_entries; ++i) {
            const uint64_t entry = m_first + i * EntryBytes();
            if (Read(entry, 2) == tag) {
                return FieldAt(entry);
            }
        }
        return {};
    }

    uint64_t Element(const Field& field, uint64_t index) const {
        return Read(field.at + index * field.size, field.size);
    }

    // The first value of a tag; `fallback` when the directory lacks it.
    uint64_t Value(uint16_t tag, uint64_t fallback) const {
        const Field field = Find(tag);
        return field.count != 0 ? Element(field, 0) : fallback;
    }

private:
    int OffsetBytes() const { return m_wide ? 8 : 4; }
    uint64_t EntryBytes() const { return m_wide ? 20 : 12; }

    uint64_t Read(uint64_t at, int bytes) const {
        return m_bigEndian ? ReadBig(m_d, at, bytes) : ReadLittle(m_d, at, bytes);
    }

    // Values that fit in the entry are kept there; others are where it points.
    Field FieldAt(uint64_t entry) const {
        Field field;
        switch (Read(entry + 2, 2)) {
        case 3: // SHORT
            field.size = 2;
            break;
        case 4:  // LONG
        case 13: // IFD
            field.size = 4;
            break;
        case 16: // LONG8
        case 18: // IFD8
            field.size = 8;
            break;
        default:
            return {};
        }
        const int countBytes = m_wide ? 8 : 4;
        const uint64_t count = Read(entry + 4, countBytes);
        field.at = entry + 4 + countBytes;
        if (count > static_cast<uint64_t>(OffsetBytes() / field.size)) {
            field.at = Read(field.at, OffsetBytes());
        }
        if (count > m_d.size() / field.size || !Holds(m_d, field.at, count * field.size)) {
            return {};
        }
        field.count = count;
        return field;
    }

    Bytes m_d;
    bool m_bigEndian = false;
    bool m_wide = false;
    uint64_t m_entries = 0;
    uint64_t m_first = 0;
};

uint64_t Chunks(uint64_t length, uint64_t chunkLength) {
    return length / chunkLength + (length % chunkLength != 0 ? 1 : 0);
}

// The first `needed` strips or tiles hold data inside the file.
bool ChunksInFile(Bytes d, const Directory& dir, uint16_t offsetsTag, uint16_t countsTag,
                  uint64_t needed) {
    const Field offsets = dir.Find(offsetsTag);
    const Field counts = dir.Find(countsTag);
    if (needed == 0 || offsets.count < needed || counts.count < needed) {
        return false;
    }
    for (uint64_t i = 0; i < needed; ++i) {
        const uint64_t bytes = dir.Element(counts, i);
        if (bytes == 0 || !Holds(d, dir.Element(offsets, i), bytes)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool TiffCovered(Bytes d, const SizeLimit& limit) {
    Directory dir(d);
    if (!dir.Read()) {
        return false;
    }
    const auto width = static_cast<int64_t>(dir.Value(kImageWidth, 0));
    const auto height = static_cast<int64_t>(dir.Value(kImageLength, 0));
    if (!limit.Admits(width, height)) {
        return false;
    }
    // The reader decodes a whole strip or tile at a time, so its size counts too: no
    // more than 16 bytes a pixel (four 32-bit samples), and no strip or tile larger
    // decoded than the largest picture at 16 bits a channel.
    const uint64_t samples = dir.Value(kSamplesPerPixel, 1);
    const uint64_t bitsPerSample = dir.Value(kBitsPerSample, 1);
    if (samples == 0 || bitsPerSample == 0 || samples * bitsPerSample > 128) {
        return false;
    }
    const bool planar = dir.Value(kPlanarConfiguration, 1) == 2;
    const uint64_t planes = planar ? samples : 1;
    const uint64_t chunkPixelBits = planar ? bitsPerSample : samples * bitsPerSample;
    const auto chunkFits = [&](uint64_t chunkWidth, uint64_t rows) {
        return chunkWidth * rows * chunkPixelBits <= static_cast<uint64_t>(limit.maxPixels) * 64;
    };
    if (dir.Find(kTileOffsets).count != 0) {
        const auto tileWidth = static_cast<int64_t>(dir.Value(kTileWidth, 0));
        const auto tileHeight = static_cast<int64_t>(dir.Value(kTileLength, 0));
        return limit.Admits(tileWidth, tileHeight) && chunkFits(tileWidth, tileHeight) &&
               ChunksInFile(d, dir, kTileOffsets, kTileByteCounts,
                            Chunks(width, tileWidth) * Chunks(height, tileHeight) * planes);
    }
    const uint64_t rowsPerStrip = dir.Value(kRowsPerStrip, UINT32_MAX);
    return rowsPerStrip != 0 && chunkFits(width, std::min<uint64_t>(rowsPerStrip, height)) &&
           ChunksInFile(d, dir, kStripOffsets, kStripByteCounts,
                        Chunks(height, rowsPerStrip) * planes);
}

} // namespace imageio
