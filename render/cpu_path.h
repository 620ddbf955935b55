#pragma once

#include <span>

// The ways the gradient and the blend run their per-pixel loops: the formula as written
// (the oracle the others are tested against), plain C++, and one per x86-64 instruction
// set. Every path gives the same bytes; only the speed differs.
enum class CpuPath { Reference, Portable, Sse2, Avx2, Avx512 };

const char* CpuPathName(CpuPath path);

// The paths this CPU can run, the reference first and the fastest last. Detected on the
// first call; nothing is allocated, so the sending thread may be the first caller.
std::span<const CpuPath> SupportedCpuPaths();

// What the program runs: the last of SupportedCpuPaths(). Tests and benchmarks name a
// path themselves through the renderers' ...With functions.
CpuPath FastestCpuPath();
