#pragma once

#include "render/colour_record.h"
#include "render/cpu_path.h"
#include "render/frame_rows.h"

#include <cstdint>

// Everything one gradient frame depends on, copied once per frame so that a frame
// never mixes two colour sets.
struct GradientParams {
    ColourRecord corners[4]; // top-left, top-right, bottom-left, bottom-right
    int32_t fillPattern = 0; // 0 full, 1 horizontal split, 2 vertical split, 3 quad split
};

// Writes the colour bytes of the first width x height pixels of `store` (rows packed,
// 4 bytes per pixel) and keeps every alpha byte. Nothing is written for a pattern
// outside 0..3 or when the block a pattern asks for is empty.
//
// Odd sizes: a split pattern mirrors a block of width/2 (height/2); the centre column
// (row) left between the two mirrored halves repeats the block's last column (row),
// so the frame is symmetric and has no unwritten stripe.
void RenderGradient(uint8_t* store, int32_t width, int32_t height, const GradientParams& params);

// The same, on a chosen path; `path` must be one of SupportedCpuPaths().
void RenderGradientWith(CpuPath path, uint8_t* store, int32_t width, int32_t height,
                        const GradientParams& params);
// Only the frame's `rows`, each exactly as the whole frame has it, so that a frame can be
// drawn band by band.
void RenderGradientRowsWith(CpuPath path, FrameRows rows, uint8_t* store, int32_t width,
                            int32_t height, const GradientParams& params);
