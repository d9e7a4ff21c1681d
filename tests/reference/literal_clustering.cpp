#include "reference/literal_clustering.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "cluster/tree_writer.h"

namespace literal {

namespace {

constexpr double Sentinel = 1e100;
constexpr int NoSlot = -1;

std::size_t at(int i) { return static_cast<std::size_t>(i); }

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
    return distances.entries[at((lo * (2 * n - lo - 1)) / 2 + hi - n - 1)];
}

}  // namespace

void computeDistances(DistanceTriangle& distances, const DataMatrix& matrix, DistanceMetric metric) {
    const int n = matrix.rowCount;
    const int q = matrix.columnCount;
    distances = DistanceTriangle(n);
    std::vector<double> mean(at(n)), squares(at(n));
    if (metric == DistanceMetric::Correlation) {
        for (int r = 0; r < n; ++r) {
            double sum = 0;
            for (int c = 0; c < q; ++c) sum += matrix.at(r, c);
            mean[at(r)] = sum / q;
            double s = 0;
            for (int c = 0; c < q; ++c) s += (matrix.at(r, c) - mean[at(r)]) * (matrix.at(r, c) - mean[at(r)]);
            squares[at(r)] = s;
        }
    }
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            double& entry = distances.entries[at(((2 * n - i - 2) * (i + 1)) / 2 + j - n)];
            entry = 0;
            for (int c = 0; c < q; ++c) {
                const double x = matrix.at(i, c);
                const double y = matrix.at(j, c);
                switch (metric) {
                case DistanceMetric::Correlation: entry += (x - mean[at(i)]) * (y - mean[at(j)]); break;
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
                entry = 1 - (entry / std::sqrt(squares[at(i)])) / std::sqrt(squares[at(j)]);
            if (metric == DistanceMetric::Euclidean) entry = std::sqrt(entry);
        }
    }
}

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

void clusterObjects(MergeTree& tree, const DistanceTriangle& distances, Linkage linkage) {
    const int n = distances.objectCount;
    tree = MergeTree(n);
    if (n < 2) return;
    std::vector<double> nearestDistance(at(n));
    std::vector<int> nearestSlot(at(n)), clusterSize(at(n), 1), clusterId(at(n)), objectSlot(at(n));
    for (int i = 0; i < n; ++i) {
        clusterId[at(i)] = -(i + 1);
        objectSlot[at(i)] = i;
    }
    int b = n;
    auto memberLists = [&]() {
        std::vector<std::vector<int>> lists(at(b));
        for (int k = 0; k < b; ++k) lists[at(k)].reserve(at(clusterSize[at(k)]));
        for (int c = 0; c < n; ++c) lists[at(objectSlot[at(c)])].push_back(c + 1);
        return lists;
    };

    for (int i = 0; i < b; ++i) {
        nearestDistance[at(i)] = Sentinel;
        nearestSlot[at(i)] = NoSlot;
        for (int j = 0; j < b; ++j) {
            if (j == i) continue;
            const double d = objectDistance(distances, i + 1, j + 1);
            if (nearestDistance[at(i)] > d) {
                nearestDistance[at(i)] = d;
                nearestSlot[at(i)] = j;
            }
        }
    }

    for (int s = 1; s <= n - 1; ++s) {
        int p = 0;
        double candidate = nearestDistance[0];
        for (int j = 1; j < b; ++j) {
            if (candidate > nearestDistance[at(j)]) {
                candidate = nearestDistance[at(j)];
                p = j;
            }
        }
        int r = nearestSlot[at(p)];
        double height = nearestDistance[at(p)];
        if (r == NoSlot) {
            r = p == 0 ? 1 : 0;
            const auto lists = memberLists();
            height = linkageDistance(distances, lists[at(p)], lists[at(r)], linkage);
        }
        tree.setHeight(height, s - 1);
        tree.mergePairs[at(s - 1)] = {clusterId[at(p)], clusterId[at(r)]};

        const int keep = p < r ? p : r;
        const int gone = p < r ? r : p;
        clusterSize[at(keep)] += clusterSize[at(gone)];
        clusterId[at(keep)] = s;
        for (int c = 0; c < n; ++c) {
            if (objectSlot[at(c)] == gone)
                objectSlot[at(c)] = keep;
            else if (objectSlot[at(c)] > gone)
                --objectSlot[at(c)];
        }
        for (int j = gone; j <= b - 2; ++j) {
            clusterSize[at(j)] = clusterSize[at(j + 1)];
            clusterId[at(j)] = clusterId[at(j + 1)];
            nearestSlot[at(j)] = nearestSlot[at(j + 1)];
            nearestDistance[at(j)] = nearestDistance[at(j + 1)];
        }
        b = b - 1;
        const auto lists = memberLists();
        nearestDistance[at(keep)] = Sentinel;
        nearestSlot[at(keep)] = NoSlot;
        for (int k = 0; k < b; ++k) {
            if (k != keep && nearestSlot[at(k)] != NoSlot) {
                if (nearestSlot[at(k)] > gone)
                    --nearestSlot[at(k)];
                else if (nearestSlot[at(k)] == gone)
                    nearestSlot[at(k)] = keep;
            }
            if (k == keep) continue;
            const double d = linkageDistance(distances, lists[at(k)], lists[at(keep)], linkage);
            if (nearestDistance[at(keep)] > d) {
                nearestDistance[at(keep)] = d;
                nearestSlot[at(keep)] = k;
            }
            if (nearestSlot[at(k)] == keep) {
                if (d < Sentinel) {
                    nearestDistance[at(k)] = d;
                    nearestSlot[at(k)] = keep;
                } else {
                    nearestDistance[at(k)] = Sentinel;
                    nearestSlot[at(k)] = NoSlot;
                }
                for (int l = 0; l < b; ++l) {
                    if (l == k || l == keep) continue;
                    const double h = linkageDistance(distances, lists[at(k)], lists[at(l)], linkage);
                    if (nearestDistance[at(k)] > h) {
                        nearestDistance[at(k)] = h;
                        nearestSlot[at(k)] = l;
                    }
                }
            } else if (nearestDistance[at(k)] > d) {
                nearestDistance[at(k)] = d;
                nearestSlot[at(k)] = keep;
            }
        }
    }
}

void computeLeafOrder(MergeTree& tree) {
    const int steps = tree.stepCount();
    std::vector<std::vector<int>> sequences(at(steps));
    for (int s = 0; s < steps; ++s) {
        std::vector<int> side[2];
        double height[2];
        for (int k = 0; k < 2; ++k) {
            const int member = tree.mergeMember(s, k);
            if (member < 0) {
                side[k] = {-member};
                height[k] = 0;
            } else {
                side[k] = sequences[at(member - 1)];
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
        sequences[at(s)] = joined;
    }
    if (steps > 0) tree.leafOrder = sequences.back();
}

std::string newHampshireLine(const MergeTree& tree, const NameTable& rowNames, bool hasRowNames) {
    const int steps = tree.stepCount();
    std::vector<std::string> texts(at(steps));
    for (int s = 0; s < steps; ++s) {
        std::string part[2];
        for (int k = 0; k < 2; ++k) {
            const int member = tree.mergeMember(s, k);
            if (member < 0)
                part[k] = hasRowNames ? rowNames[at(-member - 1)] : std::to_string(-member);
            else
                part[k] = texts[at(member - 1)];
        }
        texts[at(s)] = "(" + part[0] + "," + part[1] + "):" + formatValueText(tree.height(s));
    }
    return steps > 0 ? texts.back() + ";" : std::string();
}

}  // namespace literal
