#pragma once

namespace picture_maker {

// Whether (x, y) lies on text drawn with its top-left at (left, top) and cells of `cell`,
// in a 5 x 7 block font that knows only the letters the pictures spell.
bool OnText(const char* text, double left, double top, double cell, double x, double y);

double TextWidth(const char* text, double cell);

} // namespace picture_maker
