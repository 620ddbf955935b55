#include "imageio/byte_reading.h"
#include "imageio/coverage.h"

#include <cstring>

namespace imageio {

bool PngCovered(Bytes d, const SizeLimit& limit) {
    // The header chunk comes first: its length (13), type, width and height.
    if (!Holds(d, 8, 25) || std::memcmp(d.data() + 12, "IHDR", 4) != 0 ||
        !limit.Admits(static_cast<int64_t>(ReadBig(d, 16, 4)),
                      static_cast<int64_t>(ReadBig(d, 20, 4)))) {
        return false;
    }
    uint64_t at = 8;
    while (Holds(d, at, 12)) {
        if (std::memcmp(d.data() + at + 4, "IEND", 4) == 0) {
            return true;
        }
        at += 12 + ReadBig(d, at, 4);
    }
    return false;
}

} // namespace imageio
