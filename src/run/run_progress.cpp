#include "run/run_progress.h"

#include <unistd.h>

#include <cstdio>
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
