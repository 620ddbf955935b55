#pragma once

// Checks shared by every way of building a row blender: each is compared with the
// reference blend of render/blend.h.

#include "render/blend.h"
#include "tests/render/picture_test_support.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

struct NamedBlender {
    std::string name;
    std::function<void(const uint8_t* src, uint8_t* dst, int32_t count, bool mergeAlpha)> blend;
};

// Every (picture alpha, picture colour, frame colour) triple, and every pair of picture
// alpha and frame alpha for the merge: 65,536 pixels per picture alpha and mode.
inline void ExpectBlendersMatchTheFormula(const std::vector<NamedBlender>& blenders) {
    std::vector<uint8_t> src(65536 * 4);
    std::vector<uint8_t> frame(65536 * 4);
    std::vector<uint8_t> expected;
    std::vector<uint8_t> actual;
    for (int a = 0; a < 256; ++a) {
        for (int i = 0; i < 65536; ++i) {
            const uint8_t s = static_cast<uint8_t>(i);
            const uint8_t d = static_cast<uint8_t>(i >> 8);
            src[4 * i + 0] = s;
            src[4 * i + 1] = static_cast<uint8_t>(255 - s);
            src[4 * i + 2] = static_cast<uint8_t>(s ^ 0x5A);
            src[4 * i + 3] = static_cast<uint8_t>(a);
            frame[4 * i + 0] = d;
            frame[4 * i + 1] = static_cast<uint8_t>(d ^ 0xA5);
            frame[4 * i + 2] = static_cast<uint8_t>(255 - d);
            frame[4 * i + 3] = static_cast<uint8_t>(i);
        }
        for (bool merge : {false, true}) {
            expected = frame;
            BlendRowWith(CpuPath::Reference, src.data(), expected.data(), 65536, merge);
            for (const NamedBlender& blender : blenders) {
                actual = frame;
                blender.blend(src.data(), actual.data(), 65536, merge);
                ASSERT_TRUE(actual == expected)
                    << blender.name << " alpha " << a << " merge " << merge;
            }
        }
    }
}

// Every row length up to a few vectors, with bytes past the row that must stay.
inline void ExpectBlendersHandleRowTails(const std::vector<NamedBlender>& blenders) {
    for (int32_t count = 0; count <= 70; ++count) {
        const auto src = NoiseBytes(4 * 80, 100u + count);
        const auto frame = NoiseBytes(4 * 80, 200u + count);
        for (bool merge : {false, true}) {
            auto expected = frame;
            BlendRowWith(CpuPath::Reference, src.data(), expected.data(), count, merge);
            for (const NamedBlender& blender : blenders) {
                auto actual = frame;
                blender.blend(src.data(), actual.data(), count, merge);
                ASSERT_TRUE(actual == expected)
                    << blender.name << " count " << count << " merge " << merge;
            }
        }
    }
}
