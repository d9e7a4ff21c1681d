#pragma once
// A self-updating progress line on standard error while the resampled data
// sets are clustered: shown only when standard error is a terminal, refreshed
// a few times a second at most, erased when the work is done. Standard output
// and the report never see it.

#include <chrono>

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
