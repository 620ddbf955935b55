// Mutated copies of a small valid file of each format. No load may crash (the sanitizer
// builds report memory errors), return a picture beyond the limits, or take memory out of
// proportion to a mask. Seeded, so a failure repeats; SKYFILL_FUZZ_ITERATIONS sets the
// loads per format (default 1000).

#include "imageio/image_decoder.h"
#include "tests/imageio/image_files.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <random>
#include <sys/resource.h>

namespace {

// AddressSanitizer's quarantine keeps freed memory resident, so there the resident size
// says nothing and only the memory bound is skipped.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMeasureMemory = false;
#else
constexpr bool kMeasureMemory = true;
#endif

// The largest picture costs its decode (up to 70 MB at 16 bits a channel), a converted
// copy and the kept picture (35 MB each). A reader that believes a header claiming a
// huge picture takes hundreds of megabytes.
constexpr long kPeakGrowthBoundMb = 160;

struct Field {
    qsizetype at;
    int bytes;
    bool bigEndian;
};

struct Seed {
    const char* name;
    QByteArray data;
    std::vector<Field> sizes; // fields giving sizes or offsets
};

std::vector<Seed> Seeds() {
    const QImage image = Pattern(24, 16, false);
    const QByteArray jpeg = Encode(image, "jpeg");
    const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    std::vector<uint8_t> indices(24 * 16);
    for (std::size_t i = 0; i < indices.size(); ++i) {
        indices[i] = static_cast<uint8_t>(i % 5);
    }
    const qsizetype frame = 13 + 3 * 256; // the image descriptor, after the global palette
    return {
        {"bmp", Encode(image, "bmp"), {{18, 4, false}, {22, 4, false}, {34, 4, false}}},
        {"rle bmp",
         RleBmp(24, 16, RleRows(24, 0, 16) + QByteArray("\0\1", 2)),
         {{18, 4, false}, {22, 4, false}, {34, 4, false}, {10, 4, false}}},
        {"gif",
         Gif(24, 16, indices, {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}, -1),
         {{6, 2, false}, {8, 2, false}, {frame + 5, 2, false}, {frame + 7, 2, false}}},
        {"jpeg", jpeg, {{sof + 5, 2, true}, {sof + 7, 2, true}}},
        {"png", Encode(image, "png"), {{16, 4, true}, {20, 4, true}}},
        {"tiff",
         GreyTiff(24, 16, 4),
         {{18, 4, false}, {30, 4, false}, {102, 4, false}, {126, 4, false}}},
    };
}

void Put(QByteArray& d, const Field& field, uint64_t value) {
    for (int i = 0; i < field.bytes && field.at + i < d.size(); ++i) {
        d[field.at + i] =
            static_cast<char>(value >> 8 * (field.bigEndian ? field.bytes - 1 - i : i));
    }
}

// One to three of: changed bytes, a cut, an inserted run (random or copied), and patched
// size fields, often towards huge pictures.
QByteArray Mutate(const Seed& seed, std::mt19937& random) {
    static const uint64_t kSizes[] = {0,    1,    255,   2160,  2161,     4096,       4097,
                                      8192, 8193, 16384, 65535, 1u << 20, 0x7FFFFFFF, 0xFFFFFFFF};
    QByteArray d = seed.data;
    const auto below = [&](qsizetype n) { return static_cast<qsizetype>(random() % (n + 1)); };
    for (qsizetype step = below(2); step >= 0 && !d.isEmpty(); --step) {
        switch (below(3)) {
        case 0:
            for (qsizetype i = below(7); i >= 0; --i) {
                d[below(d.size() - 1)] = static_cast<char>(random());
            }
            break;
        case 1:
            d.truncate(below(d.size() - 1));
            break;
        case 2: {
            QByteArray run = d.mid(below(d.size() - 1), 1 + below(255));
            if (below(1) == 0) {
                for (char& c : run) {
                    c = static_cast<char>(random());
                }
            }
            d.insert(below(d.size()), run);
            break;
        }
        default:
            for (const Field& field : seed.sizes) {
                if (below(1) == 0) {
                    Put(d, field, below(2) == 0 ? random() : kSizes[below(std::size(kSizes) - 1)]);
                }
            }
            if (QByteArray(seed.name) == "png" && d.size() >= 33) { // keep the header's CRC right
                Put(d, {29, 4, true}, Crc32(d.mid(12, 17)));
            }
        }
    }
    return d;
}

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(ImageFuzz, MutatedFilesLoadWithinTheLimitsOrAreRefused) {
    const char* asked = std::getenv("SKYFILL_FUZZ_ITERATIONS");
    const int loads = asked != nullptr ? std::atoi(asked) : 1000;
    const std::vector<Seed> seeds = Seeds();
    for (const Seed& seed : seeds) { // loads the readers' plugins before the measurement
        PixelPicture p;
        ASSERT_TRUE(imageio::DecodeImageData(seed.data, p)) << seed.name;
    }
    const long baseline = PeakKilobytes();
    for (std::size_t s = 0; s < seeds.size(); ++s) {
        std::mt19937 random(static_cast<uint32_t>(1000 + s));
        for (int i = 0; i < loads; ++i) {
            PixelPicture p;
            if (imageio::DecodeImageData(Mutate(seeds[s], random), p)) {
                ASSERT_TRUE(p.Holds()) << seeds[s].name << " load " << i;
                ASSERT_LE(p.width, imageio::kMaxSide);
                ASSERT_LE(p.height, imageio::kMaxSide);
                ASSERT_LE(int64_t{p.width} * p.height, imageio::kMaxPixels);
            }
            if (kMeasureMemory) {
                ASSERT_LE((PeakKilobytes() - baseline) / 1024, kPeakGrowthBoundMb)
                    << seeds[s].name << " load " << i;
            }
        }
    }
}

} // namespace
