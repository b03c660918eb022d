// The geometry debug displays through the frame's geometry pass: boxes with
// part numbers, vertex and triangle labels, and keyframe paths, seen in pixels
// with the demo font.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "commands/dispatch.h"
#include "core/engine.h"
#include "mesh/object.h"
#include "script/command_ring.h"
#include "tests/support/gl_fixture.h"

namespace {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

class DebugDisplays : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    for (const char* name : {"FONT.png", "FONT.fnt"})
      data->write(name, read_file(std::string(TALPINE_SOURCE_DIR) + "/demo/Data/" + name));
    // A cube of edge 2, 10 units in front of the camera.
    data->write("cube.obj",
                "v -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\n"
                "v -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n"
                "f 1 2 3 4\nf 8 7 6 5\nf 1 5 6 2\nf 2 6 7 3\nf 3 7 8 4\nf 4 8 5 1\n");
    start();
    ASSERT_GT(engine->resources.font_char_count, 0);
  }
  int32_t run(int type, const char* name, float n = 0, float a = 0, float b = 0, float c = 0, float d = 0) {
    int32_t result = -7;
    EXPECT_EQ(dispatch_command(CommandContext{engine, engine_classes()}, type, name, CommandArgs{n, a, b, c, d},
                               &result),
              0)
        << name;
    return result;
  }
  void load_cube() {
    ASSERT_EQ(run(CMD_LOAD, "cube"), 0);
    run(CMD_OBJECT, "position", 0, 0, 0, 10);
    run(CMD_OBJECT, "active", 0, 1);
  }
  // Pixels of the last frame that pass `test`.
  int count(const std::function<bool(int r, int g, int b)>& test, int x0 = 0, int y0 = 0, int x1 = -1, int y1 = -1) {
    if (x1 < 0) x1 = window_width;
    if (y1 < 0) y1 = window_height;
    int found = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        int r = 0, g = 0, b = 0;
        presented_pixel(x, y, &r, &g, &b);
        found += test(r, g, b);
      }
    return found;
  }
  void show(int mode) {
    run(CMD_SCENE, "geometry", static_cast<float>(mode));
    draw_frames(1);
  }
};

bool yellow(int r, int g, int b) { return r > 200 && g > 200 && b < 80; }
bool grey(int r, int g, int b) { return r > 40 && std::abs(r - g) < 20 && std::abs(g - b) < 20; }
bool dark_green(int r, int g, int b) { return g > 40 && r < 20 && b < 20; }
bool olive(int r, int g, int b) { return r > 40 && std::abs(r - g) < 20 && b < 20; }
bool green(int r, int g, int b) { return g > 200 && r < 60 && b < 60; }

TEST_F(DebugDisplays, BoxesAndPartNumbers) {
  load_cube();
  show(0);
  EXPECT_EQ(count(yellow), 0);
  show(1);
  // The object's box over the part's: its near face's right edge stands at
  // x = 160 + 120 / tan(20 degrees) / 9.
  EXPECT_GT(count(yellow, 194, 100, 200, 140), 20);
  EXPECT_EQ(count(yellow, 0, 0, 100, 240), 0);
  // "0" at the part box's first corner (left, top, near, at about 123, 157),
  // upright: it hangs below its anchor, nothing of it above.
  EXPECT_GT(count(grey, 110, 60, 240, 160), 10);
  EXPECT_EQ(count(grey, 0, 165, 320, 240), 0);
  show(7);
  EXPECT_EQ(count(yellow), 0);
}

TEST_F(DebugDisplays, VertexAndTriangleLabels) {
  load_cube();
  show(2);
  const int vertex_labels = count(dark_green);
  EXPECT_GT(vertex_labels, 20);
  EXPECT_EQ(count(olive), 0);
  show(3);
  EXPECT_GT(count(olive), 20);
  EXPECT_EQ(count(dark_green), 0);
  // An invisible part has no labels.
  engine->scene.objects[0]->parts[0].visible = 0;
  engine->scene.objects[0]->dirty = 0;
  run(CMD_SCENE, "geometry", 2);
  engine->scene.objects[0]->dirty = 0;
  draw_frames(1);
  EXPECT_EQ(count(dark_green), 0);
}

TEST_F(DebugDisplays, KeyframePathsForObjectsAndTheCamera) {
  load_cube();
  ASSERT_EQ(run(CMD_NEW, "cFramer", 0), 0);
  run(CMD_FRAMER, "total", 0, 2, 10);
  run(CMD_FRAMER, "move", 0, 0, -3, -2, 10);
  run(CMD_FRAMER, "move", 0, 1, 3, -2, 10);
  ASSERT_EQ(run(CMD_NEW, "cFramer", -1), 1);  // the camera's, not started
  run(CMD_FRAMER, "total", 1, 2, 10);
  run(CMD_FRAMER, "move", 1, 0, -3, 2, 10);
  run(CMD_FRAMER, "move", 1, 1, 3, 2, 10);
  show(4);
  // y = -2 and +2 at depth 10: 66 pixels below and above the centre row.
  EXPECT_GT(count(green, 100, 52, 220, 56), 60);
  EXPECT_GT(count(yellow, 100, 184, 220, 188), 60);
  // White labels at the keys.
  EXPECT_GT(count([](int r, int g, int b) { return r > 150 && g > 150 && b > 150; }), 20);
}

}  // namespace
