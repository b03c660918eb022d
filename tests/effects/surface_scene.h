// Shared by the water, fluid and render-target tests: a started engine (320 x
// 240, camera at the origin looking down -z) with hand-made grid objects, class
// commands sent as the dispatcher sends them, and pixels read back.
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "commands/dispatch.h"
#include "core/element_class.h"
#include "core/engine.h"
#include "mesh/object.h"
#include "mesh/object_commands.h"
#include "tests/support/gl_fixture.h"

struct SurfaceScene : EngineTest {
  void SetUp() override {
    EngineTest::SetUp();
    start();
  }

  // An N x N grid in slot `slot`: vertex k at column k mod N, row k / N, x and z
  // `spacing` apart and centred, y 0; two triangles per quad in one white group,
  // texture coordinates from 0 to 1; GPU buffers made; not yet active.
  cObject* grid(int slot, int n, float spacing = 2.0f) {
    auto* object = new cObject(engine);
    MeshPart part;
    float half = (n - 1) * spacing / 2.0f;
    for (int row = 0; row < n; ++row) {
      for (int column = 0; column < n; ++column) {
        part.positions.insert(part.positions.end(), {column * spacing - half, 0.0f, row * spacing - half});
        part.texCoords.insert(part.texCoords.end(), {column / float(std::max(n - 1, 1)), row / float(std::max(n - 1, 1))});
      }
    }
    part.vertexCount = n * n;
    part.texCoordCount = n * n;
    MaterialGroup group;
    for (int row = 0; row + 1 < n; ++row) {
      for (int column = 0; column + 1 < n; ++column) {
        uint16_t k = static_cast<uint16_t>(row * n + column);
        group.indices.insert(group.indices.end(), {k, static_cast<uint16_t>(k + n), static_cast<uint16_t>(k + 1)});
        group.indices.insert(group.indices.end(),
                             {static_cast<uint16_t>(k + 1), static_cast<uint16_t>(k + n), static_cast<uint16_t>(k + n + 1)});
      }
    }
    group.drawIndices = group.indices;
    group.triangleCount = group.drawTriangleCount = static_cast<int32_t>(group.indices.size() / 3);
    for (int i = 0; i < 4; ++i) group.ambient[i] = group.diffuse[i] = group.specular[i] = 1.0f;
    part.groups.push_back(group);
    part.groupCount = 1;
    part.normals.assign(part.positions.size(), 0.0f);
    object->parts.push_back(part);
    object->partCount = 1;
    object->computeNormals();
    object->computeBounds();
    object->updateTransform();
    engine->scene.objects[slot] = object;
    engine->scene.objects.raise(slot);
    object->createBuffers();
    return object;
  }

  // The grid seen from the side: 10 units below the eye and 40 ahead, culling
  // and the frustum test off, active. A flat grid leaves the window centre
  // black; anything raised by more than 10 there covers it.
  cObject* side_view_grid(int slot, int n) {
    cObject* object = grid(slot, n);
    send(object_class, slot, "position", 0, -10, 40);
    send(object_class, slot, "cull", 2);
    send(object_class, slot, "active", 1);
    return object;
  }

  void send(const ClassType& type, int n, const char* name, float a = 0, float b = 0, float c = 0, float d = 0) {
    int32_t result = -1;
    EXPECT_EQ(type.command(engine, name, CommandArgs{float(n), a, b, c, d}, &result), 0) << name;
    EXPECT_EQ(result, 0) << name;
  }
  // The verbs through the dispatcher, as a script sends them.
  int32_t verb(int code, const char* class_name, float n) {
    int32_t result = -12345;
    EXPECT_EQ(dispatch_command(CommandContext{engine, engine_classes()}, code, class_name, CommandArgs{n}, &result), 0);
    return result;
  }

  static float height(const cObject* object, int k) { return object->parts[0].positions[3 * k + 1]; }
  static float max_abs_height(const cObject* object) {
    float most = 0;
    const MeshPart& part = object->parts[0];
    for (int k = 0; k < part.vertexCount; ++k) most = std::max(most, std::fabs(part.positions[3 * k + 1]));
    return most;
  }

  // Centre of the last presented frame, as red + green + blue.
  int presented_brightness(int x, int y) {
    int r = 0, g = 0, b = 0;
    presented_pixel(x, y, &r, &g, &b);
    return r + g + b;
  }
  struct Rgb {
    int r, g, b;
  };
  Rgb presented(int x, int y) {
    Rgb c{0, 0, 0};
    presented_pixel(x, y, &c.r, &c.g, &c.b);
    return c;
  }
};
