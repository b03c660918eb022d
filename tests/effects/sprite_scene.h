// Shared by the particle, flare and deformer tests: a started engine (320 x 240,
// camera at the origin looking down -z) with cubes loaded from OBJ text, class
// commands sent as the dispatcher sends them, and pixels read back.
#pragma once

#include <FreeImage.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "core/element_class.h"
#include "frame/frame.h"
#include "frame/scene_pass.h"
#include "mesh/object.h"
#include "mesh/object_commands.h"
#include "mesh/object_render.h"
#include "platform/platform.h"
#include "tests/mesh/mesh_files.h"
#include "tests/support/gl_fixture.h"

struct Rgb {
  int r, g, b;
};

struct SpriteScene : EngineTest {
  // A white cube of edge 2 * half, active, at script (x, y, depth): in front of
  // the camera for a positive depth (z is stored negated).
  cObject* cube(int slot, float x, float y, float depth, float half = 1.0f) {
    std::string name = "cube" + std::to_string(slot);
    data->write(name + ".obj", cube_obj(half));
    auto* object = new cObject(engine);
    engine->scene.objects[slot] = object;
    engine->scene.objects.raise(slot);
    EXPECT_TRUE(object->load(name.c_str()));
    send(object_class, slot, "diffuse", 1, 1, 1);
    send(object_class, slot, "position", x, y, depth);
    send(object_class, slot, "active", 1);
    return object;
  }
  void send(const ClassType& type, int n, const char* name, float a = 0, float b = 0, float c = 0, float d = 0) {
    int32_t result = -1;
    EXPECT_EQ(type.command(engine, name, CommandArgs{float(n), a, b, c, d}, &result), 0) << name;
    EXPECT_EQ(result, 0);
  }
  int create(const ClassType& type, float argument) { return type.create(engine, CommandArgs{argument}); }

  // The scene pass then the transparent pass with the camera at the origin,
  // on black, into the drawing buffer; returns the triangles counted.
  int render() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    resetFrameTriangles(engine);
    scene_pass(engine);
    int scene = frameTriangles(engine);
    transparent_pass(engine);
    glFinish();
    return frameTriangles(engine) - scene;
  }
  Rgb drawn(int x, int y) {
    uint8_t p[3] = {0, 0, 0};
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
  }
  Rgb presented(int x, int y) {
    Rgb c{0, 0, 0};
    presented_pixel(x, y, &c.r, &c.g, &c.b);
    return c;
  }
  // With TALPINE_TEST_PICTURES set, the drawing buffer goes there as PNG.
  void keep_picture(const char* name) {
    const char* folder = std::getenv("TALPINE_TEST_PICTURES");
    if (!folder) return;
    std::vector<uint8_t> rgb(window_width * window_height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, window_width, window_height, GL_BGR, GL_UNSIGNED_BYTE, rgb.data());
    FIBITMAP* image = FreeImage_ConvertFromRawBits(rgb.data(), window_width, window_height, window_width * 3, 24,
                                                   FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK, FALSE);
    if (!image) return;
    FreeImage_Save(FIF_PNG, image, (std::string(folder) + "/" + name + ".png").c_str(), 0);
    FreeImage_Unload(image);
  }
};

inline void expect_colour(Rgb c, int r, int g, int b, const char* where, int tolerance = 12) {
  EXPECT_NEAR(c.r, r, tolerance) << where;
  EXPECT_NEAR(c.g, g, tolerance) << where;
  EXPECT_NEAR(c.b, b, tolerance) << where;
}
