#pragma once

#include <cstdint>

// The program's own pictures by resource id. The build reads the ids from this file to
// know which pictures the generator writes, so every id is one line of this form.
namespace picture {
// 240 x 92, with alpha.
inline constexpr uint16_t kLogo = 134;
// The two cloud sets, semi-transparent: 1280 x 720 and 1920 x 1080.
inline constexpr uint16_t kClouds720 = 137;
inline constexpr uint16_t kClouds1080 = 139;
// 640 x 360, opaque: the support window's picture, also the alternative start-up logo.
inline constexpr uint16_t kSupport = 190;
// The About box's picture, opaque.
inline constexpr uint16_t kProgram = 140;
// The link icons, opaque: on the dialog's grey for the main window, on white for the
// support window.
inline constexpr uint16_t kSocialIcon = 141;
inline constexpr uint16_t kVideoIcon = 142;
inline constexpr uint16_t kSocialIconOnWhite = 195;
inline constexpr uint16_t kVideoIconOnWhite = 196;
} // namespace picture
