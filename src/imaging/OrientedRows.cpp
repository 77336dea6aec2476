#include "imaging/OrientedRows.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TAVO_TURN_SSSE3 1
#endif

namespace tavo {

namespace {

// Rows of a band for the quarter turns: each upright row then receives this
// many pixels at once, while the band's rows, read across, stay in the
// first-level cache.
constexpr std::int32_t kBandRows = 32;

// Columns ahead whose upright rows are fetched before they are written.
constexpr std::ptrdiff_t kPrefetchColumns = 8;

int validOrientation(int orientation) { return orientation >= 1 && orientation <= 8 ? orientation : 1; }

template <int BytesPerPixel>
void copyPixel(std::uint8_t* to, const std::uint8_t* from) {
    std::memcpy(to, from, BytesPerPixel);
}

template <int BytesPerPixel>
void reversePixels(std::uint8_t* row, std::int32_t width) {
    std::uint8_t* left = row;
    std::uint8_t* right = row + static_cast<std::ptrdiff_t>(width - 1) * BytesPerPixel;
    std::uint8_t swap[BytesPerPixel];
    for (; left < right; left += BytesPerPixel, right -= BytesPerPixel) {
        copyPixel<BytesPerPixel>(swap, left);
        copyPixel<BytesPerPixel>(left, right);
        copyPixel<BytesPerPixel>(right, swap);
    }
}

// Stored column x of the band's rows becomes a run of count pixels in one
// upright row, written from its lowest address up: firstRow is the band row
// whose pixel lands there, nextRow the step to the following one.
template <int BytesPerPixel>
void transposeColumns(const std::uint8_t* firstRow, std::ptrdiff_t nextRow, std::int32_t fromX, std::int32_t toX,
                      std::int32_t count, std::uint8_t* runs, std::ptrdiff_t stepX) {
    for (std::int32_t x = fromX; x < toX; ++x) {
        std::uint8_t* to = runs + static_cast<std::ptrdiff_t>(x) * stepX;
        const std::uint8_t* from = firstRow + static_cast<std::ptrdiff_t>(x) * BytesPerPixel;
        for (std::int32_t i = 0; i < count; ++i, from += nextRow, to += BytesPerPixel)
            copyPixel<BytesPerPixel>(to, from);
    }
}

#ifdef TAVO_TURN_SSSE3
// Three-byte pixels, four columns by four rows at a time: each row's four
// pixels are widened to 32-bit lanes, the 4 x 4 lanes transposed, and each
// column narrowed back to 12 bytes of its upright row. This moves 16 pixels
// in about 30 instructions, where one pixel at a time costs several each.
// The loads read 4 bytes past a group's 12, which the band's slack covers.
__attribute__((target("ssse3"))) inline void transposeGroup3(const std::uint8_t* from, std::ptrdiff_t nextRow,
                                                              __m128i columns[4]) {
    const __m128i widen = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i narrow = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const auto row = [&](int i) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i * nextRow)); };
    const __m128i r0 = _mm_shuffle_epi8(row(0), widen), r1 = _mm_shuffle_epi8(row(1), widen);
    const __m128i r2 = _mm_shuffle_epi8(row(2), widen), r3 = _mm_shuffle_epi8(row(3), widen);
    const __m128i t0 = _mm_unpacklo_epi32(r0, r1), t1 = _mm_unpackhi_epi32(r0, r1);
    const __m128i t2 = _mm_unpacklo_epi32(r2, r3), t3 = _mm_unpackhi_epi32(r2, r3);
    columns[0] = _mm_shuffle_epi8(_mm_unpacklo_epi64(t0, t2), narrow);
    columns[1] = _mm_shuffle_epi8(_mm_unpackhi_epi64(t0, t2), narrow);
    columns[2] = _mm_shuffle_epi8(_mm_unpacklo_epi64(t1, t3), narrow);
    columns[3] = _mm_shuffle_epi8(_mm_unpackhi_epi64(t1, t3), narrow);
}

// Returns the first column left to the caller.
__attribute__((target("ssse3"))) std::int32_t transposeColumns3Ssse3(const std::uint8_t* firstRow,
                                                                      std::ptrdiff_t nextRow, std::int32_t width,
                                                                      std::int32_t count, std::uint8_t* runs,
                                                                      std::ptrdiff_t stepX) {
    const std::int32_t groups = count / 4;
    if (groups == 0)
        return 0;
    const std::ptrdiff_t runBytes = count * 3;
    std::int32_t x = 0;
    for (; x + 4 <= width; x += 4) {
        std::uint8_t* to = runs + static_cast<std::ptrdiff_t>(x) * stepX;
        // The upright rows lie far apart, a pattern the hardware does not
        // foresee: the runs a few columns ahead are fetched early, by their
        // first, middle and last byte (a run spans at most three lines).
        if (x + kPrefetchColumns + 4 <= width) {
            std::uint8_t* ahead = to + kPrefetchColumns * stepX;
            for (int j = 0; j < 4; ++j, ahead += stepX) {
                __builtin_prefetch(ahead, 1);
                __builtin_prefetch(ahead + runBytes / 2, 1);
                __builtin_prefetch(ahead + runBytes - 1, 1);
            }
        }
        const std::uint8_t* from = firstRow + static_cast<std::ptrdiff_t>(x) * 3;
        __m128i columns[4];
        // Full 16-byte stores spill 4 bytes that the next group overwrites;
        // the run's last group stores exactly 12.
        std::int32_t g = 0;
        for (; g + 1 < groups; ++g, from += 4 * nextRow) {
            transposeGroup3(from, nextRow, columns);
            std::uint8_t* at = to + g * 12;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at), columns[0]);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at + stepX), columns[1]);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at + 2 * stepX), columns[2]);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at + 3 * stepX), columns[3]);
        }
        transposeGroup3(from, nextRow, columns);
        for (int j = 0; j < 4; ++j) {
            std::uint8_t* at = to + j * stepX + g * 12;
            _mm_storel_epi64(reinterpret_cast<__m128i*>(at), columns[j]);
            const auto last = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(columns[j], 8)));
            std::memcpy(at + 8, &last, 4);
        }
        // Rows beyond the last whole group of four.
        transposeColumns<3>(firstRow + groups * 4 * nextRow, nextRow, x, x + 4, count - groups * 4, runs + groups * 12,
                            stepX);
    }
    return x;
}

bool hasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}
#endif

template <int BytesPerPixel>
void transposeBand(const std::uint8_t* band, std::size_t bandStride, std::int32_t width, std::int32_t count,
                   std::uint8_t* origin, std::ptrdiff_t stepX, std::ptrdiff_t stepY) {
    const bool forward = stepY > 0;
    // The lowest address of column 0's run, and the band row that goes there.
    std::uint8_t* runs = origin + (forward ? 0 : (count - 1) * stepY);
    const auto stride = static_cast<std::ptrdiff_t>(bandStride);
    const std::ptrdiff_t nextRow = forward ? stride : -stride;
    const std::uint8_t* firstRow = forward ? band : band + (count - 1) * stride;
    std::int32_t x = 0;
#ifdef TAVO_TURN_SSSE3
    if (BytesPerPixel == 3 && hasSsse3())
        x = transposeColumns3Ssse3(firstRow, nextRow, width, count, runs, stepX);
#endif
    transposeColumns<BytesPerPixel>(firstRow, nextRow, x, width, count, runs, stepX);
}

} // namespace

bool swapsSides(int orientation) { return validOrientation(orientation) >= 5; }

OrientedRows::OrientedRows(int orientation, std::int32_t storedWidth, std::int32_t storedHeight, int bytesPerPixel,
                           std::uint8_t* target, std::ptrdiff_t rowDistance)
    : orientation_(validOrientation(orientation)), width_(storedWidth), height_(storedHeight),
      bytesPerPixel_(bytesPerPixel), target_(target), rowDistance_(rowDistance) {
    const std::ptrdiff_t pixel = bytesPerPixel;
    const std::ptrdiff_t lastX = std::max<std::ptrdiff_t>(storedWidth - 1, 0);
    const std::ptrdiff_t lastY = std::max<std::ptrdiff_t>(storedHeight - 1, 0);
    // Upright (u, v) of stored (x, y) for each orientation, as origin + steps.
    switch (orientation_) {
    case 1: origin_ = target; stepX_ = pixel; stepY_ = rowDistance; break;                                  // (x, y)
    case 2: origin_ = target + lastX * pixel; stepX_ = -pixel; stepY_ = rowDistance; break;                 // (W-1-x, y)
    case 3: origin_ = target + lastY * rowDistance + lastX * pixel; stepX_ = -pixel; stepY_ = -rowDistance; break; // (W-1-x, H-1-y)
    case 4: origin_ = target + lastY * rowDistance; stepX_ = pixel; stepY_ = -rowDistance; break;           // (x, H-1-y)
    case 5: origin_ = target; stepX_ = rowDistance; stepY_ = pixel; break;                                  // (y, x)
    case 6: origin_ = target + lastY * pixel; stepX_ = rowDistance; stepY_ = -pixel; break;                 // (H-1-y, x)
    case 7: origin_ = target + lastX * rowDistance + lastY * pixel; stepX_ = -rowDistance; stepY_ = -pixel; break; // (H-1-y, W-1-x)
    default: origin_ = target + lastX * rowDistance; stepX_ = -rowDistance; stepY_ = pixel; break;          // (y, W-1-x)
    }
    if (swapsSides(orientation_)) {
        bandStride_ = (static_cast<std::size_t>(storedWidth) * static_cast<std::size_t>(bytesPerPixel) + 3) & ~std::size_t{3};
        // Slack for the 16-byte reads of a row's last four three-byte pixels.
        band_.resize(bandStride_ * static_cast<std::size_t>(std::min(kBandRows, std::max(storedHeight, 1))) + 4);
    }
}

std::int32_t OrientedRows::rowsAvailable(std::int32_t y) const {
    if (band_.empty())
        return height_ - y;
    return std::min(kBandRows - y % kBandRows, height_ - y);
}

std::uint8_t* OrientedRows::row(std::int32_t y) {
    if (!band_.empty())
        return band_.data() + static_cast<std::size_t>(y % kBandRows) * bandStride_;
    // Rows keep their order (1, 2) or are reversed (3, 4); a mirrored row is
    // written at the left end of its upright row and reversed in finish().
    const std::int32_t uprightY = orientation_ <= 2 ? y : height_ - 1 - y;
    return target_ + static_cast<std::ptrdiff_t>(uprightY) * rowDistance_;
}

void OrientedRows::finish(std::int32_t first, std::int32_t count) {
    if (!band_.empty()) {
        const std::int32_t end = first + count;
        if (end % kBandRows == 0 || end == height_)
            placeBand(end - 1 - (end - 1) % kBandRows, end);
        return;
    }
    if (stepX_ > 0)
        return;
    for (std::int32_t y = first; y < first + count; ++y) {
        switch (bytesPerPixel_) {
        case 1: reversePixels<1>(row(y), width_); break;
        case 3: reversePixels<3>(row(y), width_); break;
        default: reversePixels<4>(row(y), width_); break;
        }
    }
}

void OrientedRows::placeBand(std::int32_t first, std::int32_t end) {
    std::uint8_t* origin = origin_ + static_cast<std::ptrdiff_t>(first) * stepY_;
    const std::int32_t count = end - first;
    switch (bytesPerPixel_) {
    case 1: transposeBand<1>(band_.data(), bandStride_, width_, count, origin, stepX_, stepY_); break;
    case 3: transposeBand<3>(band_.data(), bandStride_, width_, count, origin, stepX_, stepY_); break;
    default: transposeBand<4>(band_.data(), bandStride_, width_, count, origin, stepX_, stepY_); break;
    }
}

} // namespace tavo
