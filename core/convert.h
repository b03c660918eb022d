// Script values are 32-bit floats; wherever an integer is needed the value goes
// through here: truncated toward zero, NaN to 0, values beyond the 32-bit range
// to its nearest limit (a raw cast would be undefined behaviour).
#pragma once

#include <cmath>
#include <cstdint>

inline int32_t float_to_int(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(value);  // truncates toward zero
}

// A script flag is true when it differs from 0.0 (NaN counts as true).
inline bool float_flag(float value) { return value != 0.0f; }
