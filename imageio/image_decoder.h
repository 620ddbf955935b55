#pragma once

#include "render/frame_limits.h"
#include "render/image_buffer.h"
#include "render/pixel_picture.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// Image files for the alpha mask: BMP, GIF, JPEG, PNG and TIFF, recognised by their
// content, decoded to straight (not premultiplied) B, G, R, A bytes. A file with an
// alpha channel gives bitsPerPixel 32; one without gives 24 and alpha 255 everywhere.
// A GIF gives 8 and alpha 255 everywhere, its transparent colour included.
//
// Refused (false, `out` untouched): unreadable or empty files, other formats, data that
// does not decode, files whose pixel data do not cover the picture, and pictures larger
// than the limits below whatever their header claims, before any pixel memory is taken
// for them.
namespace imageio {

// A mask is stretched to the output, which is never larger than the largest frame, so a
// larger picture buys nothing but memory.
constexpr int32_t kMaxSide = 8192;
constexpr int64_t kMaxPixels = frame_limits::kMaxPixels;
constexpr int64_t kMaxFileBytes = int64_t{256} * 1024 * 1024;

bool DecodeImageData(const QByteArray& data, PixelPicture& out);
// A path beginning ":/" is one of the program's compiled-in pictures; any other must be a
// regular file (a pipe, device or file held under a lease is refused without waiting).
bool DecodeImageFile(const QString& path, PixelPicture& out);

// The mask load: decodes `path` and makes it the buffer's kept file image and its store
// at the file's own size. A file that cannot be used leaves the buffer as it was. The
// caller sets m_filePath and m_fileTitle; this does not touch them.
bool LoadImageFile(ImageBuffer& buffer, const QString& path);

// A view of the pixels for showing them (copied; alpha as stored).
QImage ToQImage(const PixelPicture& picture);

} // namespace imageio
