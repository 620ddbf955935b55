#include "render/cpu_path.h"

#include <array>
#include <cstddef>

namespace {

struct PathList {
    std::array<CpuPath, 5> paths{};
    std::size_t count = 0;
    void Add(CpuPath path) { paths[count++] = path; }
};

PathList DetectPaths() {
    PathList list;
    list.Add(CpuPath::Reference);
    list.Add(CpuPath::Portable);
#if defined(SKYFILL_RENDER_X86)
    __builtin_cpu_init();
    list.Add(CpuPath::Sse2); // part of x86-64 itself
    if (__builtin_cpu_supports("avx2")) {
        list.Add(CpuPath::Avx2);
    }
    // The blend's AVX-512 code needs the byte and word instructions (BW). Every AVX-512
    // CPU but the Xeon Phi has them, so one level serves the gradient as well.
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")) {
        list.Add(CpuPath::Avx512);
    }
#endif
    return list;
}

} // namespace

const char* CpuPathName(CpuPath path) {
    switch (path) {
    case CpuPath::Reference:
        return "reference";
    case CpuPath::Portable:
        return "portable";
    case CpuPath::Sse2:
        return "sse2";
    case CpuPath::Avx2:
        return "avx2";
    case CpuPath::Avx512:
        return "avx512";
    }
    return "unknown";
}

std::span<const CpuPath> SupportedCpuPaths() {
    static const PathList list = DetectPaths();
    return {list.paths.data(), list.count};
}

CpuPath FastestCpuPath() {
    return SupportedCpuPaths().back();
}
