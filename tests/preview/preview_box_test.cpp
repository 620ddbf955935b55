// The preview box on one thread: conversion sizes and pixel picks, refused input, the
// store allocated once and what the paint shows.

#include "allocation_counter.h"
#include "frames.h"
#include "preview/preview_box.h"

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QTest>
#include <gtest/gtest.h>

namespace {

uint32_t PreviewPixel(const PreviewBox& box, int32_t x, int32_t y) {
    const uint8_t* p =
        box.LastPixels() + (static_cast<std::size_t>(y) * box.LastHeader().width + x) * 4;
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

struct SizeCase {
    int32_t width, height, previewWidth, previewHeight;
};

TEST(PreviewBoxConvert, EverySizeGivesTheDescribedImage) {
    PreviewBox box;
    box.InitPreview();
    const SizeCase cases[] = {
        {640, 360, 640, 360},   {720, 480, 360, 240},  {720, 576, 360, 288},
        {960, 540, 480, 270},   {1280, 720, 640, 360}, {1920, 1080, 960, 540},
        {642, 360, 321, 180},   {641, 361, 320, 180},  {4096, 2160, 2048, 1080},
        {640, 2160, 640, 2160}, {1, 1, 1, 1},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        const TestFrame frame = CoordinateFrame(c.width, c.height);
        ASSERT_TRUE(box.RefreshAlways(frame.pixels.data(), c.width, c.height));
        const PreviewBox::PreviewHeader header = box.LastHeader();
        EXPECT_EQ(header.width, c.previewWidth);
        EXPECT_EQ(header.height, -c.previewHeight);
        const int32_t step = c.width > 640 ? 2 : 1;
        int mismatches = 0;
        for (int32_t y = 0; y < c.previewHeight; ++y) {
            for (int32_t x = 0; x < c.previewWidth; ++x) {
                mismatches += PreviewPixel(box, x, y) != frame.At(step * x, step * y);
            }
        }
        EXPECT_EQ(mismatches, 0);
    }
}

TEST(PreviewBoxConvert, RefusedInputChangesNothing) {
    PreviewBox box;
    const TestFrame frame = CoordinateFrame(640, 360);
    // No store yet.
    EXPECT_FALSE(box.RefreshAlways(frame.pixels.data(), 640, 360));
    EXPECT_EQ(box.LastPixels(), nullptr);

    box.InitPreview();
    ASSERT_TRUE(box.RefreshAlways(frame.pixels.data(), 640, 360));
    const TestFrame big(4097, 2);
    const TestFrame tall(2, 2161);
    EXPECT_FALSE(box.RefreshAlways(nullptr, 640, 360));
    EXPECT_FALSE(box.RefreshAlways(frame.pixels.data(), 0, 360));
    EXPECT_FALSE(box.RefreshAlways(frame.pixels.data(), 640, -1));
    EXPECT_FALSE(box.RefreshAlways(big.pixels.data(), 4097, 2));
    EXPECT_FALSE(box.RefreshAlways(tall.pixels.data(), 2, 2161));
    EXPECT_FALSE(box.RefreshAlways(nullptr, 640, 360));
    EXPECT_EQ(box.LastHeader().width, 640);
    EXPECT_EQ(box.LastHeader().height, -360);
    EXPECT_EQ(PreviewPixel(box, 639, 359), frame.At(639, 359));
}

TEST(PreviewBoxConvert, StoreIsAllocatedOnceAndSizeChangesAllocateNothing) {
    PreviewBox box;
    box.InitPreview();
    const uint8_t* store = box.StoreAddress();
    ASSERT_NE(store, nullptr);
    box.InitPreview();
    EXPECT_EQ(box.StoreAddress(), store);

    const TestFrame large = CoordinateFrame(1920, 1080);
    const TestFrame small = CoordinateFrame(640, 360);
    {
        AllocationCounter counter;
        EXPECT_TRUE(box.RefreshAlways(large.pixels.data(), 1920, 1080));
        EXPECT_TRUE(box.RefreshAlways(small.pixels.data(), 640, 360));
        EXPECT_TRUE(box.RefreshAlways(large.pixels.data(), 1920, 1080));
        EXPECT_EQ(counter.Count(), 0u);
    }
    EXPECT_EQ(box.StoreAddress(), store);
    EXPECT_GE(box.LastPixels(), store);
    EXPECT_LE(box.LastPixels() + 960 * 540 * 4, store + PreviewBox::kPreviewStoreBytes);
}

// The box inside a red parent, so anything it does not paint shows red.
struct PaintedBox {
    QWidget parent;
    PreviewBox* box;
    PaintedBox() {
        parent.resize(270, 163);
        QPalette palette = parent.palette();
        palette.setColor(QPalette::Window, Qt::red);
        parent.setPalette(palette);
        parent.setAutoFillBackground(true);
        box = new PreviewBox(&parent);
        box->setGeometry(10, 10, 250, 143);
        box->InitPreview();
        parent.show();
    }
    QImage Grab() {
        QApplication::processEvents();
        return parent.grab(QRect(10, 10, 250, 143)).toImage().convertToFormat(QImage::Format_RGB32);
    }
};

int CountPixels(const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += image.pixel(x, y) == colour;
        }
    }
    return n;
}

TEST(PreviewBoxPaint, NothingBeforeTheFirstFrameThenTheWholeImageOverTheControl) {
    PaintedBox painted;
    const QImage before = painted.Grab();
    ASSERT_EQ(before.size(), QSize(250, 143));
    EXPECT_EQ(CountPixels(before, qRgb(255, 0, 0)), 250 * 143);
    EXPECT_FALSE(painted.box->HasDrawImage());

    TestFrame frame(1920, 1080);
    frame.Fill(0x000000FF); // blue, alpha 0: the preview ignores alpha
    ASSERT_TRUE(painted.box->RefreshAlways(frame.pixels.data(), 1920, 1080));
    EXPECT_EQ(CountPixels(painted.Grab(), qRgb(0, 0, 255)), 250 * 143);
    EXPECT_TRUE(painted.box->HasDrawImage());

    // Left half green, right half white: the image's own edges reach the control's.
    for (int32_t y = 0; y < 1080; ++y) {
        for (int32_t x = 0; x < 1920; ++x) {
            frame.Set(x, y, x < 960 ? 0xFF00FF00 : 0xFFFFFFFF);
        }
    }
    ASSERT_TRUE(painted.box->RefreshAlways(frame.pixels.data(), 1920, 1080));
    const QImage after = painted.Grab();
    for (int y : {0, 71, 142}) {
        EXPECT_EQ(after.pixel(0, y), qRgb(0, 255, 0)) << y;
        EXPECT_EQ(after.pixel(100, y), qRgb(0, 255, 0)) << y;
        EXPECT_EQ(after.pixel(150, y), qRgb(255, 255, 255)) << y;
        EXPECT_EQ(after.pixel(249, y), qRgb(255, 255, 255)) << y;
    }
    EXPECT_EQ(CountPixels(after, qRgb(255, 0, 0)), 0);
}

TEST(PreviewBoxPaint, AVisibleBoxShowsAPresentedFrameByItself) {
    PreviewBox box;
    box.resize(250, 143);
    box.InitPreview();
    box.show();
    TestFrame frame(960, 540);
    frame.Fill(0xFF10E010);
    ASSERT_TRUE(box.RefreshAlways(frame.pixels.data(), 960, 540));
    // No explicit repaint: the box's own look-out finds the frame.
    EXPECT_TRUE(QTest::qWaitFor([&] { return box.HasDrawImage(); }, 5000));
}

TEST(PreviewBoxPaint, ShrinkingAveragesRatherThanPicks) {
    PaintedBox painted;
    // One-pixel black and white stripes: picking would show stripes, averaging grey.
    TestFrame frame(500, 286);
    for (int32_t y = 0; y < frame.height; ++y) {
        for (int32_t x = 0; x < frame.width; ++x) {
            frame.Set(x, y, x % 2 == 0 ? 0xFF000000 : 0xFFFFFFFF);
        }
    }
    ASSERT_TRUE(painted.box->RefreshAlways(frame.pixels.data(), 500, 286));
    const QImage image = painted.Grab();
    for (int x = 0; x < 250; x += 31) {
        EXPECT_NEAR(qRed(image.pixel(x, 70)), 128, 2) << x;
    }
}

} // namespace
