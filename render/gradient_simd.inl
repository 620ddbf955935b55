// The fixed-point row writer, compiled once per instruction set by the file that
// includes it after defining SKYFILL_VECTOR_BYTES (16, 32 or 64). Everything here has internal linkage so that no instantiation built
// for a wider instruction set can be picked by the linker for a narrower caller.

#include "render/gradient_rows.h"

#include <cstring>
#include <utility>

namespace {

using gradient_detail::FixedRow;

struct FixedRowKernel {
    // GCC ignores a vector_size that depends on a template parameter, hence the macro.
    typedef uint64_t U64 __attribute__((vector_size(SKYFILL_VECTOR_BYTES)));
    typedef uint32_t U32 __attribute__((vector_size(SKYFILL_VECTOR_BYTES)));
    static constexpr int Lanes = SKYFILL_VECTOR_BYTES / 8;
    static constexpr int kPixels = 2 * Lanes;

    static U32 Reversed(U32 v) {
        constexpr U32 order = []<std::size_t... I>(std::index_sequence<I...>) {
            return U32{static_cast<uint32_t>(kPixels - 1 - static_cast<int>(I))...};
        }(std::make_index_sequence<kPixels>{});
        return __builtin_shuffle(v, order);
    }

    static void Put(uint32_t* dst, U32 colours) {
        U32 old;
        std::memcpy(&old, dst, sizeof old);
        const U32 merged = colours | (old & 0xFF000000u);
        std::memcpy(dst, &merged, sizeof merged);
    }

    // Channel byte 6 of each lane moved to byte 0, 1, 2 of the lane's low half.
    static U64 Pack(const U64 (&f)[3]) {
        return (f[0] >> 48) | ((f[1] >> 40) & 0xFF00u) | ((f[2] >> 32) & 0xFF0000u);
    }

    static void PutScalar(uint32_t* dst, uint32_t colour) {
        uint32_t old;
        std::memcpy(&old, dst, sizeof old);
        old = (old & 0xFF000000u) | colour;
        std::memcpy(dst, &old, sizeof old);
    }

    static void Row(const FixedRow& row, uint32_t* top, uint32_t* bottom, int32_t blockWidth,
                    int32_t frameWidth, bool mirrorX) {
        // Even pixels in one vector, odd in another: after packing, the odd lanes
        // shifted into the high halves interleave into pixel order.
        U64 even[3];
        U64 odd[3];
        U64 step[3];
        for (int k = 0; k < 3; ++k) {
            for (int i = 0; i < Lanes; ++i) {
                even[k][i] = row.start[k] + static_cast<uint64_t>(2 * i) * row.step[k];
                odd[k][i] = row.start[k] + static_cast<uint64_t>(2 * i + 1) * row.step[k];
            }
            step[k] = U64{} + static_cast<uint64_t>(kPixels) * row.step[k];
        }
        int32_t x = 0;
        for (; x + kPixels <= blockWidth; x += kPixels) {
            const U32 colours = __builtin_bit_cast(U32, Pack(even) | (Pack(odd) << 32));
            Put(top + x, colours);
            if (bottom != nullptr) {
                Put(bottom + x, colours);
            }
            if (mirrorX) {
                const U32 mirrored = Reversed(colours);
                Put(top + frameWidth - x - kPixels, mirrored);
                if (bottom != nullptr) {
                    Put(bottom + frameWidth - x - kPixels, mirrored);
                }
            }
            for (int k = 0; k < 3; ++k) {
                even[k] += step[k];
                odd[k] += step[k];
            }
        }
        for (; x < blockWidth; ++x) {
            uint32_t colour = 0;
            for (int k = 0; k < 3; ++k) {
                const uint64_t f = row.start[k] + static_cast<uint64_t>(x) * row.step[k];
                colour |= static_cast<uint32_t>((f >> 48) & 0xFF) << (8 * k);
            }
            PutScalar(top + x, colour);
            if (bottom != nullptr) {
                PutScalar(bottom + x, colour);
            }
            if (mirrorX) {
                PutScalar(top + frameWidth - 1 - x, colour);
                if (bottom != nullptr) {
                    PutScalar(bottom + frameWidth - 1 - x, colour);
                }
            }
        }
    }
};

} // namespace
