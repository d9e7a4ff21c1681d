// Huge-page hint for big buffers: see large_buffer.h.

#include "cluster/large_buffer.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {

// Worth hinting only when the buffer spans several huge pages.
constexpr std::size_t HugePageBytes = std::size_t{2} << 20;

}  // namespace

void adviseHugePages([[maybe_unused]] void* start, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (bytes < 4 * HugePageBytes) return;
    const auto first = (reinterpret_cast<std::uintptr_t>(start) + HugePageBytes - 1) & ~(HugePageBytes - 1);
    const auto last = (reinterpret_cast<std::uintptr_t>(start) + bytes) & ~(HugePageBytes - 1);
    // Only a hint: a kernel without huge pages refuses it and nothing changes.
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}
