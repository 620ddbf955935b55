// The one list of paths the gradient and the blend both choose from.

#include "render/cpu_path.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>
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

TEST(CpuPaths, StartWithTheOraclesAndEndWithTheFastestEachOnce) {
    const auto paths = SupportedCpuPaths();
    ASSERT_GE(paths.size(), 2u);
    EXPECT_EQ(paths[0], CpuPath::Reference);
    EXPECT_EQ(paths[1], CpuPath::Portable);
    EXPECT_TRUE(std::adjacent_find(paths.begin(), paths.end(),
                                   [](CpuPath a, CpuPath b) { return a >= b; }) == paths.end());
    EXPECT_EQ(FastestCpuPath(), paths.back());
    const auto names = Names(paths);
    const std::set<std::string> distinct(names.begin(), names.end());
    EXPECT_EQ(distinct.size(), names.size());
    EXPECT_EQ(distinct.count("unknown"), 0u);
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
