#include "imageio/jpeg_encoder.h"

#include "imageio/jpeg_abort.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <cstdlib>
#include <jpeglib.h>

#ifndef JCS_EXTENSIONS
#error "libjpeg-turbo's colour-space extensions are needed to take BGRX rows as they are"
#endif

namespace imageio {
namespace {

// Only plain data lives in this frame, so leaving it by longjmp skips no destructor.
// `out` is libjpeg's buffer, the caller's to free whether or not this succeeds.
bool Encode(const uint8_t* bgrx, int32_t width, int32_t height, int quality, unsigned char** out,
            unsigned long* size) {
    jpeg_compress_struct info{};
    JpegAbort abort{};
    info.err = jpeg_std_error(&abort.manager);
    abort.manager.error_exit = LeaveJpeg;
    if (setjmp(abort.jump) != 0) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, out, size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 4;
    info.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    // Snapshots are previews, taken about once a second per copy: the faster transform
    // costs the copy less, and its error is far below what quality 80 loses anyway.
    info.dct_method = JDCT_IFAST;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        // libjpeg only reads the rows; its row type is not const.
        JSAMPROW row = const_cast<uint8_t*>(bgrx) +
                       std::size_t{info.next_scanline} * static_cast<uint32_t>(width) * 4;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

std::vector<uint8_t> EncodeJpeg(const uint8_t* bgrx, int32_t width, int32_t height, int quality) {
    unsigned char* out = nullptr;
    unsigned long size = 0;
    std::vector<uint8_t> file;
    if (Encode(bgrx, width, height, quality, &out, &size)) {
        file.assign(out, out + size);
    }
    std::free(out);
    return file;
}

} // namespace imageio
