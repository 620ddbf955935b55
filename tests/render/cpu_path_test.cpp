// The one list of paths the gradient and the blend both choose from.

#include "render/cpu_path.h"

#include <gtest/gtest.h>
#include <span>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Names(std::span<const CpuPath> paths) {
    std::vector<std::string> names;
    for (CpuPath path : paths) {
        names.emplace_back(CpuPathName(path));
    }
    return names;
}

#if defined(__x86_64__)
// A build that lost its SIMD units or its feature check would still pass every pixel
// comparison, only on fewer paths.
TEST(CpuPaths, OfferEveryInstructionSetThisCpuRuns) {
    std::vector<CpuPath> expected = {CpuPath::Reference, CpuPath::Portable, CpuPath::Sse2};
    if (__builtin_cpu_supports("avx2")) {
        expected.push_back(CpuPath::Avx2);
    }
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")) {
        expected.push_back(CpuPath::Avx512);
    }
    EXPECT_EQ(Names(SupportedCpuPaths()), Names(expected));
}
#endif

} // namespace
