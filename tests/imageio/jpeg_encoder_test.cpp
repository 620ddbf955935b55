// What libjpeg refuses comes back empty, not as an abort; the pictures it makes are
// decoded in the bus tests' snapshots.

#include "imageio/jpeg_encoder.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

TEST(JpegEncoder, WhatJpegCannotHoldIsRefused) {
    // Longer than a JPEG's 65,500-pixel side.
    const std::vector<uint8_t> line(std::size_t{70000} * 4);
    EXPECT_TRUE(imageio::EncodeJpeg(line.data(), 70000, 1).empty());
    EXPECT_TRUE(imageio::EncodeJpeg(line.data(), 0, 1).empty());
    EXPECT_FALSE(imageio::EncodeJpeg(line.data(), 16, 1).empty());
}

} // namespace
