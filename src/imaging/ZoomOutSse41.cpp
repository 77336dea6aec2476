// The reduction kernels compiled for SSE4.1, chosen at run time.
#include "imaging/ZoomOutKernels.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace tavo::zoomout {
namespace sse41 {
#define ZO_TARGET __attribute__((target("sse4.1")))
#define ZO_TURN 1
#include "imaging/ZoomOutKernels.inc"
#undef ZO_TURN
#undef ZO_TARGET
} // namespace sse41

const Kernels* sse41Kernels()
{
    static const Kernels kernels{"sse4.1", sse41::shrinkBand, sse41::addRow, sse41::closeRow};
    return __builtin_cpu_supports("sse4.1") ? &kernels : nullptr;
}

} // namespace tavo::zoomout
#else
namespace tavo::zoomout {
const Kernels* sse41Kernels() { return nullptr; }
} // namespace tavo::zoomout
#endif
