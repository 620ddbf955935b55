#pragma once

#include "render/colour_record.h"

#include <cstdint>

// One tick of the colour rotation: rotates the base colours a corner at the end of
// each quarter turn and cross-fades the current colours between neighbouring bases.
// `phase` is the shared fade counter (0..255). Returns true when the base colours
// rotated; `buttons` then holds what the colour buttons are to show: the current
// colours as they stood before this tick's blend. Byte 3 of the current colours is
// left alone.
bool StepRotation(int32_t rotationMode, int32_t& phase, ColourRecord (&base)[4],
                  ColourRecord (&current)[4], ColourRecord (&buttons)[4]);
