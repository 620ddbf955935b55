#pragma once

// Renderers compared with the formula at one frame size, pixel for pixel, guard zone
// included.

#include "tests/render/gradient_test_support.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

struct NamedRenderer {
    std::string name;
    std::function<void(uint8_t* store, int32_t width, int32_t height, const GradientParams&)>
        render;
};

// The noise is made once per size and the stores are reused: making and faulting in
// fresh stores for every frame cost several times what rendering it did.
class SizeSweep {
public:
    SizeSweep(int32_t width, int32_t height, uint32_t seed)
        : m_width(width), m_height(height), m_noise(NoisyStore(width, height, seed)),
          m_expected(m_noise), m_actual(m_noise) {}

    void ExpectMatchTheFormula(const std::vector<NamedRenderer>& renderers,
                               const GradientParams& params) {
        m_expected = m_noise;
        RenderGradientWith(CpuPath::Reference, m_expected.data(), m_width, m_height, params);
        for (const NamedRenderer& renderer : renderers) {
            m_actual = m_noise;
            renderer.render(m_actual.data(), m_width, m_height, params);
            ASSERT_TRUE(m_actual == m_expected)
                << renderer.name << " differs at " << m_width << " x " << m_height << ", pattern "
                << params.fillPattern << ", c0 " << std::hex << params.corners[0].Value() << " c3 "
                << params.corners[3].Value();
        }
    }

    // Stops at the first difference rather than repeating it for every colour set.
    void ExpectMatchTheFormulaInEveryPattern(const std::vector<NamedRenderer>& renderers) {
        for (int32_t pattern = 0; pattern < 4; ++pattern) {
            for (const GradientParams& params : ColourSets(pattern)) {
                ExpectMatchTheFormula(renderers, params);
                if (::testing::Test::HasFatalFailure()) {
                    return;
                }
            }
        }
    }

private:
    int32_t m_width;
    int32_t m_height;
    std::vector<uint8_t> m_noise;
    std::vector<uint8_t> m_expected;
    std::vector<uint8_t> m_actual;
};
