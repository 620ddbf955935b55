// A runtime library that lacks five of the seven functions. The loader must reject it
// without calling anything in it, so the two it has end the process if called.

#include <cstdlib>

extern "C" {
bool NDIlib_initialize(void) {
    std::abort();
}
const char* NDIlib_version(void) {
    std::abort();
}
}
