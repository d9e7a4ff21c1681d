#pragma once
// What a run tells the user on standard error besides its failures: a
// self-updating progress line while the resampled data sets are clustered,
// the warnings about non-finite values and distances, and stage timings for
// benchmarks. Standard output and the report never see any of it.

#include <chrono>
#include <set>
#include <vector>

#include "cluster/distance_triangle.h"
#include "data/preprocess.h"

// The progress line: shown only when standard error is a terminal, refreshed
// a few times a second at most, erased when the work is done.
class RunProgress {
public:
    explicit RunProgress(int totalPasses);
    ~RunProgress();
    RunProgress(const RunProgress&) = delete;
    RunProgress& operator=(const RunProgress&) = delete;

    void update(int passesDone);
    void finish();  // erases the line; safe to call more than once

private:
    using Clock = std::chrono::steady_clock;
    int total_;
    bool enabled_;
    bool shown_ = false;
    Clock::time_point start_;
    Clock::time_point lastDrawn_;
};

// Non-finite values and distances are not errors, but a careful user wants to
// know about them: the run collects where they first arose and warns once.
struct NonFiniteLog {
    long long valueCount = 0;
    int firstValuePass = -1;  // 0 = the data as read
    int firstValueRow = -1;   // 0-based
    std::set<int> rowsWithNonFiniteDistances;  // 1-based row numbers

    void noteValues(const NonFiniteSummary& summary, int pass);
    void noteRows(const std::vector<int>& rows);
    void writeWarnings() const;
};

// The rows to name in the warning about non-finite distances: those whose
// distances to at least half of the other rows are affected (a constant row
// under "correlation" spoils one distance of every other row, and only it
// should be named), or every affected row when none is that bad.
std::vector<int> rowsToName(const DistanceTriangle& distances);

// With NOISECLUST_TIMINGS set, the wall time of each stage goes to standard
// error (for benchmarks; the report is unchanged).
class StageTimer {
public:
    StageTimer();
    void lap(const char* stage);

private:
    bool enabled_;
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};
