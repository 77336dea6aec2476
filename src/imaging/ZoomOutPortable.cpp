// The reduction kernels in plain C++ (the compiler's generic vectors), for every
// processor.
#include "imaging/ZoomOutKernels.h"

#include <algorithm>
#include <cstring>

namespace tavo::zoomout {
namespace portable {
#define ZO_TARGET
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
