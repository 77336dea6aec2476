// The reduction kernels compiled for AVX2, chosen at run time.
#include "imaging/ZoomOutKernels.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace tavo::zoomout {
namespace avx2 {
#define ZO_TARGET __attribute__((target("avx2")))
#define ZO_TURN 2
#include "imaging/ZoomOutKernels.inc"
#undef ZO_TURN
#undef ZO_TARGET
} // namespace avx2

const Kernels* avx2Kernels()
{
    static const Kernels kernels{"avx2", avx2::shrinkBand, avx2::addRow, avx2::closeRow};
    return __builtin_cpu_supports("avx2") ? &kernels : nullptr;
}

} // namespace tavo::zoomout
#else
namespace tavo::zoomout {
const Kernels* avx2Kernels() { return nullptr; }
} // namespace tavo::zoomout
#endif
