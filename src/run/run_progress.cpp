#include "run/run_progress.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

namespace {

std::string clockText(double seconds) {
    const long s = seconds < 0 ? 0 : static_cast<long>(seconds + 0.5);
    char text[32];
    if (s >= 3600) std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

}  // namespace

RunProgress::RunProgress(int totalPasses)
    : total_(totalPasses), enabled_(::isatty(STDERR_FILENO) == 1), start_(Clock::now()),
      lastDrawn_(start_ - std::chrono::seconds(1)) {}

RunProgress::~RunProgress() { finish(); }

void RunProgress::update(int passesDone) {
    if (!enabled_) return;
    const auto now = Clock::now();
    if (now - lastDrawn_ < std::chrono::milliseconds(250) && passesDone < total_) return;
    lastDrawn_ = now;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    std::string line = "\rresampling: pass " + std::to_string(passesDone) + " of " +
                       std::to_string(total_) + ", elapsed " + clockText(elapsed);
    if (passesDone > 0 && passesDone < total_)
        line += ", about " + clockText(elapsed / passesDone * (total_ - passesDone)) + " left";
    line += "\x1b[K";  // clear what a longer earlier line left behind
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    shown_ = true;
}

void RunProgress::finish() {
    if (!shown_) return;
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
    shown_ = false;
}

void NonFiniteLog::noteValues(const NonFiniteSummary& summary, int pass) {
    if (summary.count == 0) return;
    if (valueCount == 0) {
        firstValuePass = pass;
        firstValueRow = summary.firstRow;
    }
    valueCount += summary.count;
}

void NonFiniteLog::noteRows(const std::vector<int>& rows) {
    rowsWithNonFiniteDistances.insert(rows.begin(), rows.end());
}

void NonFiniteLog::writeWarnings() const {
    if (valueCount > 0) {
        std::cerr << "noiseclust: warning: " << valueCount
                  << " value(s) became infinite or not a number after preprocessing or "
                     "resampling, first ";
        if (firstValuePass == 0) std::cerr << "in the data as read";
        else std::cerr << "in resampled data set " << firstValuePass;
        std::cerr << ", row " << firstValueRow + 1 << "\n";
    }
    if (!rowsWithNonFiniteDistances.empty()) {
        std::cerr << "noiseclust: warning: infinite or undefined distances involve row(s) ";
        int listed = 0;
        for (int row : rowsWithNonFiniteDistances) {
            if (listed == 20) {
                std::cerr << " and " << rowsWithNonFiniteDistances.size() - 20 << " more";
                break;
            }
            std::cerr << (listed ? ", " : "") << row;
            ++listed;
        }
        std::cerr << "; the trees were still built, with those distances as heights\n";
    }
}

std::vector<int> rowsToName(const DistanceTriangle& distances) {
    std::vector<int> affected = rowsWithNonFiniteDistances(distances);
    if (affected.empty()) return affected;
    const int n = distances.objectCount;
    std::vector<int> spoiled(static_cast<std::size_t>(n), 0);
    std::size_t at = 0;
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j, ++at)
            if (!(std::fabs(distances.entries[at]) < 1e100)) {
                ++spoiled[static_cast<std::size_t>(i)];
                ++spoiled[static_cast<std::size_t>(j)];
            }
    std::vector<int> worst;
    for (int row : affected)
        if (2 * spoiled[static_cast<std::size_t>(row - 1)] >= n - 1) worst.push_back(row);
    return worst.empty() ? affected : worst;
}

StageTimer::StageTimer() : enabled_(std::getenv("NOISECLUST_TIMINGS") != nullptr) {}

void StageTimer::lap(const char* stage) {
    const auto now = std::chrono::steady_clock::now();
    if (enabled_)
        std::cerr << "noiseclust: timing: " << stage << " "
                  << std::chrono::duration<double>(now - last_).count() << " s\n";
    last_ = now;
}
