#pragma once

#include "render/image_buffer.h"
#include "render/pixel_picture.h"
#include "resources/picture_ids.h"

#include <cstdint>

// Decodes picture `id`; false for an id the program does not have.
bool LoadResourcePicture(uint16_t id, PixelPicture& out);

// Loads picture `id` into `buffer` as its kept resource source and its store at the
// picture's own size. A missing picture returns false and changes nothing.
bool LoadResourceBitmap(ImageBuffer& buffer, uint16_t id);
