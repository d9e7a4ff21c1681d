// Agglomerative clustering with a nearest-neighbour table: see clustering.h.

#include "cluster/clustering.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <vector>

namespace {

constexpr double Sentinel = 1e100;
constexpr int NoSlot = -1;

std::size_t at(int i) { return static_cast<std::size_t>(i); }

// Linkage of two disjoint clusters given by their ascending 0-based rows,
// the first cluster's rows in the outer loop.
double linkageDistance(const DistanceTriangle& distances, const std::vector<int>& first,
                       const std::vector<int>& second, Linkage linkage) {
    if (linkage == Linkage::Average) {
        double sum = 0;
        for (int a : first)
            for (int b : second) sum = sum + distances.between(a, b);
        return sum / static_cast<double>(first.size()) / static_cast<double>(second.size());
    }
    bool anyNumber = false;
    double running = linkage == Linkage::Compact ? -Sentinel : Sentinel;
    for (int a : first) {
        for (int b : second) {
            const double v = distances.between(a, b);
            anyNumber = anyNumber || !std::isnan(v);
            if (linkage == Linkage::Compact ? running < v : running > v) running = v;
        }
    }
    return anyNumber ? running : std::numeric_limits<double>::quiet_NaN();
}

struct Slot {
    int code;                  // -object for a single object, else the step that formed it
    std::vector<int> members;  // 0-based rows, ascending
    double nearestDistance;
    int nearestSlot;
};

}  // namespace

std::optional<Linkage> linkageFromKeyword(std::string_view keyword) {
    if (keyword == "average") return Linkage::Average;
    if (keyword == "compact") return Linkage::Compact;
    if (keyword == "connected") return Linkage::Connected;
    return std::nullopt;
}

void clusterObjects(MergeTree& tree, const DistanceTriangle& distances, Linkage linkage) {
    const int n = distances.objectCount;
    if (tree.objectCount != n || tree.stepCount() != std::max(n - 1, 0)) tree = MergeTree(n);
    if (n < 2) return;

    std::vector<Slot> slots(at(n));
    for (int i = 0; i < n; ++i) {
        Slot& slot = slots[at(i)];
        slot.code = -(i + 1);
        slot.members = {i};
        slot.nearestDistance = Sentinel;
        slot.nearestSlot = NoSlot;
        for (int j = 0; j < n; ++j) {
            if (j == i) continue;
            const double d = distances.between(i, j);
            if (slot.nearestDistance > d) {
                slot.nearestDistance = d;
                slot.nearestSlot = j;
            }
        }
    }

    for (int s = 1; s <= n - 1; ++s) {
        const int b = static_cast<int>(slots.size());
        int p = 0;
        for (int j = 1; j < b; ++j)
            if (slots[at(p)].nearestDistance > slots[at(j)].nearestDistance) p = j;
        int r = slots[at(p)].nearestSlot;
        double height = slots[at(p)].nearestDistance;
        if (r == NoSlot) {
            r = p == 0 ? 1 : 0;
            height = linkageDistance(distances, slots[at(p)].members, slots[at(r)].members, linkage);
        }
        tree.setHeight(height, s - 1);
        tree.mergePairs[at(s - 1)] = {slots[at(p)].code, slots[at(r)].code};

        const int keep = std::min(p, r);
        const int gone = std::max(p, r);
        std::vector<int> joined;
        joined.reserve(slots[at(keep)].members.size() + slots[at(gone)].members.size());
        std::merge(slots[at(keep)].members.begin(), slots[at(keep)].members.end(), slots[at(gone)].members.begin(),
                   slots[at(gone)].members.end(), std::back_inserter(joined));
        slots[at(keep)].members = std::move(joined);
        slots[at(keep)].code = s;
        slots.erase(slots.begin() + gone);
        const int active = b - 1;

        Slot& kept = slots[at(keep)];
        kept.nearestDistance = Sentinel;
        kept.nearestSlot = NoSlot;
        for (int k = 0; k < active; ++k) {
            if (k == keep) continue;
            Slot& slot = slots[at(k)];
            if (slot.nearestSlot > gone)
                --slot.nearestSlot;
            else if (slot.nearestSlot == gone)
                slot.nearestSlot = keep;
            const double d = linkageDistance(distances, slot.members, kept.members, linkage);
            if (kept.nearestDistance > d) {
                kept.nearestDistance = d;
                kept.nearestSlot = k;
            }
            if (slot.nearestSlot == keep) {
                slot.nearestDistance = d < Sentinel ? d : Sentinel;
                slot.nearestSlot = d < Sentinel ? keep : NoSlot;
                for (int l = 0; l < active; ++l) {
                    if (l == k || l == keep) continue;
                    const double h = linkageDistance(distances, slot.members, slots[at(l)].members, linkage);
                    if (slot.nearestDistance > h) {
                        slot.nearestDistance = h;
                        slot.nearestSlot = l;
                    }
                }
            } else if (slot.nearestDistance > d) {
                slot.nearestDistance = d;
                slot.nearestSlot = keep;
            }
        }
    }
}
