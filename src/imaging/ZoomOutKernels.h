// Inside the reduction: the fixed-point plan of one pass and the kernel sets
// (portable, SSE4.1, AVX2) that carry it out. Every kernel set gives the same
// bytes; only the speed differs. Tests use this header to run each set.
#pragma once

#include "imaging/Bitmap.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavo::zoomout {

// Exact division of a weighted sum by the pass divisor D. With D ≥ 65536 and
// sums below 256 × D (which the weights guarantee), q0 = ((s >> 8) × m) >> 24
// with m = floor(2^32 ÷ D) is the quotient or one less, and the product stays
// below 2^32; one correction step makes it exact.
struct Divisor {
    std::uint32_t d = 65536;
    std::uint32_t m = 65536;
    static Divisor of(std::uint32_t d) { return {d, static_cast<std::uint32_t>((std::uint64_t{1} << 32) / d)}; }
    std::uint32_t divide(std::uint32_t s) const
    {
        std::uint32_t q = ((s >> 8) * m) >> 24;
        const std::uint32_t r = s - q * d;
        return q + (r >= d ? 1u : 0u);
    }
};

// The largest factor (source side ÷ target side) of a pass that the kernels
// carry out: its whole sums (up to factor + 1 pixels) fit 16 bits and its
// weighted sums (below 256 × D) 32 bits. Larger factors take the wide loops.
inline constexpr std::int32_t kKernelMaxFactor = 128;

inline bool kernelsCarry(std::int32_t sourceSize, std::int32_t targetSize)
{
    return sourceSize <= std::int64_t{kKernelMaxFactor} * targetSize;
}

// D := trunc(source × 65536 ÷ target + 0.5), the product an integer, the
// division in double. In 64 bits, which give the 32-bit result wherever that
// does not overflow (sides below 32768) and go on beyond.
std::uint64_t passDivisor(std::int32_t sourceSize, std::int32_t targetSize);

// The boundary of output row or column i: the source position x = (i × source) ÷
// target (integer product, double division) as its whole part and 16-bit
// fraction. The product is formed in 64 bits, exact in double for every side a
// bitmap may have.
struct Boundary {
    std::int32_t start;
    std::int32_t fraction;
};
Boundary passBoundary(std::int32_t i, std::int32_t sourceSize, std::int32_t targetSize);

// The width pass's tables: start and fraction of every column boundary 0..target.
struct HorizontalPlan {
    std::int32_t sourceWidth = 0;
    std::int32_t targetWidth = 0;
    std::vector<std::int32_t> start;
    std::vector<std::int32_t> fraction;
    Divisor divisor;           // for the kernels
    std::uint64_t wideDivisor = 65536; // for the wide loops
};

// Working memory of the width pass for one band of kBandRows rows: a chunk of
// the band turned so that each source byte column holds its kBandRows rows side
// by side, and the whole reduced band in the same turned layout.
inline constexpr int kBandRows = 16;
// Source pixels turned at a time: whole pixels and whole 32-byte turn blocks.
inline constexpr std::int32_t kTurnChunkPixels = 96;
struct BandBuffers {
    std::vector<std::uint8_t> turned;
    std::vector<std::uint8_t> reduced;
    std::vector<std::uint8_t> blankRow;   // stands in for rows below the picture
    std::vector<std::uint8_t> spareRow;   // takes their results
};

// The height pass's running sums per byte of a row: whole rows in 16 bits (at
// most 128 × 255), the part of the boundary row already given to the previous
// output row in 32 bits.
struct RowSums {
    std::vector<std::uint16_t> whole;
    std::vector<std::uint32_t> carried;
};

struct Kernels {
    const char* name;
    // Reduces kBandRows source rows (3 × sourceWidth bytes each) in width into
    // kBandRows destination rows (3 × targetWidth bytes each).
    void (*shrinkBand)(const std::uint8_t* const* rows, std::uint8_t* const* out, const HorizontalPlan& plan,
                       BandBuffers& buffers);
    // whole += row.
    void (*addRow)(RowSums& sums, const std::uint8_t* row, std::size_t count);
    // Ends an output row at the boundary row `row` with its fraction: out := ((whole
    // << 16) + fraction × row − carried) ÷ D; then carried := fraction × row and
    // whole := row, which start the next output row. A null row ends the last one.
    void (*closeRow)(RowSums& sums, const std::uint8_t* row, std::uint32_t fraction, Divisor divisor,
                     std::uint8_t* out, std::size_t count);
};

// The same arithmetic in 64 bits, one row at a time, for passes whose factor
// is beyond kKernelMaxFactor (strips reduced to a few pixels).
namespace wide {
// One source row of 3 × sourceWidth bytes into 3 × targetWidth bytes.
void shrinkRow(const std::uint8_t* row, std::uint8_t* out, const HorizontalPlan& plan);
// sums := sums + 65536 × row.
void addRow(std::vector<std::uint64_t>& sums, const std::uint8_t* row);
// Ends an output row at the boundary row `row`: out := (sums + fraction × row) ÷ D,
// then sums := (65536 − fraction) × row. A null row ends the last one.
void closeRow(std::vector<std::uint64_t>& sums, const std::uint8_t* row, std::uint32_t fraction,
              std::uint64_t divisor, std::uint8_t* out);
} // namespace wide

const Kernels& portableKernels();
// Null where the processor (or the build's target) lacks the instructions.
const Kernels* sse41Kernels();
const Kernels* avx2Kernels();
// The fastest set this processor runs.
const Kernels& bestKernels();
// Every set this processor runs, portable first.
std::vector<const Kernels*> availableKernels();

// The public operations with a chosen kernel set.
void shrinkBitmapWith(Bitmap& picture, double ratio, const Kernels& kernels);
bool shrinkHorizontalWith(const Bitmap& source, Bitmap& destination, const Kernels& kernels);
bool shrinkVerticalWith(const Bitmap& source, Bitmap& destination, const Kernels& kernels);

// Makes the next width pass and/or height pass find no memory for its tables,
// as when memory runs out; for tests of that path.
void failTableAllocationsForTesting(bool width, bool height);

} // namespace tavo::zoomout
