#pragma once
// The arithmetic of one distance, shared by the triangle's fill and the sums
// that compute distances again from the rows: each term is one IEEE
// operation sequence (never fused), for one pair or for several pairs side
// by side, one per lane, so that every way of computing an entry gives the
// same bits.

#include <cmath>
#include <cstring>

namespace distance_terms {

// Several doubles side by side: each lane is one pair, computed with the same
// IEEE operations (one multiplication, one addition, never fused) as a single
// pair would be. The width follows the processor (see fillTriangle).
template <int Width>
struct VectorOf {
    typedef double Lanes __attribute__((vector_size(8 * Width)));
    typedef long long Bits __attribute__((vector_size(8 * Width)));
};

// Clears the sign bits (in place: vectors wider than the baseline's are
// never passed by value outside the functions compiled for them).
template <class Lanes>
[[gnu::always_inline]] inline void clearSigns(Lanes& v) {
    using Bits = decltype(v < v);
    Bits bits;
    std::memcpy(&bits, &v, sizeof v);
    bits &= 0x7fffffffffffffffLL;
    std::memcpy(&v, &bits, sizeof v);
}

struct ProductTerm {  // correlation: the values are already centred
    [[gnu::always_inline]] static void add(double& entry, double x, double y) { entry += x * y; }
    template <class Lanes>
    [[gnu::always_inline]] static void add(Lanes& entry, double x, const Lanes& y) { entry += x * y; }
};
struct SquaredDifferenceTerm {  // euclidean, binary
    [[gnu::always_inline]] static void add(double& entry, double x, double y) {
        const double d = x - y;
        entry += d * d;
    }
    template <class Lanes>
    [[gnu::always_inline]] static void add(Lanes& entry, double x, const Lanes& y) {
        const Lanes d = x - y;
        entry += d * d;
    }
};
struct AbsoluteDifferenceTerm {  // manhattan
    [[gnu::always_inline]] static void add(double& entry, double x, double y) { entry += std::fabs(x - y); }
    template <class Lanes>
    [[gnu::always_inline]] static void add(Lanes& entry, double x, const Lanes& y) {
        Lanes d = x - y;
        clearSigns(d);
        entry += d;
    }
};
struct LargestDifferenceTerm {  // maximum: replaces only when strictly larger
    [[gnu::always_inline]] static void add(double& entry, double x, double y) {
        const double d = std::fabs(x - y);
        entry = entry < d ? d : entry;
    }
    template <class Lanes>
    [[gnu::always_inline]] static void add(Lanes& entry, double x, const Lanes& y) {
        Lanes d = x - y;
        clearSigns(d);
        entry = entry < d ? d : entry;
    }
};

// The finishing operation of one entry after its column sum.
enum class Finish { None, Correlation, Root };

// Turns the sum of products of two centred rows into their "correlation"
// distance, with their roots of sums of squares, the lower row's first; for
// one pair or lanes (in place: see clearSigns).
template <class Sum, class Root, class OtherRoot>
[[gnu::always_inline]] inline void finishCorrelation(Sum& sum, const Root& lowerRoot, const OtherRoot& upperRoot) {
    sum = 1 - (sum / lowerRoot) / upperRoot;
}

}  // namespace distance_terms
