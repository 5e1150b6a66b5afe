// Which instruction set the bilinear scaler runs on. Every path computes every pixel bit for bit
// as the scalar formula does; they differ only in speed.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace imaging {

// Scalar is the plain formula, pixel by pixel (kept for measurement and for processors without
// vector units); SSE2 is on every x86-64 processor.
enum class ScalerPath { Scalar = 0, Sse2 = 1, Avx2 = 2, Avx512 = 3 };

// The best path this processor can run.
ScalerPath BestScalerPath();
// Every path this processor can run, slowest first.
std::vector<ScalerPath> AvailableScalerPaths();
// The path in use: the best one, or the one KELVANE_SIMD names (scalar, sse2, avx2, avx512) when this
// processor can run it; a later SelectScalerPath overrides both.
ScalerPath ActiveScalerPath();
// Chooses the path for measurement and tests; one this processor cannot run gives the best one.
void SelectScalerPath(ScalerPath path);
std::string ScalerPathName(ScalerPath path);
std::optional<ScalerPath> ScalerPathFromName(const std::string& name);

}  // namespace imaging
