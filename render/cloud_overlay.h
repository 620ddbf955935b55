#pragma once

#include "render/image_buffer.h"

#include <cstdint>

// The scrolling clouds: an endless vertical strip of the picture P (strip rows 0..H-1)
// followed by P upside down (rows H..2H-1), repeating, so both joins are mirror joins.
// A frame shows strip rows offset .. offset + H - 1; every frame row is blended exactly
// once. The picture is expected at the frame's size; any other size is clipped, never
// read out of bounds.
//
// For the sending thread, per rendered frame while clouds are on:
//   ComposeCloudStrip(store, W, H, cloud[set], offset);
//   offset = AdvanceCloudOffset(offset, speed, 2 * H);
// with offset starting at 0 for each run of the thread (the engine's CloudScroll).
void ComposeCloudStrip(uint8_t* frame, int32_t W, int32_t H, const ImageBuffer& picture,
                       int32_t offset);
// The same for the frame rows of `band` alone, on a chosen path.
void ComposeCloudStripRows(CpuPath path, FrameRows band, uint8_t* frame, int32_t W, int32_t H,
                           const ImageBuffer& picture, int32_t offset);

// offset + speed, wrapped into 0 .. length - 1 (length = 2 x the output height).
int32_t AdvanceCloudOffset(int32_t offset, int32_t speed, int32_t length);

// The unscrolled picture, centred, for a frame rendered outside the sending thread.
void ComposeStillClouds(uint8_t* frame, int32_t W, int32_t H, const ImageBuffer& picture);

// The start-up logo: centred across, its bottom edge H / 60 rows above the frame's.
// `mergeAlpha` makes the frame at least as opaque as the logo (re-configure, and the
// first frame after the mask was written).
void ComposeLogo(uint8_t* frame, int32_t W, int32_t H, const ImageBuffer& logo, bool mergeAlpha);
void ComposeLogoRows(CpuPath path, FrameRows band, uint8_t* frame, int32_t W, int32_t H,
                     const ImageBuffer& logo, bool mergeAlpha);
