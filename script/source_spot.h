// A place in script.txt: line and column, both counted from 1 (a column counts
// bytes, so a tab is one column). 0 means unknown. Diagnostics quote the line
// and put a caret under the column.
#pragma once

#include <cstdint>

struct SourceSpot {
  int32_t line = 0;
  int32_t column = 0;
};
