#pragma once

// libjpeg ends a failed call through error_exit, which by default ends the process: the
// decoder's check and the encoder both leave it by longjmp instead.

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <jpeglib.h>

namespace imageio {

struct JpegAbort {
    jpeg_error_mgr manager; // first, so that libjpeg's pointer to it is one to this
    std::jmp_buf jump;
};

[[noreturn]] inline void LeaveJpeg(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegAbort*>(info->err)->jump, 1);
}

} // namespace imageio
