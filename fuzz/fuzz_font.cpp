// The font metrics reader from memory. Every record it keeps must have been
// read from within the data.
#include <vector>

#include "fuzz/fuzz_support.h"
#include "resources/font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<FontChar> chars;
  std::vector<FontKerning> kerning;
  parseFontMetrics(data, size, &chars, &kerning);
  if (chars.size() * FONT_CHAR_RECORD_SIZE + kerning.size() * FONT_KERNING_RECORD_SIZE > size) std::abort();
  return 0;
}
