#pragma once
// Array positions from the signed counts, object numbers and slots that the
// records carry: one cast, written once.

#include <cstddef>

inline std::size_t index(int i) { return static_cast<std::size_t>(i); }
