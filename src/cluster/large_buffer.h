#pragma once
// Allocation of the big arrays of the clustering (distance triangles,
// linkage squares): hundreds of megabytes read at scattered places, where
// the cost of address translation dominates unless the kernel backs the
// memory with huge pages. The hint is given before the memory is touched.

#include <cstddef>
#include <vector>

// Makes values hold count elements. When its storage has to grow, the new
// storage is hinted for huge pages and the elements are all zero; otherwise
// the first elements keep their values.
void resizeLargeBuffer(std::vector<double>& values, std::size_t count);
