// Numbers read in place from text that need not end in a NUL: every read stops
// at `end`. They accept what strtol (base 10) and strtof accept in the "C"
// locale, whatever the process's locale is, and give the same values, without
// copying the text first. The text readers call these once per number, so the
// common decimal forms take a path without allocation.
#pragma once

// On success the first character after the number; on failure `p` itself
// (nothing read, *out untouched), as strtol and strtof set their end pointer.

// Leading white space (" \t\n\v\f\r"), an optional sign, decimal digits;
// beyond the range of long, LONG_MAX or LONG_MIN.
const char* readLong(const char* p, const char* end, long* out);

// Leading white space, an optional sign, then a decimal number with an optional
// exponent, a hexadecimal one ("0x1.8p3"), "inf", "infinity" or "nan" with an
// optional "(chars)", letters in either case. Beyond the range of float:
// infinity; below it: the nearest denormal or zero.
const char* readFloat(const char* p, const char* end, float* out);
