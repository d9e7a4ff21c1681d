#include "resample/perturbation.h"

#include <cassert>
#include <cstddef>

namespace {

// Gives target the shape of source; no reallocation when it already has it.
void shapeLike(const DataMatrix& source, DataMatrix& target) {
    target.rowCount = source.rowCount;
    target.columnCount = source.columnCount;
    target.values.resize(source.values.size());
}

}  // namespace

// Row-major storage: walking the flat array front to back is the same as
// walking row by row and column by column within a row.

void perturbByScale(RandomStream& stream, const DataMatrix& source, DataMatrix& target, double scale) {
    shapeLike(source, target);
    const std::size_t count = source.values.size();
    const double* in = source.values.data();
    double* out = target.values.data();
    standardNormalDeviates(stream, out, count);
    for (std::size_t i = 0; i < count; ++i) out[i] = out[i] * (scale * in[i]) + in[i];
}

void perturbByErrorMatrix(RandomStream& stream, const DataMatrix& source, DataMatrix& target,
                          const DataMatrix& errors) {
    assert(errors.rowCount == source.rowCount && errors.columnCount == source.columnCount);
    shapeLike(source, target);
    const std::size_t count = source.values.size() < errors.values.size() ? source.values.size()
                                                                          : errors.values.size();
    const double* in = source.values.data();
    const double* sd = errors.values.data();
    double* out = target.values.data();
    standardNormalDeviates(stream, out, count);
    for (std::size_t i = 0; i < count; ++i) out[i] = out[i] * sd[i] + in[i];
    // A shorter error matrix breaks the precondition; never read past it and
    // leave the cells it does not cover at their measured values.
    for (std::size_t i = count; i < source.values.size(); ++i) out[i] = in[i];
}
