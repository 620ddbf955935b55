#include "render/resample.h"

#include <algorithm>
#include <new>
#include <vector>

namespace {

constexpr int kWeightBits = 14;
constexpr uint32_t kOne = 1u << kWeightBits;
// The first pass keeps 8 fraction bits, so the second rounds only once more.
constexpr int kCarryBits = 8;

struct Taps {
    std::vector<int32_t> first; // first source index of each output index
    std::vector<int32_t> count;
    std::vector<int32_t> offset; // into weights
    std::vector<uint16_t> weights;
    int32_t maxCount = 0;
};

void AddOutput(Taps& taps, int32_t first, const std::vector<uint32_t>& weights) {
    taps.first.push_back(first);
    taps.count.push_back(static_cast<int32_t>(weights.size()));
    taps.offset.push_back(static_cast<int32_t>(taps.weights.size()));
    for (uint32_t w : weights) {
        taps.weights.push_back(static_cast<uint16_t>(w));
    }
    taps.maxCount = std::max(taps.maxCount, static_cast<int32_t>(weights.size()));
}

// Output i covers source span [i*s/d, (i+1)*s/d); in units of 1/d source pixel that is
// [i*s, (i+1)*s). Weights come from rounded cumulative coverage so that they sum to
// exactly kOne and none is negative.
void AreaTaps(int64_t s, int64_t d, Taps& taps) {
    std::vector<uint32_t> weights;
    for (int64_t i = 0; i < d; ++i) {
        const int64_t begin = i * s;
        const int64_t end = begin + s;
        const int64_t first = begin / d;
        const int64_t last = (end - 1) / d;
        weights.clear();
        int64_t covered = 0;
        int64_t previous = 0;
        for (int64_t j = first; j <= last; ++j) {
            covered += std::min((j + 1) * d, end) - std::max(j * d, begin);
            const int64_t rounded = (covered * kOne * 2 + s) / (2 * s);
            weights.push_back(static_cast<uint32_t>(rounded - previous));
            previous = rounded;
        }
        AddOutput(taps, static_cast<int32_t>(first), weights);
    }
}

// Output centre i + 0.5 maps to source position (i + 0.5) * s / d - 0.5, clamped to the
// first and last pixel centres; in units of 1/(2d) that is (2i + 1) * s - d.
void LinearTaps(int64_t s, int64_t d, Taps& taps) {
    std::vector<uint32_t> weights;
    for (int64_t i = 0; i < d; ++i) {
        const int64_t position = (2 * i + 1) * s - d;
        int64_t j = 0;
        int64_t fraction = 0;
        if (position > 0) {
            j = position / (2 * d);
            fraction = position % (2 * d);
        }
        if (j >= s - 1) {
            j = s - 1;
            fraction = 0;
        }
        const auto second = static_cast<uint32_t>((fraction * kOne + d) / (2 * d));
        weights.assign({kOne - second});
        if (j + 1 < s) {
            weights.push_back(second);
        }
        AddOutput(taps, static_cast<int32_t>(j), weights);
    }
}

void MakeTaps(int32_t s, int32_t d, Taps& taps) {
    taps.first.reserve(d);
    taps.count.reserve(d);
    taps.offset.reserve(d);
    if (d <= s) {
        AreaTaps(s, d, taps);
    } else {
        LinearTaps(s, d, taps);
    }
}

void HorizontalPass(const uint8_t* row, const Taps& taps, int32_t dw, uint16_t* out) {
    for (int32_t x = 0; x < dw; ++x) {
        const uint8_t* p = row + 4 * static_cast<int64_t>(taps.first[x]);
        const uint16_t* w = taps.weights.data() + taps.offset[x];
        uint32_t sum[4] = {0, 0, 0, 0};
        for (int32_t k = 0; k < taps.count[x]; ++k) {
            for (int c = 0; c < 4; ++c) {
                sum[c] += w[k] * uint32_t{p[4 * k + c]};
            }
        }
        for (int c = 0; c < 4; ++c) {
            constexpr int kShift = kWeightBits - kCarryBits;
            out[4 * x + c] = static_cast<uint16_t>((sum[c] + (1u << (kShift - 1))) >> kShift);
        }
    }
}

bool Resample(const uint8_t* src, int32_t sw, int32_t sh, uint8_t* dst, int32_t dw, int32_t dh) {
    Taps across;
    Taps down;
    MakeTaps(sw, dw, across);
    MakeTaps(sh, dh, down);
    // Filtered source rows, kept in a ring: the rows one output row needs are
    // consecutive and move forward, and never more than the ring holds.
    const int32_t ringRows = down.maxCount;
    const std::size_t rowValues = static_cast<std::size_t>(dw) * 4;
    std::vector<uint16_t> ring(rowValues * ringRows);
    std::vector<int32_t> ringSource(ringRows, -1);
    std::vector<uint32_t> sum(rowValues);
    const std::size_t srcStride = static_cast<std::size_t>(sw) * 4;
    for (int32_t y = 0; y < dh; ++y) {
        std::fill(sum.begin(), sum.end(), 0u);
        const uint16_t* w = down.weights.data() + down.offset[y];
        for (int32_t k = 0; k < down.count[y]; ++k) {
            const int32_t sourceRow = down.first[y] + k;
            const int32_t slot = sourceRow % ringRows;
            uint16_t* filtered = ring.data() + rowValues * slot;
            if (ringSource[slot] != sourceRow) {
                HorizontalPass(src + srcStride * sourceRow, across, dw, filtered);
                ringSource[slot] = sourceRow;
            }
            const uint32_t weight = w[k];
            for (std::size_t v = 0; v < rowValues; ++v) {
                sum[v] += weight * filtered[v];
            }
        }
        uint8_t* out = dst + rowValues * static_cast<std::size_t>(y);
        constexpr int kShift = kWeightBits + kCarryBits;
        for (std::size_t v = 0; v < rowValues; ++v) {
            out[v] = static_cast<uint8_t>((sum[v] + (1u << (kShift - 1))) >> kShift);
        }
    }
    return true;
}

} // namespace

bool ResamplePicture(const uint8_t* src, int32_t sw, int32_t sh, uint8_t* dst, int32_t dw,
                     int32_t dh) {
    if (src == nullptr || dst == nullptr || sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) {
        return false;
    }
    try {
        return Resample(src, sw, sh, dst, dw, dh);
    } catch (const std::bad_alloc&) {
        return false;
    }
}
