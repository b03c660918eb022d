#include "mesh/text_numbers.h"

#include <charconv>
#include <climits>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace {

// isspace in the "C" locale.
bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

const char* skip_space(const char* s, const char* end) {
  while (s < end && is_space(*s)) ++s;
  return s;
}

// Characters any number strtof reads can consist of; a copy of a run of them
// holds the whole of the longest number at its start.
bool is_number_char(char c) {
  return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '.' || c == '+' || c == '-' ||
         c == '(' || c == ')' || c == '_';
}

locale_t c_locale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

// The rare forms (hexadecimal, out of range) through strtof_l on a bounded,
// NUL-terminated copy of the number's characters.
const char* read_float_copy(const char* start, const char* end, const char* p, float* out) {
  const char* stop = start;
  while (stop < end && is_number_char(*stop)) ++stop;
  std::string text(start, stop);
  char* after = nullptr;
  float value = c_locale() ? strtof_l(text.c_str(), &after, c_locale()) : std::strtof(text.c_str(), &after);
  if (after == text.c_str()) return p;
  *out = value;
  return start + (after - text.c_str());
}

}  // namespace

const char* readLong(const char* p, const char* end, long* out) {
  const char* s = skip_space(p, end);
  bool negative = false;
  if (s < end && (*s == '+' || *s == '-')) {
    negative = *s == '-';
    ++s;
  }
  if (s >= end || !is_digit(*s)) return p;
  // The magnitude of LONG_MIN is one more than LONG_MAX.
  const unsigned long limit = negative ? static_cast<unsigned long>(LONG_MAX) + 1 : LONG_MAX;
  unsigned long magnitude = 0;
  bool overflow = false;
  for (; s < end && is_digit(*s); ++s) {
    unsigned long digit = static_cast<unsigned long>(*s - '0');
    if (overflow || magnitude > (limit - digit) / 10)
      overflow = true;
    else
      magnitude = magnitude * 10 + digit;
  }
  if (overflow)
    *out = negative ? LONG_MIN : LONG_MAX;
  else
    *out = negative ? static_cast<long>(0UL - magnitude) : static_cast<long>(magnitude);
  return s;
}

const char* readFloat(const char* p, const char* end, float* out) {
  const char* start = skip_space(p, end);
  const char* s = start;
  // from_chars takes a minus but no plus, and no hexadecimal prefix.
  if (s < end && *s == '+') {
    ++s;
    if (s < end && *s == '-') return p;
  }
  const char* digits = s < end && *s == '-' ? s + 1 : s;
  if (end - digits >= 2 && digits[0] == '0' && (digits[1] | 0x20) == 'x') return read_float_copy(start, end, p, out);
  float value = 0.0f;
  std::from_chars_result result = std::from_chars(s, end, value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) return read_float_copy(start, end, p, out);
  if (result.ec != std::errc()) return p;
  *out = value;
  return result.ptr;
}
