// Runs the scenes of examples/NAME/Data (and demo/Data) headless on a copy of
// their data folder, and measures regions of the screenshot.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/e2e.h"

// The example's script with each `from` text replaced by its `to` (each must
// occur), so that a test can switch one feature off and compare.
using Edits = std::vector<std::pair<std::string, std::string>>;

struct Mean {
  double r = 0, g = 0, b = 0;
  double luminance() const { return 0.299 * r + 0.587 * g + 0.114 * b; }
};

// The pixels of the region for which `test(r, g, b)` holds.
template <typename Test>
int count_pixels(const RunResult& run, int x0, int y0, int x1, int y1, Test test) {
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      int r, g, b;
      run.pixel(x, y, &r, &g, &b);
      if (test(r, g, b)) ++n;
    }
  return n;
}

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Copies every file of `source_dir` (not recursive) into `data`.
inline void copy_folder(const std::string& source_dir, const DataFolder& data) {
  for (const auto& entry : std::filesystem::directory_iterator(source_dir))
    if (entry.is_regular_file()) data.write(entry.path().filename().string(), read_file(entry.path()));
}

// Runs example `name` at 480 x 320 with `args` added, a screenshot taken.
inline RunResult run_example(const std::string& name, const std::vector<std::string>& args, const Edits& edits = {}) {
  const std::string dir = std::string(TALPINE_SOURCE_DIR) + "/examples/" + name + "/Data";
  DataFolder data;
  copy_folder(dir, data);
  if (!edits.empty()) {
    std::string script = read_file(dir + "/script.txt");
    for (const auto& [from, to] : edits) {
      size_t at = script.find(from);
      EXPECT_NE(at, std::string::npos) << name << ": the script no longer holds " << from;
      if (at != std::string::npos) script.replace(at, from.size(), to);
    }
    data.write("script.txt", script);
  }
  std::vector<std::string> all = {"--size", "480x320"};
  all.insert(all.end(), args.begin(), args.end());
  return run_talpine(data, all, true);
}

// The mean colour of the pixels x0 <= x < x1, y0 <= y < y1.
inline Mean region_mean(const RunResult& run, int x0, int y0, int x1, int y1) {
  Mean m;
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      int r, g, b;
      run.pixel(x, y, &r, &g, &b);
      m.r += r;
      m.g += g;
      m.b += b;
      ++n;
    }
  if (n) {
    m.r /= n;
    m.g /= n;
    m.b /= n;
  }
  return m;
}

// Pixels of the region whose colours differ between two runs by more than
// `threshold` in the sum of the three channels.
inline int count_changed(const RunResult& a, const RunResult& b, int x0, int y0, int x1, int y1, int threshold) {
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      int r1, g1, b1, r2, g2, b2;
      a.pixel(x, y, &r1, &g1, &b1);
      b.pixel(x, y, &r2, &g2, &b2);
      if (std::abs(r1 - r2) + std::abs(g1 - g2) + std::abs(b1 - b2) > threshold) ++n;
    }
  return n;
}
