#include "render/gradient.h"

#include "render/gradient_rows.h"

#include <algorithm>
#include <cstring>

namespace {

using gradient_detail::Channel;
using gradient_detail::FixedRow;
using gradient_detail::FixedRowWriter;
using gradient_detail::RowSetup;
using gradient_detail::SetupRow;

struct Layout {
    int32_t blockWidth;
    int32_t blockHeight;
    bool mirrorX;
    bool mirrorY;
};

bool LayoutFor(int32_t pattern, int32_t width, int32_t height, Layout& layout) {
    if (pattern < 0 || pattern > 3 || width <= 0 || height <= 0) {
        return false;
    }
    layout.mirrorX = pattern == 1 || pattern == 3;
    layout.mirrorY = pattern == 2 || pattern == 3;
    layout.blockWidth = layout.mirrorX ? width / 2 : width;
    layout.blockHeight = layout.mirrorY ? height / 2 : height;
    return layout.blockWidth > 0 && layout.blockHeight > 0;
}

void PutColour(uint32_t* dst, uint32_t colour) {
    uint32_t old;
    std::memcpy(&old, dst, sizeof old);
    old = (old & 0xFF000000u) | colour;
    std::memcpy(dst, &old, sizeof old);
}

uint32_t ColourOf(const uint32_t* src) {
    uint32_t v;
    std::memcpy(&v, src, sizeof v);
    return v & 0x00FFFFFFu;
}

// Exact stepping of quotient and remainder: no division per pixel, any architecture.
struct ChannelStepper {
    int64_t q, r, stepQ, stepR, d;

    ChannelStepper(int64_t a, int64_t b, int64_t divisor)
        : q(a / divisor), r(a % divisor), stepQ(b / divisor), stepR(b % divisor), d(divisor) {
        if (stepR < 0) {
            stepR += d;
            --stepQ;
        }
    }
    // Branch-free: where the remainder wraps is irregular and would mispredict.
    void Step() {
        r += stepR;
        const int64_t carry = r >= d ? 1 : 0;
        r -= d & -carry;
        q += stepQ + carry;
    }
};

void PortableRow(const RowSetup& row, uint32_t* top, uint32_t* bottom, int32_t blockWidth,
                 int32_t frameWidth, bool mirrorX) {
    // Separate objects rather than arrays indexed in a loop, so they stay in registers.
    ChannelStepper blue(row.a[0], row.b[0], row.d);
    ChannelStepper green(row.a[1], row.b[1], row.d);
    ChannelStepper red(row.a[2], row.b[2], row.d);
    for (int32_t x = 0; x < blockWidth; ++x) {
        const uint32_t colour = static_cast<uint32_t>(blue.q) |
                                static_cast<uint32_t>(green.q) << 8 |
                                static_cast<uint32_t>(red.q) << 16;
        PutColour(top + x, colour);
        if (bottom != nullptr) {
            PutColour(bottom + x, colour);
        }
        if (mirrorX) {
            PutColour(top + frameWidth - 1 - x, colour);
            if (bottom != nullptr) {
                PutColour(bottom + frameWidth - 1 - x, colour);
            }
        }
        blue.Step();
        green.Step();
        red.Step();
    }
}

} // namespace

void gradient_detail::RenderRows(FixedRowWriter fixedWriter, uint8_t* store, int32_t width,
                                 int32_t height, const GradientParams& params, FrameRows rows) {
    Layout l{};
    if (!LayoutFor(params.fillPattern, width, height, l)) {
        return;
    }
    if (fixedWriter != nullptr &&
        !gradient_detail::WideExactForBlock(l.blockWidth, l.blockHeight)) {
        fixedWriter = nullptr;
    }
    // The exact check of each row costs about a twelfth of a 1080p frame (measured); the
    // bound proves it unnecessary for every block up to 1920 x 1080 and a little beyond.
    const bool narrowEveryRow = gradient_detail::NarrowExactForBlock(l.blockWidth, l.blockHeight);
    auto* pixels = reinterpret_cast<uint32_t*>(store);
    const bool centreColumn = l.mirrorX && (width % 2 != 0);
    const int32_t first = std::max(rows.first, 0);
    const int32_t end = std::min(rows.end, height);
    for (int32_t fy = first; fy < end; ++fy) {
        // Each frame row on its own, so that any band of rows can be drawn: a mirrored
        // row is its block row again, and an odd height's centre row repeats the last.
        const int32_t y = l.mirrorY ? std::min({fy, height - 1 - fy, l.blockHeight - 1}) : fy;
        uint32_t* line = pixels + static_cast<int64_t>(fy - rows.storedFrom) * width;
        const RowSetup row = SetupRow(params, l.blockWidth, l.blockHeight, y);
        if (fixedWriter != nullptr) {
            FixedRow fixed = gradient_detail::NarrowFixed(row);
            if (!narrowEveryRow && !gradient_detail::NarrowRowExact(row, l.blockWidth, fixed)) {
                fixed = gradient_detail::WideFixed(row);
            }
            fixedWriter(fixed, line, nullptr, l.blockWidth, width, l.mirrorX);
        } else {
            PortableRow(row, line, nullptr, l.blockWidth, width, l.mirrorX);
        }
        if (centreColumn) {
            PutColour(line + l.blockWidth, ColourOf(line + l.blockWidth - 1));
        }
    }
}

namespace {

// The formula as written, one division per channel and pixel; the oracle for the
// faster paths. Each frame pixel finds its block pixel through the mirrors.
void RenderReference(uint8_t* store, int32_t width, int32_t height, const GradientParams& p,
                     FrameRows rows) {
    Layout l{};
    if (!LayoutFor(p.fillPattern, width, height, l)) {
        return;
    }
    const int64_t w = l.blockWidth;
    const int64_t h = l.blockHeight;
    // Looked up once, not per pixel: the sanitizer builds run the tests unoptimised.
    int64_t corner[4][3];
    for (int i = 0; i < 4; ++i) {
        for (int k = 0; k < 3; ++k) {
            corner[i][k] = Channel(p.corners[i], k);
        }
    }
    auto* pixels = reinterpret_cast<uint32_t*>(store);
    for (int32_t fy = std::max(rows.first, 0); fy < std::min(rows.end, height); ++fy) {
        int64_t y = fy;
        if (l.mirrorY) {
            y = std::min<int64_t>({fy, height - 1 - fy, h - 1});
        }
        for (int32_t fx = 0; fx < width; ++fx) {
            int64_t x = fx;
            if (l.mirrorX) {
                x = std::min<int64_t>({fx, width - 1 - fx, w - 1});
            }
            uint32_t colour = 0;
            for (int k = 0; k < 3; ++k) {
                const int64_t c0 = corner[0][k];
                const int64_t c1 = corner[1][k];
                const int64_t c2 = corner[2][k];
                const int64_t c3 = corner[3][k];
                const int64_t v =
                    ((h - y) * ((w - x) * c0 + x * c1) + y * ((w - x) * c2 + x * c3)) / (w * h);
                colour |= static_cast<uint32_t>(v) << (8 * k);
            }
            PutColour(pixels + static_cast<int64_t>(fy - rows.storedFrom) * width + fx, colour);
        }
    }
}

FixedRowWriter WriterFor(CpuPath path) {
#if defined(SKYFILL_RENDER_X86)
    switch (path) {
    case CpuPath::Sse2:
        return gradient_detail::Sse2RowWriter();
    case CpuPath::Avx2:
        return gradient_detail::Avx2RowWriter();
    case CpuPath::Avx512:
        return gradient_detail::Avx512RowWriter();
    default:
        break;
    }
#else
    (void)path;
#endif
    return nullptr;
}

} // namespace

void RenderGradientRowsWith(CpuPath path, FrameRows rows, uint8_t* store, int32_t width,
                            int32_t height, const GradientParams& params) {
    if (path == CpuPath::Reference) {
        RenderReference(store, width, height, params, rows);
    } else {
        gradient_detail::RenderRows(WriterFor(path), store, width, height, params, rows);
    }
}

void RenderGradientWith(CpuPath path, uint8_t* store, int32_t width, int32_t height,
                        const GradientParams& params) {
    RenderGradientRowsWith(path, {0, height}, store, width, height, params);
}

void RenderGradient(uint8_t* store, int32_t width, int32_t height, const GradientParams& params) {
    RenderGradientWith(FastestCpuPath(), store, width, height, params);
}
