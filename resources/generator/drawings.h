#pragma once

#include "resources/generator/colour.h"

#include <QImage>
#include <functional>

namespace picture_maker {

// A small sky scene: gradient, sun, one cloud and optionally a word.
Colour SkyScene(int x, int y, int w, int h, const char* word);

QImage Opaque(int w, int h, const std::function<Colour(int, int)>& pixel);

// Logo: a sky badge with a sun, a cloud and the name, its edge fading out over a few
// pixels to full transparency at the picture's border.
QImage MakeLogo();

// The support picture: the default four-corner look with clouds, and the name.
QImage MakeSupportPicture();

// Link icons: a rounded tile with a symbol, on the dialog's grey or on white.
QImage MakeIcon(int w, int h, Colour tile, bool people, Colour background);

} // namespace picture_maker
