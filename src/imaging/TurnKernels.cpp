#include "imaging/TurnKernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TAVO_TURN_X86 1
#endif

namespace tavo::turn {

const Kernels& portableKernels() {
    static const Kernels kernels{"portable", nullptr};
    return kernels;
}

#ifdef TAVO_TURN_X86
namespace {

// Columns ahead whose upright rows are fetched before they are written: the
// upright rows lie far apart, a pattern the hardware does not foresee.
constexpr std::ptrdiff_t kPrefetchColumns = 8;
// Bytes ahead in the band rows fetched while the columns move across them.
// A band is larger than the second-level cache and is read along all its rows
// at once, more streams than the hardware follows.
constexpr std::ptrdiff_t kBandAhead = 192;

// Before the four columns from x on: the runs of the columns a few steps
// ahead by their first, middle and last byte (a run spans at most a few
// lines), and a quarter of the band rows (a different quarter each step, so
// each row is fetched about every 48 bytes, once per line).
inline void prefetchAhead(const std::uint8_t* from, std::ptrdiff_t nextRow, std::int32_t x, std::int32_t width,
                          std::int32_t count, std::uint8_t* to, std::ptrdiff_t stepX) {
    if (x + kPrefetchColumns + 4 <= width) {
        const std::ptrdiff_t runBytes = count * 3;
        std::uint8_t* ahead = to + kPrefetchColumns * stepX;
        for (int j = 0; j < 4; ++j, ahead += stepX) {
            __builtin_prefetch(ahead, 1);
            __builtin_prefetch(ahead + runBytes / 2, 1);
            __builtin_prefetch(ahead + runBytes - 1, 1);
        }
    }
    // Computed as integers: near the band's end the address lies past it.
    const auto band = reinterpret_cast<std::uintptr_t>(from) + kBandAhead;
    for (std::int32_t i = (x / 4) & 3; i < count; i += 4)
        __builtin_prefetch(reinterpret_cast<const void*>(band + static_cast<std::uintptr_t>(i * nextRow)));
}

// Four rows by four columns: each row's four pixels are widened to 32-bit
// lanes, the 4 x 4 lanes transposed, and each column narrowed back to the 12
// bytes of its upright run. The loads read 4 bytes past the group's 12.
__attribute__((target("ssse3"))) inline void transposeGroup4(const std::uint8_t* from, std::ptrdiff_t nextRow,
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

__attribute__((target("ssse3"))) std::int32_t columns3Ssse3(const std::uint8_t* firstRow, std::ptrdiff_t nextRow,
                                                             std::int32_t width, std::int32_t count,
                                                             std::uint8_t* runs, std::ptrdiff_t stepX) {
    const std::int32_t groups = count / 4;
    if (groups == 0)
        return 0;
    std::int32_t x = 0;
    for (; x + 4 <= width; x += 4) {
        std::uint8_t* to = runs + static_cast<std::ptrdiff_t>(x) * stepX;
        const std::uint8_t* from = firstRow + static_cast<std::ptrdiff_t>(x) * 3;
        prefetchAhead(from, nextRow, x, width, count, to, stepX);
        __m128i columns[4];
        // Full 16-byte stores spill 4 bytes that the next group overwrites;
        // the run's last group stores exactly 12.
        std::int32_t g = 0;
        for (; g + 1 < groups; ++g, from += 4 * nextRow) {
            transposeGroup4(from, nextRow, columns);
            std::uint8_t* at = to + g * 12;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at), columns[0]);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at + stepX), columns[1]);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at + 2 * stepX), columns[2]);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at + 3 * stepX), columns[3]);
        }
        transposeGroup4(from, nextRow, columns);
        for (int j = 0; j < 4; ++j) {
            std::uint8_t* at = to + j * stepX + g * 12;
            _mm_storel_epi64(reinterpret_cast<__m128i*>(at), columns[j]);
            const auto last = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(columns[j], 8)));
            std::memcpy(at + 8, &last, 4);
        }
        copyColumns<3>(firstRow + groups * 4 * nextRow, nextRow, x, x + 4, count - groups * 4, runs + groups * 12,
                       stepX);
    }
    return x;
}

// Eight rows by four columns: rows i and i + 4 share a register (low and high
// lane), the lanes are transposed as in transposeGroup4, and each column's two
// 12-byte halves are packed into 24 contiguous bytes.
__attribute__((target("avx2"))) inline __m256i widenedRowPair(const std::uint8_t* from, std::ptrdiff_t nextRow,
                                                               int i) {
    const __m256i widen = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, //
                                           0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i upper = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i * nextRow));
    const __m128i lower = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + (i + 4) * nextRow));
    return _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(upper), lower, 1), widen);
}

__attribute__((target("avx2"))) inline __m256i packedColumn(__m256i lanes) {
    const __m256i narrow = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, //
                                            0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m256i pack = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);
    return _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(lanes, narrow), pack);
}

__attribute__((target("avx2"))) inline void transposeGroup8(const std::uint8_t* from, std::ptrdiff_t nextRow,
                                                             __m256i columns[4]) {
    const __m256i r0 = widenedRowPair(from, nextRow, 0), r1 = widenedRowPair(from, nextRow, 1);
    const __m256i r2 = widenedRowPair(from, nextRow, 2), r3 = widenedRowPair(from, nextRow, 3);
    const __m256i t0 = _mm256_unpacklo_epi32(r0, r1), t1 = _mm256_unpackhi_epi32(r0, r1);
    const __m256i t2 = _mm256_unpacklo_epi32(r2, r3), t3 = _mm256_unpackhi_epi32(r2, r3);
    columns[0] = packedColumn(_mm256_unpacklo_epi64(t0, t2));
    columns[1] = packedColumn(_mm256_unpackhi_epi64(t0, t2));
    columns[2] = packedColumn(_mm256_unpacklo_epi64(t1, t3));
    columns[3] = packedColumn(_mm256_unpackhi_epi64(t1, t3));
}

__attribute__((target("avx2"))) std::int32_t columns3Avx2(const std::uint8_t* firstRow, std::ptrdiff_t nextRow,
                                                           std::int32_t width, std::int32_t count, std::uint8_t* runs,
                                                           std::ptrdiff_t stepX) {
    const std::int32_t groups = count / 8;
    if (groups == 0)
        return 0;
    std::int32_t x = 0;
    for (; x + 4 <= width; x += 4) {
        std::uint8_t* to = runs + static_cast<std::ptrdiff_t>(x) * stepX;
        const std::uint8_t* from = firstRow + static_cast<std::ptrdiff_t>(x) * 3;
        prefetchAhead(from, nextRow, x, width, count, to, stepX);
        __m256i columns[4];
        // 32-byte stores spill 8 bytes that the next group overwrites; the
        // run's last group stores exactly 24.
        std::int32_t g = 0;
        for (; g + 1 < groups; ++g, from += 8 * nextRow) {
            transposeGroup8(from, nextRow, columns);
            std::uint8_t* at = to + g * 24;
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), columns[0]);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(at + stepX), columns[1]);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(at + 2 * stepX), columns[2]);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(at + 3 * stepX), columns[3]);
        }
        transposeGroup8(from, nextRow, columns);
        for (int j = 0; j < 4; ++j) {
            std::uint8_t* at = to + j * stepX + g * 24;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm256_castsi256_si128(columns[j]));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(at + 16), _mm256_extracti128_si256(columns[j], 1));
        }
        copyColumns<3>(firstRow + groups * 8 * nextRow, nextRow, x, x + 4, count - groups * 8, runs + groups * 24,
                       stepX);
    }
    return x;
}

} // namespace

const Kernels* ssse3Kernels() {
    static const Kernels kernels{"ssse3", columns3Ssse3};
    return __builtin_cpu_supports("ssse3") ? &kernels : nullptr;
}

const Kernels* avx2Kernels() {
    static const Kernels kernels{"avx2", columns3Avx2};
    return __builtin_cpu_supports("avx2") ? &kernels : nullptr;
}
#else
const Kernels* ssse3Kernels() { return nullptr; }
const Kernels* avx2Kernels() { return nullptr; }
#endif

const Kernels& bestKernels() {
    static const Kernels& best = avx2Kernels() ? *avx2Kernels() : ssse3Kernels() ? *ssse3Kernels() : portableKernels();
    return best;
}

std::vector<const Kernels*> availableKernels() {
    std::vector<const Kernels*> sets{&portableKernels()};
    for (const Kernels* set : {ssse3Kernels(), avx2Kernels()})
        if (set)
            sets.push_back(set);
    return sets;
}

} // namespace tavo::turn
