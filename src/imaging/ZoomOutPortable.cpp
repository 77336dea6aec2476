// The reduction kernels in plain C++, for every
// processor.
#include "imaging/ZoomOutKernels.h"

#include <algorithm>
#include <cstring>

namespace tavo::zoomout {
namespace portable {
// The 16-row loops are written to be vectorised; ask GCC to (its -O2 mostly does not).
#if defined(__GNUC__) && !defined(__clang__)
#define ZO_TARGET __attribute__((optimize("tree-vectorize")))
#else
#define ZO_TARGET
#endif
#define ZO_TURN 0
#include "imaging/ZoomOutKernels.inc"
#undef ZO_TURN
#undef ZO_TARGET
} // namespace portable

const Kernels& portableKernels()
{
    static const Kernels kernels{"portable", portable::shrinkBand, portable::addRow, portable::closeRow};
    return kernels;
}

} // namespace tavo::zoomout
