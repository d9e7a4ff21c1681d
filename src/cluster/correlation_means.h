#pragma once
// Bounds of an "average" linkage value under "correlation" from a vector of
// q numbers per cluster, without its |X| |Y| distances.
//
// With x~ a row's centred values and s = fl(sqrt(S)) its root (as the
// distances are computed from them), let d*(a, b) = 1 - x~a . x~b / (sa sb)
// and z_a = x~a / sa. Then the sum of d* over the pairs of X and Y is
// exactly m - U_X . U_Y, m = |X| |Y| and U_X the sum of the members' z.
// Each cluster keeps U_X, rounded: the rows' z divided out once, then added
// up along the joins that formed it. The documented value v(X, Y) (either
// orientation) is bounded from that as follows (u = 2^-53, gamma(k) = ku /
// (1 - ku)):
//   - one distance: |d - d*| <= delta = (q + 5) 1.1 u + eta, as the dot
//     product is within gamma(q) |x~a| |x~b|, |x~a| <= sa rho with rho^2 <=
//     1.01 (S within gamma(q) of |x~a|^2, the root within u), the two
//     divisions add gamma(2) and the subtraction from 1 u |1 - t| <= 2.03u;
//     eta bounds underflow: (q + 2) 2^-1074 / smin^2 + 2^-1070, smin the
//     smallest root;
//   - U_X . U_Y: each U within gamma(D + 1) of the sums of the |z| (one
//     division, D additions at depth D), the dot product within gamma(q);
//     the sums of the |z| multiply to at most m rho^2 (Cauchy-Schwarz), so
//     the computed product is within m kappa, kappa = (q + DX + DY + 2) u
//     1.05, plus q 2^-1070 for underflow;
//   - the mean c = fl(fl(m - P) / m) within 2.1u |c| of (m - P) / m;
//   - the documented sum S is a recursive sum of m distances >= 0, within
//     gamma(m - 1) of their sum, and the two divisions add gamma(2): both
//     within e = (m + 4) 1.01 u.
// So v lies in [max(0, c - w) (1 - e), (c + w) (1 + e)], w = 2.1u |c| +
// kappa + delta, widened by 2^-50 for the rounding of the bounds and 2^-1070
// for underflow.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#include "cluster/distance_rows.h"

namespace correlation_means {

inline std::size_t at(int i) { return static_cast<std::size_t>(i); }

// The per-pair part of the width (delta above) for these rows.
inline double distanceSlack(const DistanceRows& rows) {
    double smallest = std::numeric_limits<double>::infinity();
    for (const double s : rows.roots) smallest = std::min(smallest, s);
    const double q = rows.columnCount;
    const double underflow = (q + 2) * 0x1p-1074 / (smallest * smallest) + 0x1p-1070;
    // Zero or not-a-number roots leave no bound (the distances are not
    // numbers then anyway).
    return smallest > 0 ? (q + 5) * 1.1 * 0x1p-53 + underflow : std::numeric_limits<double>::infinity();
}

// The rows' z, row-major, into sums (q per row).
inline void startSums(const DistanceRows& rows, std::vector<double>& sums) {
    const int n = rows.rowCount, q = rows.columnCount;
    sums.resize(at(n) * at(q));
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < q; ++c)
            sums[at(r) * at(q) + at(c)] = rows.values[at(r) * at(q) + at(c)] / rows.roots[at(r)];
}

// U of the cluster a becomes U_a + U_b.
inline void joinSums(std::vector<double>& sums, int q, int a, int b) {
    double* into = sums.data() + at(a) * at(q);
    const double* from = sums.data() + at(b) * at(q);
    for (int c = 0; c < q; ++c) into[c] += from[c];
}

struct MeanBounds {
    double low;
    double estimate;  // between low and high
    double high;
};

// Bounds of v(X, Y) and v(Y, X) for the clusters x and y of these sizes and
// depths; -infinity to infinity where none can be given.
inline MeanBounds meanBounds(const std::vector<double>& sums, int q, double slack, int x, int y,
                                            double sizeX, double sizeY, int depthX, int depthY) {
    const double* ux = sums.data() + at(x) * at(q);
    const double* uy = sums.data() + at(y) * at(q);
    double partial[4] = {0, 0, 0, 0};  // any order: the bound holds for every one
    int c = 0;
    for (; c + 4 <= q; c += 4)
        for (int k = 0; k < 4; ++k) partial[k] += ux[c + k] * uy[c + k];
    for (; c < q; ++c) partial[0] += ux[c] * uy[c];
    const double product = (partial[0] + partial[1]) + (partial[2] + partial[3]);
    const double m = sizeX * sizeY;
    const double mean = (m - product) / m;
    constexpr double u = 0x1p-53;
    const double kappa = (q + depthX + depthY + 2) * u * 1.05 + q * 0x1p-1070;
    const double w = 2.1 * u * std::fabs(mean) + kappa + slack;
    const double e = (m + 4) * 1.01 * u;
    const double low = std::max(0.0, mean - w) * (1 - e) * (1 - 0x1p-50) - 0x1p-1070;
    const double high = (mean + w) * (1 + e) * (1 + 0x1p-50) + 0x1p-1070;
    constexpr double infinity = std::numeric_limits<double>::infinity();
    if (!(low <= high) || !std::isfinite(high)) return {-infinity, 0.0, infinity};
    return {low, std::clamp(mean, low, high), high};
}

}  // namespace correlation_means
