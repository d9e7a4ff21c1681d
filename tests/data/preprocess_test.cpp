// The quicksort of median centring, value for value and draw for draw
// against a literal recursive sort. The pinned reports and the whole-run
// tests cover the transforms and the stream each one leaves.

#include "data/preprocess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The sort exactly as written down: a fresh copy per call, both sub-sorts by
// recursion, the pivot at trunc(u * count), lower part first.
void literalQuickSort(double* values, int count, RandomStream& stream) {
    if (count <= 1) return;
    if (count == 2) {
        if (values[0] > values[1]) std::swap(values[0], values[1]);
        return;
    }
    const int k = static_cast<int>(uniformRandom(stream) * count);
    const std::vector<double> scratch(values, values + count);
    int lower = 0, upper = 0;
    for (int i = 0; i < count; ++i)
        if (i != k) (scratch[i] < scratch[k] ? values[lower++] : values[count - 1 - upper++]) = scratch[i];
    values[lower] = scratch[k];
    literalQuickSort(values, lower, stream);
    literalQuickSort(values + lower + 1, upper, stream);
}

TEST(QuickSortValues, MatchesTheLiteralSortValueForValueAndDrawForDraw) {
    RandomStream inputs{1234, 67, 276};  // a separate stream just to make test data
    RandomStream product, literal;
    for (int trial = 0; trial < 400; ++trial) {
        std::vector<double> values(static_cast<std::size_t>(trial % 61));
        for (double& v : values) {  // few distinct values on odd trials: many ties
            const double u = uniformRandom(inputs);
            v = trial % 2 ? std::floor(u * 5.0) - 2.0 : (u - 0.5) * 1e6;
        }
        std::vector<double> sorted = values, expected = values;
        quickSortValues(sorted, product);
        literalQuickSort(expected.data(), static_cast<int>(values.size()), literal);
        std::sort(values.begin(), values.end());
        ASSERT_EQ(sorted, values) << "trial " << trial;
        ASSERT_EQ(sorted, expected) << "trial " << trial;
        ASSERT_TRUE(product == literal) << "trial " << trial;
    }
}

}  // namespace
