#include "scaler_path.h"

#include <atomic>
#include <cstdlib>

namespace imaging {
namespace {

std::atomic<int> gChosen{-1};

}  // namespace

ScalerPath BestScalerPath() {
    static const ScalerPath best = [] {
#if defined(__x86_64__)
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx2")) return ScalerPath::Avx512;
        if (__builtin_cpu_supports("avx2")) return ScalerPath::Avx2;
        return ScalerPath::Sse2;
#else
        return ScalerPath::Scalar;
#endif
    }();
    return best;
}

std::vector<ScalerPath> AvailableScalerPaths() {
    std::vector<ScalerPath> paths;
    for (int path = 0; path <= int(BestScalerPath()); ++path) paths.push_back(ScalerPath(path));
    return paths;
}

std::string ScalerPathName(ScalerPath path) {
    switch (path) {
    case ScalerPath::Avx512: return "avx512";
    case ScalerPath::Avx2: return "avx2";
    case ScalerPath::Sse2: return "sse2";
    default: return "scalar";
    }
}

std::optional<ScalerPath> ScalerPathFromName(const std::string& name) {
    for (ScalerPath path : {ScalerPath::Scalar, ScalerPath::Sse2, ScalerPath::Avx2, ScalerPath::Avx512})
        if (ScalerPathName(path) == name) return path;
    return std::nullopt;
}

void SelectScalerPath(ScalerPath path) { gChosen = int(path <= BestScalerPath() ? path : BestScalerPath()); }

ScalerPath ActiveScalerPath() {
    if (gChosen < 0) {
        const char* named = std::getenv("KELVANE_SIMD");
        const auto path = named ? ScalerPathFromName(named) : std::nullopt;
        SelectScalerPath(path.value_or(BestScalerPath()));
    }
    return ScalerPath(gChosen.load());
}

}  // namespace imaging
