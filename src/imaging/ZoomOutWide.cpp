// The reduction's arithmetic in 64-bit integers for passes whose factor the
// kernels' 16- and 32-bit sums cannot hold: a strip of tens of thousands of
// pixels brought down to a few. Within the kernels' limits both give the same
// bytes, since neither overflows there.
#include "imaging/ZoomOutKernels.h"

#include <algorithm>

namespace tavo::zoomout::wide {

namespace {
// The sums never exceed 255 × (D + 2); the last weights may add up to a
// little more than D, which the kernels' packing also holds at 255.
std::uint8_t quotient(std::uint64_t sum, std::uint64_t divisor)
{
    return static_cast<std::uint8_t>(std::min<std::uint64_t>(sum / divisor, 255));
}
} // namespace

void shrinkRow(const std::uint8_t* row, std::uint8_t* out, const HorizontalPlan& plan)
{
    // Output column j: the rest of boundary pixel start[j] (65536 − frac[j]),
    // the whole pixels up to start[j + 1], and frac[j + 1] of that one.
    std::uint64_t sum[3] = {};
    std::uint64_t whole[3] = {};
    std::int32_t k = 0;
    for (std::int32_t j = 0; j < plan.targetWidth; ++j) {
        const std::int32_t end = plan.start[static_cast<std::size_t>(j) + 1];
        const std::uint64_t fraction = static_cast<std::uint64_t>(plan.fraction[static_cast<std::size_t>(j) + 1]);
        for (; k < end; ++k)
            for (int c = 0; c < 3; ++c)
                whole[c] += row[3 * static_cast<std::size_t>(k) + static_cast<std::size_t>(c)];
        for (int c = 0; c < 3; ++c) {
            // The boundary pixel is read only when part of it belongs here.
            const std::uint64_t value = fraction != 0 ? row[3 * static_cast<std::size_t>(end) + static_cast<std::size_t>(c)] : 0;
            const std::uint64_t part = fraction * value;
            out[3 * static_cast<std::size_t>(j) + static_cast<std::size_t>(c)] =
                quotient((whole[c] << 16) - sum[c] + part, plan.wideDivisor);
            sum[c] = part; // the part of the boundary pixel already given away
            whole[c] = 0;
        }
    }
}

void addRow(std::vector<std::uint64_t>& sums, const std::uint8_t* row)
{
    for (std::size_t x = 0; x < sums.size(); ++x)
        sums[x] += std::uint64_t{row[x]} << 16;
}

void closeRow(std::vector<std::uint64_t>& sums, const std::uint8_t* row, std::uint32_t fraction,
              std::uint64_t divisor, std::uint8_t* out)
{
    for (std::size_t x = 0; x < sums.size(); ++x) {
        const std::uint64_t value = row ? row[x] : 0;
        out[x] = quotient(sums[x] + fraction * value, divisor);
        sums[x] = (65536 - std::uint64_t{fraction}) * value;
    }
}

} // namespace tavo::zoomout::wide
