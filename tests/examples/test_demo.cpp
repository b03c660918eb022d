// The demo tour plays headless: its script parses, every command it sends is
// recognised, and the program ends normally. Then the tour itself, shortened
// (one round, each scene held 1.5 s, fades of ten steps, a lighter bake) and
// played on the fixed-step clock: every scene saved at the end of its hold at
// 640 x 480, 1200 x 800 and 1920 x 1080 and measured, and the whole round
// recorded at a small size, frame by frame, for frames that flash.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "tests/examples/example_run.h"

namespace {

const std::string DEMO = std::string(TALPINE_SOURCE_DIR) + "/demo/Data";
// Scenes of the tour, in order.
constexpr int SCENES = 8;
const char* const SCENE_NAMES[SCENES] = {"baked court", "courtyard", "csg",   "pool",
                                         "monitor",     "deformers", "night", "labels"};

TEST(Demo, TheTourStartsWithoutAnyMessage) {
  DataFolder data;
  copy_folder(DEMO, data);
  RunResult run = run_talpine(data, {"--size", "480x320", "--max-frames", "60"}, true, 240);
  EXPECT_EQ(run.exit_status, 0) << run.output << run.errors;
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(std::regex_replace(run.errors, std::regex("Baking lightmaps: [^\n]*\n"), ""), "");
  EXPECT_TRUE(run.has_screenshot);
}

// One round of the tour, shortened. With `probes`, each scene prints the fade's
// alpha right after its fade-in starts (100: from black) and again, saving the
// frame, just before its fade-out (0: the fade-in ran to its end).
std::string short_tour(bool probes) {
  std::string script = read_file(DEMO + "/script.txt");
  auto replace_all = [&](const std::string& from, const std::string& to) {
    size_t count = 0;
    for (size_t at = script.find(from); at != std::string::npos; at = script.find(from, at + to.size())) {
      script.replace(at, from.size(), to);
      ++count;
    }
    return count;
  };
  EXPECT_EQ(replace_all("while (1) {", "while (tour < 1) {"), 1u);
  script = std::regex_replace(script, std::regex("time - t0 < [0-9]+"), "time - t0 < 1500");
  script = std::regex_replace(script, std::regex("sleep [0-9]{4};"), "sleep 1500;");
  // Ten steps a fade: the fade-out's wait for 88 hundredths still sees 90.
  EXPECT_EQ(replace_all("scene fade (0, 0, 0, 0, 0.04);", "scene fade (0, 0, 0, 0, 0.1);"), 1u);
  EXPECT_EQ(replace_all("scene fade (0, 0, 0, 1, -0.04);", "scene fade (0, 0, 0, 1, -0.1);"),
            static_cast<size_t>(SCENES));
  EXPECT_EQ(replace_all("radio polydiv (3);", "radio polydiv (2);"), 1u);
  if (probes) {
    replace_all("scene fade (0, 0, 0, 1, -0.1);\n", "scene fade (0, 0, 0, 1, -0.1);\n  print status fading(0);\n");
    EXPECT_EQ(replace_all("\n  fade_out();\n", "\n  scene save;\n  print status fading(0);\n  fade_out();\n"),
              static_cast<size_t>(SCENES));
  }
  return script;
}

struct Picture {
  double mean = 0;            // luminance, 0..255
  double quadrant[4] = {};    // mean luminance of each quarter
  double lit = 0;             // share of pixels with luminance above 10
};

Picture measure(const RunResult& image) {
  Picture p;
  double sums[4] = {}, counts[4] = {};
  long lit = 0;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      int r, g, b;
      image.pixel(x, y, &r, &g, &b);
      const double l = 0.299 * r + 0.587 * g + 0.114 * b;
      const int q = (y * 2 / image.height) * 2 + x * 2 / image.width;
      sums[q] += l;
      counts[q] += 1;
      if (l > 10) ++lit;
      p.mean += l;
    }
  const double pixels = static_cast<double>(image.width) * image.height;
  p.mean /= pixels;
  p.lit = lit / pixels;
  for (int q = 0; q < 4; ++q) p.quadrant[q] = sums[q] / counts[q];
  return p;
}

// Plays the probed tour at one window size and checks every scene's frame.
void play_at(int width, int height) {
  DataFolder data;
  copy_folder(DEMO, data);
  data.write("script.txt", short_tour(true));
  const std::string size = std::to_string(width) + "x" + std::to_string(height);
  RunResult run = run_talpine(data, {"--size", size, "--fixed-step", "100", "--frames", "2"}, false, 280);
  ASSERT_EQ(run.exit_status, 0) << run.output << run.errors;
  EXPECT_EQ(std::regex_replace(run.errors, std::regex("Baking lightmaps: [^\n]*\n"), ""), "");
  std::string expected;
  for (int scene = 0; scene < SCENES; ++scene)
    expected += "Talpine Engine 2.02: script print: 100.000000\nTalpine Engine 2.02: script print: 0.000000\n";
  EXPECT_EQ(run.output, expected) << "each fade-in starts from black and runs to its end";

  for (int scene = 0; scene < SCENES; ++scene) {
    const std::string name = SCENE_NAMES[scene];
    RunResult image;
    ASSERT_TRUE(read_png_file(data.path() + "screen" + std::to_string(scene + 1) + ".png", &image)) << name;
    // The frame is the window's, whatever a bake left of the viewport.
    EXPECT_EQ(image.width, width) << name;
    EXPECT_EQ(image.height, height) << name;
    if (const char* keep = std::getenv("TALPINE_TEST_PICTURES"))
      std::filesystem::copy_file(data.path() + "screen" + std::to_string(scene + 1) + ".png",
                                 std::string(keep) + "/demo_" + size + "_" + std::to_string(scene + 1) + ".png",
                                 std::filesystem::copy_options::overwrite_existing);
    const Picture p = measure(image);
    // Lit, not washed out; the night scene is dark on purpose.
    EXPECT_GT(p.mean, name == "night" || name == "labels" ? 12 : 35) << name << " at " << size;
    EXPECT_LT(p.mean, 190) << name << " at " << size;
    // The scene fills the window: no quarter is empty.
    for (int q = 0; q < 4; ++q)
      EXPECT_GT(p.quadrant[q], name == "night" ? 4 : 15) << name << ", quarter " << q << " at " << size;
    EXPECT_GT(p.lit, name == "night" || name == "labels" ? 0.25 : 0.8) << name << " at " << size;
  }
}

TEST(Demo, TheTourAt640x480) { play_at(640, 480); }
TEST(Demo, TheTourAt1200x800) { play_at(1200, 800); }
TEST(Demo, TheTourAt1920x1080) { play_at(1920, 1080); }

// Recorded frame by frame: it starts black, and no frame jumps in brightness
// (a scene seen before its fade-in, or after its fade-out ended, would).
TEST(Demo, TheRecordedTourNeverFlashes) {
  DataFolder data;
  copy_folder(DEMO, data);
  data.write("script.txt", short_tour(false));
  const std::string frames = data.path() + "frames";
  RunResult run =
      run_talpine(data, {"--size", "160x120", "--record", frames, "--fps", "10", "--frames", "2"}, false, 280);
  ASSERT_EQ(run.exit_status, 0) << run.output << run.errors;
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(frames)) files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  ASSERT_GT(files.size(), 100u);
  std::vector<double> means;
  for (const std::string& file : files) {
    RunResult image;
    ASSERT_TRUE(read_png_file(file, &image)) << file;
    means.push_back(measure(image).mean);
  }
  EXPECT_LT(means[0], 2.0) << "the first frame is black";
  int dark_runs = 0;
  for (size_t k = 1; k < means.size(); ++k) {
    // A fade step is a tenth of the scene's brightness here; a frame shown
    // out of its fade is all of it.
    const double limit = 16 + 0.15 * std::max(means[k - 1], means[k]);
    EXPECT_LE(std::abs(means[k] - means[k - 1]), limit)
        << "frame " << k + 1 << ": " << means[k - 1] << " to " << means[k];
    if (means[k] < 2.0 && means[k - 1] >= 2.0) ++dark_runs;
  }
  EXPECT_EQ(dark_runs, SCENES) << "black between the scenes, and at the end";
}

}  // namespace
