#include "reference/literal_clustering.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "cluster/tree_writer.h"

namespace literal {

namespace {

constexpr double Sentinel = 1e100;
constexpr int NoSlot = -1;

// Truncation toward zero into a 32-bit integer, saturating outside its
// range; not-a-number counts as 0.
std::int64_t truncated(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0) return std::numeric_limits<std::int32_t>::max();
    if (value <= -2147483649.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

// Distance of two 1-based object numbers.
double objectDistance(const DistanceTriangle& distances, int a, int b) {
    const int n = distances.objectCount;
    const int lo = a < b ? a : b;
    const int hi = a < b ? b : a;
    return distances.entries[index((lo * (2 * n - lo - 1)) / 2 + hi - n - 1)];
}

// Linkage of two disjoint clusters given as lists of 1-based object numbers:
// the first list in the outer loop, the second in the inner loop.
double linkageDistance(const DistanceTriangle& distances, const std::vector<int>& first,
                       const std::vector<int>& second, Linkage linkage) {
    if (linkage == Linkage::Average) {
        double sum = 0;
        for (int a : first)
            for (int b : second) sum = sum + objectDistance(distances, a, b);
        return sum / static_cast<double>(first.size()) / static_cast<double>(second.size());
    }
    bool anyNumber = false;
    double running = linkage == Linkage::Compact ? -Sentinel : Sentinel;
    for (int a : first) {
        for (int b : second) {
            const double v = objectDistance(distances, a, b);
            if (!std::isnan(v)) anyNumber = true;
            if (linkage == Linkage::Compact ? running < v : running > v) running = v;
        }
    }
    return anyNumber ? running : std::numeric_limits<double>::quiet_NaN();
}

}  // namespace

void computeDistances(DistanceTriangle& distances, const DataMatrix& matrix, DistanceMetric metric) {
    const int n = matrix.rowCount;
    const int q = matrix.columnCount;
    distances = DistanceTriangle(n);
    std::vector<double> mean(index(n)), squares(index(n));
    if (metric == DistanceMetric::Correlation) {
        for (int r = 0; r < n; ++r) {
            double sum = 0;
            for (int c = 0; c < q; ++c) sum += matrix.at(r, c);
            mean[index(r)] = sum / q;
            double s = 0;
            for (int c = 0; c < q; ++c) s += (matrix.at(r, c) - mean[index(r)]) * (matrix.at(r, c) - mean[index(r)]);
            squares[index(r)] = s;
        }
    }
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            double& entry = distances.entries[index(((2 * n - i - 2) * (i + 1)) / 2 + j - n)];
            entry = 0;
            for (int c = 0; c < q; ++c) {
                const double x = matrix.at(i, c);
                const double y = matrix.at(j, c);
                switch (metric) {
                case DistanceMetric::Correlation: entry += (x - mean[index(i)]) * (y - mean[index(j)]); break;
                case DistanceMetric::Euclidean: entry += (x - y) * (x - y); break;
                case DistanceMetric::Maximum:
                    if (entry < std::fabs(x - y)) entry = std::fabs(x - y);
                    break;
                case DistanceMetric::Manhattan: entry += std::fabs(x - y); break;
                case DistanceMetric::Binary: {
                    const double difference = static_cast<double>(truncated(x) - truncated(y));
                    entry += difference * difference;
                    break;
                }
                }
            }
            if (metric == DistanceMetric::Correlation)
                entry = 1 - (entry / std::sqrt(squares[index(i)])) / std::sqrt(squares[index(j)]);
            if (metric == DistanceMetric::Euclidean) entry = std::sqrt(entry);
        }
    }
}

void clusterObjects(MergeTree& tree, const DistanceTriangle& distances, Linkage linkage) {
    const int n = distances.objectCount;
    tree = MergeTree(n);
    if (n < 2) return;
    std::vector<double> nearestDistance(index(n));
    std::vector<int> nearestSlot(index(n)), clusterSize(index(n), 1), clusterId(index(n)), objectSlot(index(n));
    for (int i = 0; i < n; ++i) {
        clusterId[index(i)] = -(i + 1);
        objectSlot[index(i)] = i;
    }
    int b = n;
    auto memberLists = [&]() {
        std::vector<std::vector<int>> lists(index(b));
        for (int k = 0; k < b; ++k) lists[index(k)].reserve(index(clusterSize[index(k)]));
        for (int c = 0; c < n; ++c) lists[index(objectSlot[index(c)])].push_back(c + 1);
        return lists;
    };

    for (int i = 0; i < b; ++i) {
        nearestDistance[index(i)] = Sentinel;
        nearestSlot[index(i)] = NoSlot;
        for (int j = 0; j < b; ++j) {
            if (j == i) continue;
            const double d = objectDistance(distances, i + 1, j + 1);
            if (nearestDistance[index(i)] > d) {
                nearestDistance[index(i)] = d;
                nearestSlot[index(i)] = j;
            }
        }
    }

    for (int s = 1; s <= n - 1; ++s) {
        int p = 0;
        double candidate = nearestDistance[0];
        for (int j = 1; j < b; ++j) {
            if (candidate > nearestDistance[index(j)]) {
                candidate = nearestDistance[index(j)];
                p = j;
            }
        }
        int r = nearestSlot[index(p)];
        double height = nearestDistance[index(p)];
        if (r == NoSlot) {
            r = p == 0 ? 1 : 0;
            const auto lists = memberLists();
            height = linkageDistance(distances, lists[index(p)], lists[index(r)], linkage);
        }
        tree.setHeight(height, s - 1);
        tree.mergePairs[index(s - 1)] = {clusterId[index(p)], clusterId[index(r)]};

        const int keep = p < r ? p : r;
        const int gone = p < r ? r : p;
        clusterSize[index(keep)] += clusterSize[index(gone)];
        clusterId[index(keep)] = s;
        for (int c = 0; c < n; ++c) {
            if (objectSlot[index(c)] == gone)
                objectSlot[index(c)] = keep;
            else if (objectSlot[index(c)] > gone)
                --objectSlot[index(c)];
        }
        for (int j = gone; j <= b - 2; ++j) {
            clusterSize[index(j)] = clusterSize[index(j + 1)];
            clusterId[index(j)] = clusterId[index(j + 1)];
            nearestSlot[index(j)] = nearestSlot[index(j + 1)];
            nearestDistance[index(j)] = nearestDistance[index(j + 1)];
        }
        b = b - 1;
        const auto lists = memberLists();
        nearestDistance[index(keep)] = Sentinel;
        nearestSlot[index(keep)] = NoSlot;
        for (int k = 0; k < b; ++k) {
            if (k != keep && nearestSlot[index(k)] != NoSlot) {
                if (nearestSlot[index(k)] > gone)
                    --nearestSlot[index(k)];
                else if (nearestSlot[index(k)] == gone)
                    nearestSlot[index(k)] = keep;
            }
            if (k == keep) continue;
            const double d = linkageDistance(distances, lists[index(k)], lists[index(keep)], linkage);
            if (nearestDistance[index(keep)] > d) {
                nearestDistance[index(keep)] = d;
                nearestSlot[index(keep)] = k;
            }
            if (nearestSlot[index(k)] == keep) {
                if (d < Sentinel) {
                    nearestDistance[index(k)] = d;
                    nearestSlot[index(k)] = keep;
                } else {
                    nearestDistance[index(k)] = Sentinel;
                    nearestSlot[index(k)] = NoSlot;
                }
                for (int l = 0; l < b; ++l) {
                    if (l == k || l == keep) continue;
                    const double h = linkageDistance(distances, lists[index(k)], lists[index(l)], linkage);
                    if (nearestDistance[index(k)] > h) {
                        nearestDistance[index(k)] = h;
                        nearestSlot[index(k)] = l;
                    }
                }
            } else if (nearestDistance[index(k)] > d) {
                nearestDistance[index(k)] = d;
                nearestSlot[index(k)] = keep;
            }
        }
    }
}

void computeLeafOrder(MergeTree& tree) {
    const int steps = tree.stepCount();
    std::vector<std::vector<int>> sequences(index(steps));
    for (int s = 0; s < steps; ++s) {
        std::vector<int> side[2];
        double height[2];
        for (int k = 0; k < 2; ++k) {
            const int member = tree.mergeMember(s, k);
            if (member < 0) {
                side[k] = {-member};
                height[k] = 0;
            } else {
                side[k] = sequences[index(member - 1)];
                height[k] = tree.height(member - 1);
            }
        }
        std::vector<int> joined;
        if (side[0].size() == 1 && side[1].size() == 1) {
            joined = {std::min(side[0][0], side[1][0]), std::max(side[0][0], side[1][0])};
        } else {
            const int firstSide = height[0] > height[1] ? 1 : 0;
            joined = side[firstSide];
            joined.insert(joined.end(), side[1 - firstSide].begin(), side[1 - firstSide].end());
        }
        sequences[index(s)] = joined;
    }
    if (steps > 0) tree.leafOrder = sequences.back();
}

std::string newHampshireLine(const MergeTree& tree, const NameTable& rowNames, bool hasRowNames) {
    const int steps = tree.stepCount();
    std::vector<std::string> texts(index(steps));
    for (int s = 0; s < steps; ++s) {
        std::string part[2];
        for (int k = 0; k < 2; ++k) {
            const int member = tree.mergeMember(s, k);
            if (member < 0)
                part[k] = hasRowNames ? rowNames[index(-member - 1)] : std::to_string(-member);
            else
                part[k] = texts[index(member - 1)];
        }
        texts[index(s)] = "(" + part[0] + "," + part[1] + "):" + formatValueText(tree.height(s));
    }
    return steps > 0 ? texts.back() + ";" : std::string();
}

}  // namespace literal
