// Peak memory of one mask load: decodes a file as the program does and prints how far
// the process's peak resident set grew. Not a timing; run it once per file.
//   image_load_peak FILE

#include "imageio/image_decoder.h"

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <sys/resource.h>

namespace {

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    // Recognising any data loads every image plugin; that memory is no part of a load.
    PixelPicture warmUp;
    imageio::DecodeImageData(QByteArray("warm-up"), warmUp);
    const long before = PeakKilobytes();
    PixelPicture picture;
    const bool loaded = imageio::DecodeImageFile(QString::fromLocal8Bit(argv[1]), picture);
    const double grownMb = static_cast<double>(PeakKilobytes() - before) / 1024.0;
    if (loaded) {
        std::printf("%s: loaded %d x %d, peak grew %.1f MB\n", argv[1], picture.width,
                    picture.height, grownMb);
    } else {
        std::printf("%s: refused, peak grew %.1f MB\n", argv[1], grownMb);
    }
    return loaded ? 0 : 1;
}
