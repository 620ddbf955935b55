#include "imageio/coverage.h"
#include "imageio/jpeg_abort.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

namespace imageio {
namespace {

// libjpeg warns where it makes data up: a marker inside a scan, a bad code, a fake
// end of image where the file ends. Any of those is a picture not all in the file.
// Stray bytes between markers and unknown header versions lose no pixel.
void OnMessage(j_common_ptr info, int level) {
    const int code = info->err->msg_code;
    if (level < 0 && code != JWRN_EXTRANEOUS_DATA && code != JWRN_JFIF_MAJOR &&
        code != JWRN_ADOBE_XFORM && code != JWRN_BOGUS_ICC) {
        LeaveJpeg(info);
    }
}

} // namespace

// Decodes at an eighth of the size, which still reads every coded block, and throws the
// pixels away; the picture itself comes from the reader afterwards. Only plain data
// lives in this frame, so leaving it by longjmp skips no destructor.
bool JpegCovered(Bytes d, const SizeLimit& limit) {
    jpeg_decompress_struct info{};
    JpegAbort abort{};
    info.err = jpeg_std_error(&abort.manager);
    abort.manager.error_exit = LeaveJpeg;
    abort.manager.emit_message = OnMessage;
    if (setjmp(abort.jump) != 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, d.data(), static_cast<unsigned long>(d.size()));
    // One, three or four components are all the reader takes; more would multiply the
    // memory a progressive file keeps for its coefficients.
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK ||
        !limit.Admits(info.image_width, info.image_height) ||
        (info.num_components != 1 && info.num_components != 3 && info.num_components != 4)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.scale_num = 1;
    info.scale_denom = 8;
    info.dct_method = JDCT_IFAST;
    info.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&info);
    JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                               info.output_width * info.output_components, 1);
    while (info.output_scanline < info.output_height) {
        jpeg_read_scanlines(&info, row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace imageio
