// Decoding mask files: each format's pixels and depth, and refusal of files that are
// damaged, cut short or claim sizes they cannot back.

#include "imageio/image_decoder.h"
#include "render/resample.h"
#include "tests/imageio/image_files.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

using imageio::DecodeImageData;

uint32_t At(const PixelPicture& p, int x, int y) {
    uint32_t v;
    std::memcpy(&v, p.pixels.data() + (static_cast<std::size_t>(y) * p.width + x) * 4, 4);
    return v;
}

// B, G, R, A bytes of the QImage pixel, read as 0xAARRGGBB.
uint32_t Expected(const QImage& image, int x, int y) {
    return static_cast<uint32_t>(image.pixel(x, y));
}

std::vector<uint8_t> GifIndices(int w, int h) {
    std::vector<uint8_t> indices(static_cast<std::size_t>(w) * h);
    for (std::size_t i = 0; i < indices.size(); ++i) {
        indices[i] = static_cast<uint8_t>(i % 7);
    }
    return indices;
}

const std::vector<uint32_t> kPalette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF,
                                        0xFFFFFF, 0x808080, 0x123456};

QByteArray ValidFile(const char* format) {
    if (QByteArray(format) == "gif") {
        return Gif(40, 30, GifIndices(40, 30), kPalette, -1);
    }
    return Encode(Pattern(40, 30, false), format);
}

TEST(DecodeImage, PngKeepsStraightAlphaEvenUnderFullTransparency) {
    QImage image = Pattern(17, 5, true);
    image.setPixel(0, 0, qRgba(200, 100, 50, 0)); // colour under alpha 0 must survive
    PixelPicture p;
    ASSERT_TRUE(DecodeImageData(Encode(image, "png"), p));
    EXPECT_EQ(p.width, 17);
    EXPECT_EQ(p.height, 5);
    EXPECT_EQ(p.bitsPerPixel, 32);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 17; ++x) {
            ASSERT_EQ(At(p, x, y), Expected(image, x, y)) << x << "," << y;
        }
    }
}

TEST(DecodeImage, EveryFormatWithoutAlphaIsOpaqueAtItsOwnSize) {
    const QImage image = Pattern(40, 30, false);
    for (const char* format : {"bmp", "png", "tiff", "jpeg", "gif"}) {
        PixelPicture p;
        ASSERT_TRUE(DecodeImageData(ValidFile(format), p)) << format;
        EXPECT_EQ(p.width, 40) << format;
        EXPECT_EQ(p.height, 30) << format;
        EXPECT_EQ(p.bitsPerPixel, QByteArray(format) == "gif" ? 8 : 24) << format;
        for (int i = 0; i < 40 * 30; ++i) {
            ASSERT_EQ(p.pixels[4 * i + 3], 255) << format;
        }
        if (QByteArray(format) != "jpeg" && QByteArray(format) != "gif") {
            EXPECT_EQ(At(p, 13, 7), Expected(image, 13, 7)) << format; // lossless
        }
    }
}

TEST(DecodeImage, GifTransparentIndexKeepsItsColourAndIsOpaque) {
    PixelPicture p;
    ASSERT_TRUE(DecodeImageData(Gif(40, 30, GifIndices(40, 30), kPalette, 3), p));
    EXPECT_EQ(p.bitsPerPixel, 8);
    EXPECT_EQ(At(p, 1, 0), 0xFFFF0000u);
    EXPECT_EQ(At(p, 6, 0), 0xFF123456u);
    EXPECT_EQ(At(p, 3, 0), 0xFF0000FFu); // the transparent index
}

TEST(DecodeImage, TiffWithAlphaKeepsIt) {
    PixelPicture p;
    ASSERT_TRUE(DecodeImageData(Encode(Pattern(20, 4, true), "tiff"), p));
    EXPECT_EQ(p.bitsPerPixel, 32);
    EXPECT_EQ(At(p, 0, 0) >> 24, 0u);
    EXPECT_EQ(At(p, 19, 2) >> 24, 255u);
}

TEST(DecodeImage, RefusesFilesCutShort) {
    for (const char* format : {"bmp", "png", "tiff", "jpeg", "gif"}) {
        const QByteArray whole = ValidFile(format);
        std::vector<qsizetype> lengths = {
            whole.size() / 10, whole.size() / 2, whole.size() * 9 / 10, 0, 1, 8};
        // A TIFF directory's last bytes and a GIF's trailer follow the pixel data.
        if (QByteArray(format) != "tiff" && QByteArray(format) != "gif") {
            lengths.push_back(whole.size() - 1);
        }
        for (qsizetype length : lengths) {
            PixelPicture p;
            EXPECT_FALSE(DecodeImageData(whole.left(length), p))
                << format << " cut to " << length << " of " << whole.size();
            EXPECT_EQ(p.width, 0);
        }
    }
}

TEST(DecodeImage, OldStyleBmpDecodesWholeAndIsRefusedCutShort) {
    const auto colour = [](int x, int y) {
        return static_cast<uint32_t>(x * 0x0A0B0C + y * 0x30201);
    };
    const QByteArray whole = Os2Bmp(13, 7, colour);
    PixelPicture p;
    ASSERT_TRUE(DecodeImageData(whole, p));
    ASSERT_EQ(p.width, 13);
    ASSERT_EQ(p.height, 7);
    EXPECT_EQ(p.bitsPerPixel, 24);
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 13; ++x) {
            ASSERT_EQ(At(p, x, y), 0xFF000000u | (colour(x, y) & 0xFFFFFFu)) << x << ", " << y;
        }
    }
    for (qsizetype length : {whole.size() - 1, whole.size() / 2, qsizetype{30}}) {
        PixelPicture cut;
        EXPECT_FALSE(DecodeImageData(whole.left(length), cut)) << length;
    }
}

TEST(DecodeImage, RefusesGarbageAndOtherFormats) {
    PixelPicture p;
    QByteArray noise(5000, '\0');
    for (qsizetype i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<char>((i * 7919) >> 3);
    }
    EXPECT_FALSE(DecodeImageData(noise, p));
    EXPECT_FALSE(DecodeImageData(QByteArray("\x89PNG\r\n\x1a\n garbage follows", 24), p));
    EXPECT_FALSE(DecodeImageData(QByteArray("\xFF\xD8\xFF\xE0", 4), p));
    EXPECT_FALSE(DecodeImageData(Encode(Pattern(8, 8, false), "ppm"), p));
    EXPECT_FALSE(DecodeImageData(QByteArray(), p));
}

QByteArray JpegSized(int width, int height) {
    QByteArray jpeg = Encode(Pattern(16, 16, false), "jpeg");
    const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    jpeg[sof + 5] = static_cast<char>(height >> 8);
    jpeg[sof + 6] = static_cast<char>(height);
    jpeg[sof + 7] = static_cast<char>(width >> 8);
    jpeg[sof + 8] = static_cast<char>(width);
    return jpeg;
}

// A mask never needs more than the frame store's pixels; small files that claim more
// must be refused before a reader takes memory for them.
TEST(DecodeImage, RefusesHeadersThatClaimHugePictures) {
    PixelPicture p;
    EXPECT_FALSE(DecodeImageData(PngClaiming(100000, 100000), p));
    EXPECT_FALSE(DecodeImageData(PngClaiming(0x7FFFFFFF, 1), p));
    EXPECT_FALSE(DecodeImageData(PngClaiming(20000, 20000), p));
    EXPECT_FALSE(DecodeImageData(Gif(4, 4, GifIndices(4, 4), kPalette, -1, 65535, 65535), p));
    QByteArray gif = Gif(1, 1, {1}, kPalette, -1); // a 1 x 1 image on an 8192 x 4096 screen
    qToLittleEndian<uint16_t>(8192, gif.data() + 6);
    qToLittleEndian<uint16_t>(4096, gif.data() + 8);
    EXPECT_FALSE(DecodeImageData(gif, p));
    EXPECT_FALSE(DecodeImageData(JpegSized(65000, 65000), p));
    EXPECT_FALSE(DecodeImageData(JpegSized(4096, 4096), p));
    QByteArray tiff = GreyTiff(8, 8, 4);
    qToLittleEndian<uint32_t>(8192, tiff.data() + 18);
    qToLittleEndian<uint32_t>(4096, tiff.data() + 30);
    EXPECT_FALSE(DecodeImageData(tiff, p));
    const QByteArray rle = RleBmp(8192, 4096, QByteArray("\0\1", 2), 2); // 64 bytes
    EXPECT_FALSE(DecodeImageData(rle, p));

    // A BMP header claiming 60000 x 60000 pixels of 32 bits over a few bytes of data.
    QByteArray bmp = Encode(Pattern(4, 4, false), "bmp");
    const int32_t huge = 60000;
    std::memcpy(bmp.data() + 18, &huge, 4);
    std::memcpy(bmp.data() + 22, &huge, 4);
    EXPECT_FALSE(DecodeImageData(bmp, p));
    // Sizes whose row bytes times rows overflow 64 bits.
    const int32_t widest = 0x7FFFFFFF;
    const uint16_t deepest = 0xFFFF;
    std::memcpy(bmp.data() + 18, &widest, 4);
    std::memcpy(bmp.data() + 22, &widest, 4);
    std::memcpy(bmp.data() + 28, &deepest, 2);
    EXPECT_FALSE(DecodeImageData(bmp, p));
    EXPECT_EQ(p.width, 0);

    // The largest picture loads even at 16 bits a channel; one row more is refused.
    QImage largest(4096, 2160, QImage::Format_RGBA64);
    largest.fill(QColor(10, 20, 30, 40));
    ASSERT_TRUE(DecodeImageData(Encode(largest, "png"), p));
    EXPECT_EQ(At(p, 4095, 2159), 0x280A141Eu);
    QImage taller(4096, 2161, QImage::Format_ARGB32);
    taller.fill(Qt::white);
    EXPECT_FALSE(DecodeImageData(Encode(taller, "png"), p));
}

// Readers pad a picture their data do not cover and report success.
TEST(DecodeImage, RefusesFilesWhosePixelDataDoNotCoverThePicture) {
    PixelPicture p;
    QByteArray halfScreen = Gif(40, 30, GifIndices(40, 30), kPalette, -1);
    qToLittleEndian<uint16_t>(60, halfScreen.data() + 8);
    EXPECT_FALSE(DecodeImageData(halfScreen, p));
    EXPECT_FALSE(DecodeImageData(Gif(40, 30, GifIndices(40, 20), kPalette, -1), p));

    const QByteArray end("\0\1", 2);
    ASSERT_TRUE(DecodeImageData(RleBmp(16, 8, RleRows(16, 0, 8) + end), p));
    EXPECT_FALSE(DecodeImageData(RleBmp(16, 8, RleRows(16, 0, 4) + end), p));
    // Cut inside a literal run whose last bytes read like an end code.
    EXPECT_FALSE(
        DecodeImageData(RleBmp(16, 8, RleRows(16, 0, 7) + QByteArray("\0\4\5\7\0\1", 6)), p));

    const QByteArray jpeg = Encode(Pattern(64, 64, false), "jpeg");
    const qsizetype scan = jpeg.indexOf(QByteArray("\xFF\xDA", 2));
    ASSERT_GT(scan, 0);
    const QByteArray cutScan = jpeg.left((scan + jpeg.size()) / 2) + QByteArray("\xFF\xD9", 2);
    EXPECT_FALSE(DecodeImageData(cutScan, p));

    ASSERT_TRUE(DecodeImageData(GreyTiff(16, 8, 2), p));
    EXPECT_EQ(At(p, 5, 3), 0xFF0B0B0Bu);
    EXPECT_FALSE(DecodeImageData(GreyTiff(16, 8, 2, 3), p)); // strips for 6 rows of 8
    QByteArray pastEnd = GreyTiff(16, 8, 2);
    pastEnd[150] = 64; // the last strip's byte count, twice what is there
    EXPECT_FALSE(DecodeImageData(pastEnd, p));
}

// What follows the picture's data is none of the decoder's business.
TEST(DecodeImage, LoadsWholeFilesWithoutATrailerOrWithBytesAfterTheirEnd) {
    PixelPicture p;
    QByteArray noTrailer = Gif(40, 30, GifIndices(40, 30), kPalette, -1);
    noTrailer.chop(1);
    ASSERT_TRUE(DecodeImageData(noTrailer, p));
    EXPECT_EQ(At(p, 39, 29), 0xFF00FF00u); // index 1199 % 7 = 2

    // The stated image size counts padding after the end code.
    const QByteArray codes = RleRows(16, 0, 8) + QByteArray("\0\1", 2);
    const QByteArray padded =
        RleBmp(16, 8, codes, 256, static_cast<uint32_t>(codes.size() + 2)) + QByteArray(2, '\0');
    ASSERT_TRUE(DecodeImageData(padded, p));
    for (int y = 0; y < 8; ++y) { // the file's row y is the picture's row 7 - y
        for (int x = 0; x < 16; ++x) {
            ASSERT_EQ(At(p, x, 7 - y), 0xFF000000u | 30u * y * 0x010101u) << x << "," << y;
        }
    }

    // Bytes after the end of image that hold a start-of-scan marker.
    const QByteArray jpeg = Encode(Pattern(40, 30, false), "jpeg");
    PixelPicture plain;
    ASSERT_TRUE(DecodeImageData(jpeg, plain));
    ASSERT_TRUE(DecodeImageData(jpeg + QByteArray("\xFF\xDA\x00\x04\x01\x02", 6), p));
    EXPECT_TRUE(p.pixels == plain.pixels);
}

class MaskFile : public ::testing::Test {
protected:
    QString Write(const QString& name, const QByteArray& data) {
        QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return path;
    }
    QTemporaryDir m_dir;
};

TEST_F(MaskFile, AFailedLoadKeepsThePreviousMask) {
    ImageBuffer mask;
    ASSERT_TRUE(imageio::LoadImageFile(mask, Write("a.png", Encode(Pattern(9, 6, true), "png"))));
    const std::vector<uint8_t> store(mask.m_pixels.get(), mask.m_pixels.get() + mask.ByteSize());
    const std::vector<uint8_t> kept = mask.m_fileImage.pixels;
    const QByteArray cut = Encode(Pattern(30, 30, false), "png").left(100);
    EXPECT_FALSE(imageio::LoadImageFile(mask, Write("cut.png", cut)));
    EXPECT_FALSE(imageio::LoadImageFile(mask, m_dir.filePath("missing.png")));
    EXPECT_FALSE(imageio::LoadImageFile(mask, Write("empty.png", QByteArray())));
    EXPECT_EQ(mask.m_width, 9);
    EXPECT_EQ(mask.m_height, 6);
    EXPECT_TRUE(std::vector<uint8_t>(mask.m_pixels.get(), mask.m_pixels.get() + mask.ByteSize()) ==
                store);
    EXPECT_TRUE(mask.m_fileImage.pixels == kept);
}

// Runs `load` on another thread. One still waiting at the deadline is a hang: `release`
// frees it so that the test can end, and the result is empty.
std::optional<bool> LoadWithDeadline(const std::function<bool()>& load,
                                     const std::function<void()>& release) {
    auto loading = std::async(std::launch::async, load);
    if (loading.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        release();
        loading.wait();
        return std::nullopt;
    }
    return loading.get();
}

void ExpectMaskKept(const ImageBuffer& mask, const std::vector<uint8_t>& kept) {
    EXPECT_EQ(mask.m_width, 9);
    EXPECT_TRUE(mask.m_fileImage.pixels == kept);
}

// A preset can name any path; a pipe nobody writes to must not hold the program up,
// whether named directly or through a link.
TEST_F(MaskFile, APipeIsRefusedWithoutWaitingAndKeepsTheMask) {
    ImageBuffer mask;
    ASSERT_TRUE(imageio::LoadImageFile(mask, Write("a.png", Encode(Pattern(9, 6, true), "png"))));
    const std::vector<uint8_t> kept = mask.m_fileImage.pixels;
    const QString fifo = m_dir.filePath("pipe.png");
    const QString link = m_dir.filePath("link.png");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(fifo, link));
    for (const QString& path : {fifo, link}) {
        const std::optional<bool> loaded = LoadWithDeadline(
            [&] { return imageio::LoadImageFile(mask, path); },
            [&] { ::close(::open(QFile::encodeName(fifo).constData(), O_WRONLY)); });
        ASSERT_TRUE(loaded.has_value()) << "the load waited on " << path.toStdString();
        EXPECT_FALSE(*loaded);
        ExpectMaskKept(mask, kept);
    }
    PixelPicture p;
    EXPECT_FALSE(imageio::DecodeImageFile(m_dir.path(), p)); // a folder
}

// A regular file under another's write lease: a blocking open waits until the holder
// lets go, so passing a check of the file's type is not enough.
TEST_F(MaskFile, AFileUnderALeaseIsRefusedWithoutWaitingAndKeepsTheMask) {
    ImageBuffer mask;
    ASSERT_TRUE(imageio::LoadImageFile(mask, Write("a.png", Encode(Pattern(9, 6, true), "png"))));
    const std::vector<uint8_t> kept = mask.m_fileImage.pixels;
    const QString leased = Write("leased.png", Encode(Pattern(20, 10, true), "png"));
    const int holder = ::open(QFile::encodeName(leased).constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    // The lease's break is signalled to its holder, this process.
    void (*const handler)(int) = std::signal(SIGIO, SIG_IGN);
    if (::fcntl(holder, F_SETLEASE, F_WRLCK) != 0) {
        std::signal(SIGIO, handler);
        ::close(holder);
        GTEST_SKIP() << "no leases here: " << std::strerror(errno);
    }
    const std::optional<bool> loaded =
        LoadWithDeadline([&] { return imageio::LoadImageFile(mask, leased); },
                         [&] { ::fcntl(holder, F_SETLEASE, F_UNLCK); });
    ::close(holder);
    std::signal(SIGIO, handler);
    ASSERT_TRUE(loaded.has_value()) << "the load waited on the lease";
    EXPECT_FALSE(*loaded);
    ExpectMaskKept(mask, kept);
}

// A GIF's transparent colour is no alpha channel: with "its own alpha" it is as
// opaque as a JPEG.
TEST_F(MaskFile, JpegAndGifMasksWithTheirOwnAlphaAreOpaque) {
    const std::pair<const char*, QByteArray> files[] = {
        {"m.jpg", Encode(Pattern(50, 40, false), "jpeg", 90)},
        {"m.gif", Gif(50, 40, GifIndices(50, 40), kPalette, 3)}};
    for (const auto& [name, data] : files) {
        ImageBuffer mask;
        ASSERT_TRUE(imageio::LoadImageFile(mask, Write(name, data))) << name;
        ASSERT_TRUE(mask.ScaleToSize(64, 36, mask.m_fileImage));
        std::vector<uint8_t> frame(64 * 36 * 4, 7);
        ASSERT_TRUE(mask.ApplyMaskAlpha(frame.data(), 64, 36, false, true));
        for (int i = 0; i < 64 * 36; ++i) {
            ASSERT_EQ(frame[4 * i + 3], 255) << name << " " << i;
        }
        ASSERT_TRUE(mask.ApplyMaskAlpha(frame.data(), 64, 36, true, true));
        for (int i = 0; i < 64 * 36; ++i) {
            ASSERT_EQ(frame[4 * i + 3], 0) << name << " " << i;
            ASSERT_EQ(frame[4 * i], 7);
        }
    }
}

TEST_F(MaskFile, APngsTransparencyIsStretchedToTheOutput) {
    ImageBuffer mask;
    ASSERT_TRUE(
        imageio::LoadImageFile(mask, Write("t.png", Encode(Pattern(100, 50, true), "png"))));
    ASSERT_TRUE(mask.ScaleToSize(1280, 720, mask.m_fileImage));
    std::vector<uint8_t> expected(1280 * 720 * 4);
    ASSERT_TRUE(
        ResamplePicture(mask.m_fileImage.pixels.data(), 100, 50, expected.data(), 1280, 720));
    std::vector<uint8_t> frame(1280 * 720 * 4, 0);
    ASSERT_TRUE(mask.ApplyMaskAlpha(frame.data(), 1280, 720, false, true));
    for (int i = 0; i < 1280 * 720; ++i) {
        ASSERT_EQ(frame[4 * i + 3], expected[4 * i + 3]) << i;
    }
    // The left edge is transparent, the right opaque, and a ramp between.
    EXPECT_EQ(frame[3], 0);
    EXPECT_EQ(frame[4 * 1279 + 3], 255);
    EXPECT_NEAR(frame[4 * 640 + 3], 128, 3);
}

} // namespace
