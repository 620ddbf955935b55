#pragma once

#include "render/image_buffer.h"
#include "render/pixel_picture.h"

#include <cstdint>

// The program's own pictures by resource id: 134 the logo (240 x 92, with alpha),
// 137 and 139 the two cloud pictures (1280 x 720 and 1920 x 1080, semi-transparent),
// 190 the support picture (640 x 360, opaque), 140 the program's picture and 141, 142,
// 195, 196 the link icons (opaque).

// Decodes picture `id`; false for an id the program does not have.
bool LoadResourcePicture(uint16_t id, PixelPicture& out);

// Loads picture `id` into `buffer` as its kept resource source and its store at the
// picture's own size. A missing picture returns false and changes nothing.
bool LoadResourceBitmap(ImageBuffer& buffer, uint16_t id);
