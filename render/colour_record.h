#pragma once

#include <cstdint>
#include <type_traits>

// One colour in pixel byte order; read as a little-endian 32-bit number it is 0xAARRGGBB.
struct ColourRecord {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t alpha = 0;

    static constexpr ColourRecord FromValue(uint32_t argb) {
        return {static_cast<uint8_t>(argb), static_cast<uint8_t>(argb >> 8),
                static_cast<uint8_t>(argb >> 16), static_cast<uint8_t>(argb >> 24)};
    }
    constexpr uint32_t Value() const {
        return uint32_t{blue} | uint32_t{green} << 8 | uint32_t{red} << 16 | uint32_t{alpha} << 24;
    }
    friend constexpr bool operator==(const ColourRecord&, const ColourRecord&) = default;
};

static_assert(sizeof(ColourRecord) == 4 && alignof(ColourRecord) == 1);
static_assert(std::is_trivially_copyable_v<ColourRecord>);

// A colour button's value carries red in the low byte, then green, then blue.
constexpr uint32_t ToButtonValue(ColourRecord colour) {
    return uint32_t{colour.red} | uint32_t{colour.green} << 8 | uint32_t{colour.blue} << 16;
}

// Takes the picked colour into the record; byte 3 is the record's own and is kept.
constexpr void SetFromButtonValue(ColourRecord& colour, uint32_t buttonValue) {
    colour.red = static_cast<uint8_t>(buttonValue);
    colour.green = static_cast<uint8_t>(buttonValue >> 8);
    colour.blue = static_cast<uint8_t>(buttonValue >> 16);
}
