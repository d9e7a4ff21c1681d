// The scan of a packed row for its smallest live cell: see pair_cells.h.
//
// A rescan by the active list costs a load of the identity and a branch per
// cell. In the packed triangle the cells of a row lie next to each other,
// so where the processor has 512-bit vectors, sixteen cells go at a time,
// with the live identities' bits as the mask. Each lane keeps its first
// smallest cell; among the lanes' results the smallest value at the lowest
// identity is the one-by-one scan's.

#include "cluster/pair_cells.h"

#include <limits>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace pair_cells {

namespace {

float smallestOneByOne(const float* row, const std::uint64_t* live, int from, int end, int& to) {
    float smallest = std::numeric_limits<float>::infinity();
    to = -1;
    for (int j = from; j < end; ++j) {
        if (isLive(live, j) && row[j] < smallest) {
            smallest = row[j];
            to = j;
        }
    }
    return smallest;
}

#if defined(__x86_64__)
[[gnu::target("avx512f")]] float smallestSixteenAtOnce(const float* row, const std::uint64_t* live, int from,
                                                        int end, int& to) {
    constexpr int Width = 16;
    __m512 lowest = _mm512_set1_ps(std::numeric_limits<float>::infinity());
    __m512i lowestAt = _mm512_set1_epi32(-1);
    __m512i columns = _mm512_add_epi32(_mm512_set1_epi32(from), _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10,
                                                                                   11, 12, 13, 14, 15));
    const __m512i step = _mm512_set1_epi32(Width);
    int j = from;
    for (; j + Width <= end; j += Width) {
        // The sixteen bits of j .. j + 15, which may straddle two words.
        const int word = j / 64, shift = j % 64;
        std::uint64_t bits = live[word] >> shift;
        if (shift > 48) bits |= live[word + 1] << (64 - shift);
        const __m512 v = _mm512_loadu_ps(row + j);
        const __mmask16 lower = _mm512_mask_cmp_ps_mask(static_cast<__mmask16>(bits), v, lowest, _CMP_LT_OQ);
        lowest = _mm512_mask_mov_ps(lowest, lower, v);
        lowestAt = _mm512_mask_mov_epi32(lowestAt, lower, columns);
        columns = _mm512_add_epi32(columns, step);
    }
    alignas(64) float values[Width];
    alignas(64) int at[Width];
    _mm512_store_ps(values, lowest);
    _mm512_store_si512(at, lowestAt);
    // Each lane's columns ascend, so its first smallest has the lowest column
    // among its equal values; then the rest, after every lane's columns.
    float smallest = std::numeric_limits<float>::infinity();
    to = -1;
    for (int l = 0; l < Width; ++l) takeFirstSmallest(values[l], at[l], smallest, to);
    int restAt = -1;
    const float rest = smallestOneByOne(row, live, j, end, restAt);
    takeFirstSmallest(rest, restAt, smallest, to);
    return smallest;
}
#endif

}  // namespace

float smallestLiveInRow(const float* row, const std::uint64_t* live, int from, int end, int& to, bool wide) {
#if defined(__x86_64__)
    static const bool wideAvailable = __builtin_cpu_supports("avx512f");
    if (wide && wideAvailable) return smallestSixteenAtOnce(row, live, from, end, to);
#else
    (void)wide;
#endif
    return smallestOneByOne(row, live, from, end, to);
}

}  // namespace pair_cells
