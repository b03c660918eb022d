// Scenes for the shadow and CSG tests: a started engine (320 x 240, camera at
// the origin looking down -z, stencil 8 bits), objects loaded from OBJ text,
// commands through the dispatcher, and presented pixels found by projecting
// scene points.
#pragma once

#include <FreeImage.h>
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "commands/dispatch.h"
#include "core/engine.h"
#include "mesh/object.h"
#include "platform/platform.h"
#include "script/command_ring.h"
#include "tests/mesh/mesh_files.h"
#include "tests/support/gl_fixture.h"

struct Rgb {
  int r, g, b;
};

inline ::testing::AssertionResult colour_near(Rgb c, int r, int g, int b, int tolerance = 12) {
  if (std::abs(c.r - r) <= tolerance && std::abs(c.g - g) <= tolerance && std::abs(c.b - b) <= tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got (" << c.r << ", " << c.g << ", " << c.b << "), wanted (" << r
                                       << ", " << g << ", " << b << ")";
}

class StencilScene : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    start();
  }

  int32_t run(int type, const char* name, float n = 0, float a = 0, float b = 0, float c = 0, float d = 0) {
    int32_t result = -7;
    EXPECT_EQ(dispatch_command(CommandContext{engine, engine_classes()}, type, name, CommandArgs{n, a, b, c, d},
                               &result),
              0)
        << name;
    return result;
  }
  void object_command(int slot, const char* name, float a = 0, float b = 0, float c = 0, float d = 0) {
    run(CMD_OBJECT, name, static_cast<float>(slot), a, b, c, d);
  }

  // Loads OBJ text into the lowest free object slot, coloured and active, at
  // script position (x, y, z) (z stored negated: positive is in front).
  int add_mesh(const std::string& name, const std::string& obj, float x, float y, float z, float r, float g,
               float b) {
    data->write(name + ".obj", obj);
    int slot = 0;
    while (engine->scene.objects[slot]) ++slot;
    auto* object = new cObject(engine);
    engine->scene.objects[slot] = object;
    engine->scene.objects.raise(slot);
    EXPECT_TRUE(object->load(name.c_str()));
    object_command(slot, "diffuse", r, g, b);
    object_command(slot, "position", x, y, z);
    object_command(slot, "active", 1);
    return slot;
  }
  int add_box(float x, float y, float z, float half, float r, float g, float b) {
    return add_mesh("box" + std::to_string(engine->scene.objects.count), cube_obj(half), x, y, z, r, g, b);
  }
  // A square facing the camera, 2 * half on a side.
  int add_wall(float z, float half, float r = 1, float g = 1, float b = 1) {
    std::string h = std::to_string(half);
    std::string obj = "v -" + h + " -" + h + " 0\nv " + h + " -" + h + " 0\nv " + h + " " + h + " 0\nv -" + h +
                      " " + h + " 0\nf 1 2 3 4\n";
    return add_mesh("wall" + std::to_string(engine->scene.objects.count), obj, 0, 0, z, r, g, b);
  }
  // A free light at script position (x, y, z), switched on.
  int add_light(float x, float y, float z) {
    int light = run(CMD_NEW, "cLight", -1);
    run(CMD_LIGHT, "position", static_cast<float>(light), x, y, z);
    run(CMD_LIGHT, "active", static_cast<float>(light), 1);
    return light;
  }

  // The presented pixel showing the stored (GL) point (x, y, z).
  Rgb at(float x, float y, float z) {
    GLdouble projection[16], modelview[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    GLint viewport[4] = {0, 0, window_width, window_height};
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    GLdouble px = 0, py = 0, pz = 0;
    gluProject(x, y, z, modelview, projection, viewport, &px, &py, &pz);
    Rgb c{-1, -1, -1};
    presented_pixel(static_cast<int>(px), static_cast<int>(py), &c.r, &c.g, &c.b);
    return c;
  }

  // With TALPINE_TEST_PICTURES set, the last presented frame goes there as PNG.
  void keep_picture(const char* name) {
    const char* folder = std::getenv("TALPINE_TEST_PICTURES");
    std::vector<uint8_t> rgb;
    if (!folder || !platform::read_presented_frame(0, 0, window_width, window_height, &rgb)) return;
    FIBITMAP* image = FreeImage_Allocate(window_width, window_height, 24);
    if (!image) return;
    for (int y = 0; y < window_height; ++y) {
      BYTE* row = FreeImage_GetScanLine(image, y);
      for (int x = 0; x < window_width; ++x) {
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * window_width + x) * 3];
        row[x * 3 + FI_RGBA_RED] = p[0];
        row[x * 3 + FI_RGBA_GREEN] = p[1];
        row[x * 3 + FI_RGBA_BLUE] = p[2];
      }
    }
    FreeImage_Save(FIF_PNG, image, (std::string(folder) + "/" + name + ".png").c_str(), 0);
    FreeImage_Unload(image);
  }
};
