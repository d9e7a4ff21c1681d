// Support values and majority-rule selection: see majority_rule.h.

#include "consensus/majority_rule.h"

#include <bit>
#include <cstddef>
#include <cstdint>

namespace {

// A cluster seen while counting: its identity, how many trees hold it and
// where it occurs first.
struct ClusterTally {
    ClusterKey key;
    int size = 0;
    int count = 0;
    int firstSample = 0;
    int firstSlot = 0;
};

// Open-addressing table from (key, size) to tallies. Its capacity is fixed
// when it is made, so it never rehashes; slots hold tally positions + 1.
class ClusterTable {
public:
    explicit ClusterTable(std::size_t capacity)
        : slots_(std::bit_ceil(2 * capacity + 2), 0), mask_(slots_.size() - 1) {
        tallies_.reserve(capacity);
    }

    // The tally of the cluster, or nullptr when it has none.
    ClusterTally* find(const ClusterKey& key, int size) {
        for (std::size_t s = start(key, size);; s = (s + 1) & mask_) {
            const std::uint32_t entry = slots_[s];
            if (entry == 0) return nullptr;
            ClusterTally& tally = tallies_[entry - 1];
            if (tally.size == size && tally.key == key) return &tally;
        }
    }

    // The tally of the cluster; a new one (count 0) is made at (sample, slot)
    // when there is none and there is room.
    ClusterTally* findOrAdd(const ClusterKey& key, int size, int sample, int slot) {
        std::size_t s = start(key, size);
        for (;; s = (s + 1) & mask_) {
            const std::uint32_t entry = slots_[s];
            if (entry == 0) break;
            ClusterTally& tally = tallies_[entry - 1];
            if (tally.size == size && tally.key == key) return &tally;
        }
        if (tallies_.size() == tallies_.capacity()) return nullptr;
        tallies_.push_back(ClusterTally{key, size, 0, sample, slot});
        slots_[s] = static_cast<std::uint32_t>(tallies_.size());
        return &tallies_.back();
    }

private:
    std::size_t start(const ClusterKey& key, int size) const {
        // The key bits are already pseudo-random; mix in the size for the
        // rare sets with equal key and different size.
        const std::uint64_t h = key.low ^ (static_cast<std::uint64_t>(size) * 0x9e3779b97f4a7c15ULL);
        return static_cast<std::size_t>(h ^ (h >> 29)) & mask_;
    }

    std::vector<std::uint32_t> slots_;
    std::size_t mask_;
    std::vector<ClusterTally> tallies_;
};

double confidence(int count, int h) { return count * 1.0 / h; }

}  // namespace

std::vector<double> computeSupportValues(const SampleClusters& firstTree,
                                         const std::vector<SampleClusters>& samples) {
    const int steps = firstTree.stepCount();
    const int h = static_cast<int>(samples.size());
    ClusterTable table(index(steps));
    std::vector<ClusterTally*> tallyOfStep(index(steps));
    for (int d = 0; d < steps; ++d) {
        tallyOfStep[index(d)] =
            table.findOrAdd(firstTree.keys[index(d)], firstTree.sizes[index(d)], 0, d);
    }
    // The clusters of one tree are distinct sets, so a sample adds at most
    // one to each count: the count is the number of samples containing it.
    for (const SampleClusters& sample : samples) {
        for (int slot = 0; slot < sample.stepCount(); ++slot) {
            if (ClusterTally* tally = table.find(sample.keys[index(slot)], sample.sizes[index(slot)])) {
                ++tally->count;
            }
        }
    }
    std::vector<double> support(index(steps));
    for (int d = 0; d < steps; ++d) support[index(d)] = confidence(tallyOfStep[index(d)]->count, h);
    return support;
}

ClusterList selectMajorityClusters(const std::vector<SampleClusters>& samples, int rowCount) {
    const int h = static_cast<int>(samples.size());
    const int majority = h / 2;
    // A cluster with more than h/2 occurrences occurs first in one of the
    // first h - floor(h/2) trees, so only those trees add new clusters.
    const int sourceCount = h - h / 2;
    std::size_t capacity = 0;
    for (int d = 0; d < sourceCount; ++d) capacity += index(samples[index(d)].stepCount());
    ClusterTable table(capacity);
    for (int f = 0; f < h; ++f) {
        const SampleClusters& sample = samples[index(f)];
        for (int slot = 0; slot < sample.stepCount(); ++slot) {
            const ClusterKey& key = sample.keys[index(slot)];
            const int size = sample.sizes[index(slot)];
            ClusterTally* tally =
                f < sourceCount ? table.findOrAdd(key, size, f, slot) : table.find(key, size);
            if (tally != nullptr) ++tally->count;
        }
    }

    // Selected clusters in the order of their first occurrence. Distinct
    // pairwise nested-or-disjoint clusters number at most rowCount - 1; the
    // bound on the slots only matters if two different sets shared a key.
    std::vector<std::vector<int>> selectedMembers(index(rowCount));
    std::vector<int> selectedSizes(index(rowCount), 0);
    std::vector<int> selectedCounts(index(rowCount), 0);
    int g = 0;
    for (int d = 0; d < sourceCount && g < rowCount; ++d) {
        const SampleClusters& sample = samples[index(d)];
        for (int slot = 0; slot < sample.stepCount() && g < rowCount; ++slot) {
            const ClusterTally* tally = table.find(sample.keys[index(slot)], sample.sizes[index(slot)]);
            if (tally->firstSample != d || tally->firstSlot != slot || tally->count <= majority) continue;
            selectedMembers[index(g)] = clusterMembers(sample, slot);
            selectedSizes[index(g)] = static_cast<int>(selectedMembers[index(g)].size());
            selectedCounts[index(g)] = tally->count;
            ++g;
        }
    }

    ClusterList consensus(rowCount);
    consensus.assign(selectedMembers, selectedSizes);
    for (int d = 0; d < g; ++d) consensus.setValue(confidence(selectedCounts[index(d)], h), d);
    return consensus;
}

ClusterList buildConsensusClusters(const std::vector<SampleClusters>& samples, int rowCount) {
    ClusterList consensus = selectMajorityClusters(samples, rowCount);
    consensus.sortBySize();
    return consensus;
}
