#pragma once
// Allocation of the big arrays of the clustering (distance triangles,
// linkage cells): hundreds of megabytes read at scattered places, where the
// cost of address translation dominates unless the kernel backs the memory
// with huge pages. The hint is given before the memory is touched.

#include <cstddef>
#include <vector>

// Asks the kernel to back [start, start + bytes) with huge pages where it
// spans several; only a hint.
void adviseHugePages(void* start, std::size_t bytes);

// Makes values hold count elements. When its storage has to grow, the new
// storage is hinted for huge pages and the elements are all zero; otherwise
// the first elements keep their values.
template <class Value>
void resizeLargeBuffer(std::vector<Value>& values, std::size_t count) {
    if (count <= values.capacity()) {
        values.resize(count);
        return;
    }
    std::vector<Value> fresh;
    fresh.reserve(count);
    adviseHugePages(fresh.data(), count * sizeof(Value));
    fresh.resize(count);
    values.swap(fresh);
}
