// The in-place number readers of the text mesh formats: the same values and
// end positions as strtol and strtof in the "C" locale for every form those
// accept or refuse, and never a character read past the given end.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "mesh/text_numbers.h"

namespace {

// The text in a heap block of exactly its length, with no NUL after it.
std::unique_ptr<char[]> exact(const std::string& text) {
  auto block = std::make_unique<char[]>(text.size() + (text.empty() ? 1 : 0));
  std::memcpy(block.get(), text.data(), text.size());
  return block;
}

void expect_as_strtof(const std::string& text) {
  char* c_end = nullptr;
  const float expected = std::strtof(text.c_str(), &c_end);
  auto block = exact(text);
  float got = -7.0f;
  const char* end = readFloat(block.get(), block.get() + text.size(), &got);
  const long consumed = end - block.get();
  ASSERT_EQ(consumed, c_end - text.c_str()) << '"' << text << '"';
  if (consumed == 0) {
    EXPECT_EQ(got, -7.0f) << '"' << text << "\": untouched when nothing was read";
  } else if (std::isnan(expected)) {
    EXPECT_TRUE(std::isnan(got)) << '"' << text << '"';
  } else {
    EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0)
        << '"' << text << "\": " << got << " against " << expected;  // bit for bit, signed zeros too
  }
}

void expect_as_strtol(const std::string& text) {
  char* c_end = nullptr;
  const long expected = std::strtol(text.c_str(), &c_end, 10);
  auto block = exact(text);
  long got = 77;
  const char* end = readLong(block.get(), block.get() + text.size(), &got);
  ASSERT_EQ(end - block.get(), c_end - text.c_str()) << '"' << text << '"';
  EXPECT_EQ(got, c_end == text.c_str() ? 77 : expected) << '"' << text << '"';
}

TEST(TextNumbers, FloatsReadAsStrtofReadsThem) {
  const char* const cases[] = {
      "", " ", "1", "-1", "+1", "+-1", "-+1", "--1", ".", "-.", ".5", "5.", "-.5e3", "1e", "1e+", "1e-5x", "12abc",
      "0.1", "123456789012345678901234567890", "1.00000005960464477539062500", "1.0000000596046447753906250000001",
      "00000000000000000000000000000000000000000001", " \t\v\f\r 12", "1,5", "1/2/3", "\x80" "1",
      // beyond and below the range of float: infinity, the nearest denormal, zero
      "1e40", "-1e40", "3.4028235e38", "3.40282357e38", "1e-40", "1.4e-45", "7e-46", "1e-50", "-1e-50",
      "1e99999999999999999999", "1e-99999999999999999999", "0e99999999999",
      // words and hexadecimal forms
      "inf", "INF", "-inf", "+inf", "infinity", "Infinity", "infinit", "nan", "NaN", "-nan", "nan(", "nan()",
      "nan(12_ab)", "nan(a b)", "0x", "0x1", "0x1p3", "-0x1.8p3", "+0X10", "0xg", "0x1p", "0x.8", "0x."};
  for (const char* text : cases) expect_as_strtof(text);
}

TEST(TextNumbers, LongsReadAsStrtolReadsThem) {
  const char* const cases[] = {"", "-", "+", "0", "-0", "+12", "+-1", " \f\v\r\t42", "12/3", "007",
                               "9223372036854775807", "9223372036854775808", "-9223372036854775808",
                               "-9223372036854775809", "99999999999999999999999", "-99999999999999999999999",
                               "1.5", "x1"};
  for (const char* text : cases) expect_as_strtol(text);
}

TEST(TextNumbers, ReadingStopsAtTheGivenEnd) {
  // The digits, exponent or word that follow the end are not part of the number.
  const std::string text = "1.5e5 2500000 infinity";
  float value = 0;
  EXPECT_EQ(readFloat(text.data(), text.data() + 3, &value), text.data() + 3);
  EXPECT_EQ(value, 1.5f);
  EXPECT_EQ(readFloat(text.data() + 14, text.data() + 17, &value), text.data() + 17);
  EXPECT_TRUE(std::isinf(value));
  long number = 0;
  EXPECT_EQ(readLong(text.data() + 6, text.data() + 9, &number), text.data() + 9);
  EXPECT_EQ(number, 250);
  // Only white space, or a sign, before the end: nothing read.
  EXPECT_EQ(readFloat(text.data() + 5, text.data() + 6, &value), text.data() + 5);
  const std::string sign = "-5";
  EXPECT_EQ(readLong(sign.data(), sign.data() + 1, &number), sign.data());
  // A hexadecimal number cut by the end is read as far as the end.
  const std::string hex = "0x1fp3";
  EXPECT_EQ(readFloat(hex.data(), hex.data() + 4, &value), hex.data() + 4);
  EXPECT_EQ(value, 31.0f);
}

}  // namespace
