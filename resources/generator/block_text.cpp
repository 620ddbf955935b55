#include "resources/generator/block_text.h"

#include <string>

namespace picture_maker {

namespace {

// A 5 x 7 block font for the few letters the pictures spell.
const char* Glyph(char c) {
    switch (c) {
    case 'S':
        return ".####"
               "#...."
               "#...."
               ".###."
               "....#"
               "....#"
               "####.";
    case 'K':
        return "#...#"
               "#..#."
               "#.#.."
               "##..."
               "#.#.."
               "#..#."
               "#...#";
    case 'Y':
        return "#...#"
               "#...#"
               ".#.#."
               "..#.."
               "..#.."
               "..#.."
               "..#..";
    case 'F':
        return "#####"
               "#...."
               "#...."
               "####."
               "#...."
               "#...."
               "#....";
    case 'I':
        return ".###."
               "..#.."
               "..#.."
               "..#.."
               "..#.."
               "..#.."
               ".###.";
    case 'L':
        return "#...."
               "#...."
               "#...."
               "#...."
               "#...."
               "#...."
               "#####";
    default:
        return nullptr;
    }
}

} // namespace

bool OnText(const char* text, double left, double top, double cell, double x, double y) {
    const double gx = (x - left) / cell;
    const double gy = (y - top) / cell;
    if (gx < 0 || gy < 0 || gy >= 7) {
        return false;
    }
    const int letter = static_cast<int>(gx / 6);
    const int column = static_cast<int>(gx) - letter * 6;
    if (letter >= static_cast<int>(std::char_traits<char>::length(text)) || column >= 5) {
        return false;
    }
    const char* glyph = Glyph(text[letter]);
    return glyph != nullptr && glyph[static_cast<int>(gy) * 5 + column] == '#';
}

double TextWidth(const char* text, double cell) {
    return (6.0 * static_cast<double>(std::char_traits<char>::length(text)) - 1) * cell;
}

} // namespace picture_maker
