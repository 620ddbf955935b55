#include "imageio/image_decoder.h"

#include "imageio/coverage.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr imageio::SizeLimit kLimit{imageio::kMaxSide, imageio::kMaxPixels};

// Qt's PNG and TIFF readers fail on missing data by themselves, but every reader takes
// the memory its header claims first, and the JPEG, GIF and BMP readers hand back
// whatever they got, padded. So the size and the data are checked before decoding.
bool Covered(const QByteArray& format, const QByteArray& d) {
    const imageio::Bytes bytes(reinterpret_cast<const uint8_t*>(d.constData()),
                               static_cast<std::size_t>(d.size()));
    if (format == "png") {
        return imageio::PngCovered(bytes, kLimit);
    }
    if (format == "jpeg" || format == "jpg") {
        return imageio::JpegCovered(bytes, kLimit);
    }
    if (format == "gif") {
        return imageio::GifCovered(bytes, kLimit);
    }
    if (format == "bmp") {
        return imageio::BmpCovered(bytes, kLimit);
    }
    if (format == "tiff" || format == "tif") {
        return imageio::TiffCovered(bytes, kLimit);
    }
    return false;
}

bool WithinLimits(const QSize& size) {
    return kLimit.Admits(size.width(), size.height());
}

// Qt's readers then refuse larger pictures themselves: room for the largest one at 16 bits
// a channel (floating-point files only come smaller). The limit is process-wide, which the
// program's other, smaller pictures do not mind, and QT_IMAGEIO_MAXALLOC overrides it,
// which is why sizes are checked before decoding.
void LimitReaderAllocations() {
    static const bool limited = [] {
        constexpr int64_t kMegabyte = int64_t{1} << 20;
        QImageReader::setAllocationLimit(
            static_cast<int>((imageio::kMaxPixels * 8 + kMegabyte - 1) / kMegabyte));
        return true;
    }();
    (void)limited;
}

// A GIF is a palette picture of 8 bits a pixel: its transparent index marks no alpha
// channel, so that pixel keeps its palette colour and is opaque like every other.
bool ToPicture(const QImage& decoded, bool paletteOnly, PixelPicture& out) {
    const QImage image = decoded.convertToFormat(QImage::Format_ARGB32);
    if (image.isNull()) {
        return false;
    }
    PixelPicture picture;
    picture.width = image.width();
    picture.height = image.height();
    const bool hasAlpha = !paletteOnly && decoded.hasAlphaChannel();
    picture.bitsPerPixel = paletteOnly ? 8 : hasAlpha ? 32 : 24;
    picture.pixels.resize(static_cast<std::size_t>(picture.width) * picture.height * 4);
    uint8_t* p = picture.pixels.data();
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x, p += 4) {
            p[0] = static_cast<uint8_t>(qBlue(row[x]));
            p[1] = static_cast<uint8_t>(qGreen(row[x]));
            p[2] = static_cast<uint8_t>(qRed(row[x]));
            p[3] = static_cast<uint8_t>(hasAlpha ? qAlpha(row[x]) : 255);
        }
    }
    out = std::move(picture);
    return true;
}

// A preset may name any path. Opening a pipe waits for a writer and opening a file under
// a lease waits for its holder, so the open never waits, and the type and size are those
// of what was opened: the path may have been swapped for a pipe since anyone looked.
bool ReadRegularFile(const QString& path, QByteArray& data) {
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty() || name.contains('\0')) {
        return false;
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    bool whole = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
                 info.st_size <= imageio::kMaxFileBytes;
    if (whole) {
        data.resize(static_cast<qsizetype>(info.st_size));
        qsizetype got = 0;
        while (got < data.size()) {
            const ssize_t n = ::read(fd, data.data() + got, static_cast<size_t>(data.size() - got));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            got += n;
        }
        // A file that changed size while being read holds neither picture.
        char more = 0;
        whole = got == data.size() && ::read(fd, &more, 1) == 0;
    }
    ::close(fd);
    return whole;
}

// The program's own pictures, compiled in.
bool ReadResource(const QString& path, QByteArray& data) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= 0 ||
        file.size() > imageio::kMaxFileBytes) {
        return false;
    }
    data = file.readAll();
    return data.size() == file.size();
}

} // namespace

namespace imageio {

bool DecodeImageData(const QByteArray& data, PixelPicture& out) {
    if (data.isEmpty() || data.size() > kMaxFileBytes) {
        return false;
    }
    QByteArray bytes = data; // shared, not copied; QBuffer wants a non-const array
    QBuffer device(&bytes);
    if (!device.open(QIODevice::ReadOnly)) {
        return false;
    }
    LimitReaderAllocations();
    QImageReader reader(&device);
    reader.setAutoTransform(false);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format.isEmpty() || !Covered(format, data)) {
        return false;
    }
    const QSize claimed = reader.size();
    if (claimed.isValid() && !WithinLimits(claimed)) {
        return false;
    }
    try {
        const QImage image = reader.read();
        if (image.isNull() || !WithinLimits(image.size())) {
            return false;
        }
        return ToPicture(image, format == "gif", out);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool DecodeImageFile(const QString& path, PixelPicture& out) {
    QByteArray data;
    const bool read = path.startsWith(QLatin1String(":/")) ? ReadResource(path, data)
                                                           : ReadRegularFile(path, data);
    return read && DecodeImageData(data, out);
}

bool LoadImageFile(ImageBuffer& buffer, const QString& path) {
    PixelPicture picture;
    if (!DecodeImageFile(path, picture)) {
        return false;
    }
    return buffer.AttachFileImage(std::move(picture));
}

QImage ToQImage(const PixelPicture& picture) {
    if (!picture.Holds()) {
        return {};
    }
    QImage image(picture.width, picture.height, QImage::Format_ARGB32);
    if (image.isNull()) {
        return {};
    }
    const uint8_t* p = picture.pixels.data();
    for (int y = 0; y < picture.height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < picture.width; ++x, p += 4) {
            row[x] = qRgba(p[2], p[1], p[0], p[3]);
        }
    }
    return image;
}

} // namespace imageio
