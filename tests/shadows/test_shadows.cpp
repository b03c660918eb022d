// Stencil shadow volumes: adjacency against a pairwise reference, silhouettes
// counted per light, and shadows on a wall read back from presented frames.
#include <gtest/gtest.h>

#include <random>

#include "lighting/shadow.h"
#include "mesh/object_render.h"
#include "tests/shadows/stencil_scene.h"

namespace {

// The pairwise search: for every triangle k, every later m, every edge o of k
// and w of m, shared ends in either order make them neighbours; later matches
// overwrite earlier ones.
std::vector<int32_t> pairwise_neighbours(const MeshPart& part, const MaterialGroup& group) {
  int count = group.triangleCount;
  std::vector<int32_t> n(static_cast<size_t>(count) * 3, -1);
  auto pos = [&](int t, int c) { return &part.positions[group.indices[t * 3 + c] * 3]; };
  auto same = [](const float* a, const float* b) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; };
  for (int k = 0; k + 1 < count; ++k)
    for (int m = k + 1; m < count; ++m)
      for (int o = 0; o < 3; ++o)
        for (int w = 0; w < 3; ++w) {
          const float *a = pos(k, o), *b = pos(k, (o + 1) % 3), *c = pos(m, w), *d = pos(m, (w + 1) % 3);
          if ((same(a, c) && same(b, d)) || (same(a, d) && same(b, c))) {
            n[k * 3 + o] = m;
            n[m * 3 + w] = k;
          }
        }
  return n;
}

using Shadows = StencilScene;

TEST_F(Shadows, AdjacencyMatchesThePairwiseSearchWithRepeatsAndSignedZeros) {
  // Positions on a coarse grid with duplicates (and -0 beside +0) so that edges
  // are shared by two, three or more triangles, in both directions.
  std::mt19937 random(7);
  std::vector<float> positions;
  for (int v = 0; v < 60; ++v)
    for (int axis = 0; axis < 3; ++axis) {
      int cell = static_cast<int>(random() % 3) - 1;
      positions.push_back(cell == 0 && random() % 2 ? -0.0f : static_cast<float>(cell));
    }
  std::vector<uint16_t> indices;
  for (int t = 0; t < 400; ++t)
    for (int c = 0; c < 3; ++c) indices.push_back(static_cast<uint16_t>(random() % 60));
  auto* mesh = new cObject(engine);
  MeshPart part;
  part.positions = positions;
  part.vertexCount = 60;
  MaterialGroup group;
  group.indices = indices;
  group.triangleCount = 400;
  part.groups.push_back(group);
  part.groupCount = 1;
  mesh->parts.push_back(part);
  mesh->partCount = 1;

  buildAdjacency(mesh);
  const MaterialGroup& built = mesh->parts[0].groups[0];
  ASSERT_EQ(built.adjacency.size(), 400u * 4);
  std::vector<int32_t> expected = pairwise_neighbours(mesh->parts[0], built);
  int shared = 0;
  for (int t = 0; t < 400; ++t)
    for (int e = 0; e < 3; ++e) {
      EXPECT_EQ(built.adjacency[t * 4 + e], expected[t * 3 + e]) << "triangle " << t << " edge " << e;
      shared += expected[t * 3 + e] != -1;
    }
  EXPECT_GT(shared, 600);  // the case is not trivially all open
  delete mesh;
}

TEST_F(Shadows, LoneTriangleHasThreeOpenEdgesAndThreeQuadsPerLight) {
  put_object(engine, 0, {-1, -1, 0, 1, -1, 0, 0, 1, 0}, {0, 1, 2});
  add_light(0, 0, -10);  // in front of the triangle (stored z +10)
  add_light(3, 0, -10);
  int shadow = run(CMD_NEW, "cShadow", 0, 0);
  ASSERT_EQ(shadow, 0);
  const MaterialGroup& group = engine->scene.objects[0]->parts[0].groups[0];
  for (int e = 0; e < 3; ++e) EXPECT_EQ(group.adjacency[e], -1);

  run(CMD_SHADOW, "active", 0);
  resetFrameTriangles(engine);
  buildShadowVolume(engine->scene.shadows[0]);
  EXPECT_NE(engine->scene.shadows[0]->displayList, 0u);
  EXPECT_EQ(frameTriangles(engine), 2 * 3 * 2);  // 3 quads of 2 triangles, 2 lights

  // A switched-off light is left out unless nolight is set.
  run(CMD_LIGHT, "active", 1, 0);
  resetFrameTriangles(engine);
  buildShadowVolume(engine->scene.shadows[0]);
  EXPECT_EQ(frameTriangles(engine), 6);
  run(CMD_SHADOW, "nolight", 0, 1);
  resetFrameTriangles(engine);
  buildShadowVolume(engine->scene.shadows[0]);
  EXPECT_EQ(frameTriangles(engine), 12);
}

TEST_F(Shadows, ClosedBoxHasANeighbourForEveryEdge) {
  add_box(0, 0, 8, 1, 1, 1, 1);
  ASSERT_EQ(run(CMD_NEW, "cShadow", 0, 0), 0);
  const MeshPart& part = engine->scene.objects[0]->parts[0];
  int edges = 0;
  for (const MaterialGroup& group : part.groups) {
    ASSERT_EQ(group.adjacency.size(), static_cast<size_t>(group.triangleCount) * 4);
    for (int t = 0; t < group.triangleCount; ++t)
      for (int e = 0; e < 3; ++e, ++edges) {
        int32_t n = group.adjacency[t * 4 + e];
        ASSERT_GE(n, 0) << "triangle " << t << " edge " << e;
        ASSERT_LT(n, group.triangleCount);
        EXPECT_NE(n, t);
      }
  }
  EXPECT_EQ(edges, 36);
}

TEST_F(Shadows, CreationNeedsAnObjectInTheMeshSlot) {
  EXPECT_EQ(run(CMD_NEW, "cShadow", 3, 0), -1);    // slot 0 is empty
  add_box(0, 0, 8, 1, 1, 1, 1);
  EXPECT_EQ(run(CMD_NEW, "cShadow", 5, 0), 0);     // placed by 5, extrudes 0
  EXPECT_EQ(engine->scene.shadows[0]->object, 5);
  EXPECT_EQ(engine->scene.shadows[0]->meshObject, 0);
  EXPECT_EQ(run(CMD_NEW, "cShadow", 0, -1), 1);    // negative: the mesh is a0
  EXPECT_EQ(engine->scene.shadows[1]->meshObject, 0);
  EXPECT_EQ(engine->scene.shadows.count, 2);
  // No light yet: `active` is refused.
  run(CMD_SHADOW, "active", 1);
  EXPECT_EQ(run(CMD_STATUS, "cShadow", 1), 0);
  add_light(20, 0, -20);
  run(CMD_SHADOW, "active", 1);
  EXPECT_EQ(run(CMD_STATUS, "cShadow", 1), 1);
  EXPECT_EQ(run(CMD_DELETE, "cShadow", 1), 1);
  EXPECT_EQ(engine->scene.shadows.count, 1);
}

// A red box (edge 2) at depth 8 in front of a white wall at depth 10, lit from
// the right and behind the camera: its shadow falls on the wall to the left.
TEST_F(Shadows, BoxCastsItsShadowOnTheWallAndNowhereElse) {
  add_box(0, 0, 8, 1, 1, 0, 0);
  add_wall(10, 8);
  add_light(20, 0, -20);
  ASSERT_EQ(run(CMD_NEW, "cShadow", 0, 0), 0);
  run(CMD_SHADOW, "active", 0);
  draw_frames(1);
  keep_picture("shadow_box");
  EXPECT_TRUE(colour_near(at(-2.4f, 0, -10), 102, 102, 102)) << "in the shadow: white at 40%";
  EXPECT_TRUE(colour_near(at(-2.4f, 0.6f, -10), 102, 102, 102)) << "in the shadow, higher";
  EXPECT_TRUE(colour_near(at(2.4f, 0, -10), 255, 255, 255)) << "right of the box";
  EXPECT_TRUE(colour_near(at(-2.4f, 2.2f, -10), 255, 255, 255)) << "above the shadow";
  EXPECT_TRUE(colour_near(at(-4.3f, 0, -10), 255, 255, 255)) << "beyond the shadow";
  EXPECT_TRUE(colour_near(at(0.3f, 0.3f, -7), 255, 0, 0)) << "the lit box face";

  run(CMD_SHADOW, "color", 0, 0, 0, 1, 0.5f);
  draw_frames(1);
  EXPECT_TRUE(colour_near(at(-2.4f, 0, -10), 128, 128, 255)) << "half blue";
}

TEST_F(Shadows, TwoLightsGiveTwoShadowsFromOneList) {
  add_box(0, 0, 8, 1, 1, 0, 0);
  add_wall(10, 8);
  add_light(20, 0, -20);
  add_light(-20, 0, -20);
  ASSERT_EQ(run(CMD_NEW, "cShadow", 0, 0), 0);
  run(CMD_SHADOW, "active", 0);
  draw_frames(1);
  keep_picture("shadow_two_lights");
  EXPECT_TRUE(colour_near(at(-2.4f, 0, -10), 102, 102, 102)) << "from the right light";
  EXPECT_TRUE(colour_near(at(2.4f, 0, -10), 102, 102, 102)) << "from the left light";
  EXPECT_TRUE(colour_near(at(-4.3f, 0, -10), 255, 255, 255));
  EXPECT_TRUE(colour_near(at(4.3f, 0, -10), 255, 255, 255));
}

// The wall far behind: the real shadow misses it, but rays to its left half
// pass through the volume on the way.
TEST_F(Shadows, VolumeShowsTheVolumesFrontOutsideTheShadow) {
  add_box(0, 0, 8, 1, 1, 0, 0);
  add_wall(30, 12);
  add_light(20, 0, -20);
  ASSERT_EQ(run(CMD_NEW, "cShadow", 0, 0), 0);
  run(CMD_SHADOW, "active", 0);
  draw_frames(1);
  EXPECT_TRUE(colour_near(at(-6, 0, -30), 255, 255, 255)) << "through the volume, not in its shadow";
  run(CMD_SHADOW, "volume", 0, 1);
  draw_frames(1);
  keep_picture("shadow_volume");
  EXPECT_TRUE(colour_near(at(-6, 0, -30), 102, 102, 102)) << "behind the volume's front";
  EXPECT_TRUE(colour_near(at(6, 0, -30), 255, 255, 255)) << "away from the volume";
}

TEST_F(Shadows, AllShadowsTakeTheColourOfTheHighestNumberedOne) {
  add_box(0, 1.5f, 8, 1, 1, 0, 0);
  add_box(0, -1.5f, 8, 1, 1, 0, 0);
  add_wall(10, 8);
  add_light(20, 0, -20);
  ASSERT_EQ(run(CMD_NEW, "cShadow", 0, 0), 0);
  ASSERT_EQ(run(CMD_NEW, "cShadow", 1, 1), 1);
  run(CMD_SHADOW, "color", 0, 1, 0, 0, 0.6f);
  run(CMD_SHADOW, "color", 1, 0, 0, 1, 0.6f);
  run(CMD_SHADOW, "active", 0);
  run(CMD_SHADOW, "active", 1);
  draw_frames(1);
  keep_picture("shadow_colours");
  EXPECT_TRUE(colour_near(at(-2.4f, 1.6f, -10), 102, 102, 255)) << "upper box's shadow";
  EXPECT_TRUE(colour_near(at(-2.4f, -1.6f, -10), 102, 102, 255)) << "lower box's shadow";
}

TEST_F(Shadows, ActiveShadowWaitsForAChangeAndForgetsDeletedObjects) {
  add_box(0, 0, 8, 1, 1, 0, 0);
  add_wall(10, 8);
  add_light(20, 0, -20);
  draw_frames(1);  // every object clean from here on
  ASSERT_EQ(run(CMD_NEW, "cShadow", 0, 0), 0);
  run(CMD_SHADOW, "active", 0);
  draw_frames(2);
  EXPECT_EQ(engine->scene.shadows[0]->displayList, 0u);
  EXPECT_TRUE(colour_near(at(-2.4f, 0, -10), 255, 255, 255)) << "nothing built yet";

  run(CMD_LIGHT, "position", 0, 20, 0, -21);  // a light moved: every object dirty
  draw_frames(1);
  EXPECT_TRUE(colour_near(at(-2.4f, 0, -10), 102, 102, 102));
  draw_frames(1);  // no change: the list is kept and still drawn
  EXPECT_TRUE(colour_near(at(-2.4f, 0, -10), 102, 102, 102));

  // The caster deleted: the shadow stays but draws nothing.
  EXPECT_EQ(run(CMD_DELETE, "cObject", 0), 1);
  draw_frames(1);
  EXPECT_TRUE(colour_near(at(-2.4f, 0, -10), 255, 255, 255));
  EXPECT_EQ(run(CMD_STATUS, "cShadow", 0), 1);
}

}  // namespace
