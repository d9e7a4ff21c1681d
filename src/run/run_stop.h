#pragma once
// A request to stop a run early, from a signal handler or an interpreter's
// interrupt check. The stages look at it after every resampled tree and end
// the run without its consensus; what the run wrote is then incomplete.

// Safe to call from a signal handler.
void requestRunStop() noexcept;
bool runStopRequested() noexcept;
void clearRunStop() noexcept;

// Exit status of runStages for a run stopped on request.
inline constexpr int RunStoppedStatus = 130;
