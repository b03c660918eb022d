// glTF meshes drawn in a real context (320 x 240, camera at the origin looking
// down -z, objects at script z = 6): images embedded and beside the file the
// right way up, a node hierarchy turned and scaled, a strip and a sparse
// accessor, a transparent and an emissive material. Chosen pixels, with a
// tolerance.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "mesh/object_commands.h"
#include "frame/scene_pass.h"
#include "resources/texture_manager.h"
#include "tests/mesh/gltf_files.h"
#include "tests/resources/image_files.h"
#include "tests/support/gl_fixture.h"

namespace {

const std::vector<float> QUAD = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
const std::vector<uint32_t> QUAD_TRIANGLES = {0, 1, 2, 0, 2, 3};
const std::vector<float> QUAD_UV = {0, 1, 1, 1, 1, 0, 0, 0};  // v = 0 at the image's top

struct Rgb {
  int r, g, b;
};

void expect_colour(Rgb c, int r, int g, int b, const char* where) {
  EXPECT_NEAR(c.r, r, 12) << where;
  EXPECT_NEAR(c.g, g, 12) << where;
  EXPECT_NEAR(c.b, b, 12) << where;
}

struct GltfRendering : EngineTest {
  // Writes `file` and loads `name` from it into the lowest free slot, active,
  // at script position (x, 0, 6).
  cObject* show(const std::string& file, const std::string& content, const char* name, float x = 0) {
    data->write(file, content);
    int slot = 0;
    while (engine->scene.objects[slot]) ++slot;
    auto* object = new cObject(engine);
    engine->scene.objects[slot] = object;
    engine->scene.objects.raise(slot);
    EXPECT_TRUE(object->load(name)) << name;
    command(slot, "position", x, 0, 6);
    command(slot, "active", 1);
    return object;
  }
  void command(int slot, const char* name, float a = 0, float b = 0, float c = 0, float d = 0) {
    int32_t result;
    object_class.command(engine, name, CommandArgs{float(slot), a, b, c, d}, &result);
  }
  Rgb presented(int x, int y) {
    Rgb c{0, 0, 0};
    presented_pixel(x, y, &c.r, &c.g, &c.b);
    return c;
  }
  Rgb drawn(int x, int y) {
    uint8_t p[3] = {0, 0, 0};
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
  }
  void render_scene_pass() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    scene_pass(engine);
    glFinish();
  }
};

TEST_F(GltfRendering, EmbeddedAndBesideImagesShowTheRightWayUp) {
  start();
  GltfBuilder b;
  int embedded = b.embedded_texture(two_colour_png({230, 30, 30}, {30, 200, 30}));
  GltfBuilder::Primitive p;
  p.positions = b.floats(QUAD, 3);
  p.coords = b.floats(QUAD_UV, 2);
  p.indices = b.indices(QUAD_TRIANGLES);
  p.material = b.material({1, 1, 1, 1}, "OPAQUE", {0, 0, 0}, embedded);
  b.scene({b.node(b.mesh({p}))});
  cObject* flag = show("flag.glb", b.glb(), "flag", -1.5f);

  // The same quad in a .gltf whose image is a file beside it (blue over yellow).
  GltfBuilder c;
  int beside = c.uri_texture("Paint%20Job.PNG");
  GltfBuilder::Primitive q;
  q.positions = c.floats(QUAD, 3);
  q.coords = c.floats(QUAD_UV, 2);
  q.indices = c.indices(QUAD_TRIANGLES);
  q.material = c.material({1, 1, 1, 1}, "OPAQUE", {0, 0, 0}, beside);
  c.scene({c.node(c.mesh({q}))});
  data->write("paint job.png", two_colour_png({30, 30, 230}, {230, 230, 30}));
  cObject* board = show("board.gltf", c.gltf(), "board", 1.5f);

  draw_frames(1);
  int slot = flag->parts[0].groups[0].baseTexture;
  ASSERT_GT(slot, 0);
  EXPECT_STREQ(engine->resources.textures[slot].name, "flag_image0");
  EXPECT_STREQ(engine->resources.textures[board->parts[0].groups[0].baseTexture].name, "Paint Job");
  expect_colour(presented(88, 140), 230, 30, 30, "embedded, upper half");
  expect_colour(presented(88, 100), 30, 200, 30, "embedded, lower half");
  expect_colour(presented(232, 140), 30, 30, 230, "beside, upper half");
  expect_colour(presented(232, 100), 230, 230, 30, "beside, lower half");
  expect_colour(presented(160, 120), 0, 0, 0, "between");

  // Loading the same mesh again reuses the texture by its name.
  cObject* again = show("flag.glb", b.glb(), "flag", 0);
  EXPECT_EQ(again->parts[0].groups[0].baseTexture, slot);
}

TEST_F(GltfRendering, MissingImageLeavesTheBaseColour) {
  start();
  GltfBuilder b;
  GltfBuilder::Primitive p;
  p.positions = b.floats(QUAD, 3);
  p.coords = b.floats(QUAD_UV, 2);
  p.indices = b.indices(QUAD_TRIANGLES);
  p.material = b.material({0.2, 0.6, 1, 1}, "OPAQUE", {0, 0, 0}, b.uri_texture("absent.png"));
  b.scene({b.node(b.mesh({p}))});
  cObject* o = show("plain.glb", b.glb(), "plain");
  draw_frames(1);
  EXPECT_EQ(o->parts[0].groups[0].baseTexture, 0);
  expect_colour(presented(160, 120), 51, 153, 255, "base colour");
}

TEST_F(GltfRendering, ATurnedAndScaledHierarchyStandsWhereItsNodesPutIt) {
  start();
  // A bar 4 wide and 0.5 high; the child moves it 2 along x, the parent halves
  // it and turns it 90 degrees about z: it ends standing upright, from the
  // centre up to y = 2.
  GltfBuilder b;
  GltfBuilder::Primitive p;
  p.positions = b.floats({-2, -0.25f, 0, 2, -0.25f, 0, 2, 0.25f, 0, -2, 0.25f, 0}, 3);
  p.indices = b.indices(QUAD_TRIANGLES);
  p.material = b.material({1, 0.5, 0, 1});
  int child = b.node(b.mesh({p}), {{2, 0, 0}, {}, {}, {}});
  const double s = std::sqrt(0.5);
  int parent = b.node(-1, {{}, {0, 0, s, s}, {0.5, 0.5, 0.5}, {}}, {child});
  b.scene({parent});
  show("bar.glb", b.glb(), "bar");
  draw_frames(1);
  expect_colour(presented(160, 168), 255, 128, 0, "above the centre");
  expect_colour(presented(160, 72), 0, 0, 0, "below the centre");
  expect_colour(presented(208, 120), 0, 0, 0, "right of the centre");
  expect_colour(presented(112, 120), 0, 0, 0, "left of the centre");
}

TEST_F(GltfRendering, AStripAndASparseAccessorDraw) {
  start();
  GltfBuilder b;
  // Left: the quad as a strip; right: positions of zeros made a quad by sparse values.
  GltfBuilder::Primitive strip{b.floats(QUAD, 3), -1, -1, b.indices({0, 1, 3, 2}), b.material({1, 1, 0, 1}),
                               TINYGLTF_MODE_TRIANGLE_STRIP};
  GltfBuilder::Primitive sparse{b.accessor(-1, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, 4), -1, -1,
                                b.indices(QUAD_TRIANGLES), b.material({0, 1, 1, 1}), TINYGLTF_MODE_TRIANGLES};
  b.scene({b.node(b.mesh({strip}), {{-1.5, 0, 0}, {}, {}, {}}), b.node(b.mesh({sparse}), {{1.5, 0, 0}, {}, {}, {}})});
  std::vector<uint16_t> targets = {0, 1, 2, 3};
  int target_view = b.view(targets.data(), 8);
  int value_view = b.view(QUAD.data(), QUAD.size() * 4);
  nlohmann::json doc = b.json();
  doc["accessors"][sparse.positions]["sparse"] = {
      {"count", 4},
      {"indices", {{"bufferView", target_view}, {"componentType", TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT}}},
      {"values", {{"bufferView", value_view}}}};
  show("pair.gltf", doc.dump(), "pair");
  draw_frames(1);
  expect_colour(presented(88, 120), 255, 255, 0, "strip");
  expect_colour(presented(232, 120), 0, 255, 255, "sparse");
}

TEST_F(GltfRendering, BlendedAndEmissiveMaterials) {
  start();
  GltfBuilder b;
  int positions = b.floats(QUAD, 3);
  GltfBuilder::Primitive glass{positions, -1, -1, b.indices(QUAD_TRIANGLES), b.material({1, 1, 1, 0.5}, "BLEND"),
                               TINYGLTF_MODE_TRIANGLES};
  GltfBuilder::Primitive lamp{positions, -1, -1, b.indices(QUAD_TRIANGLES),
                              b.material({0, 0, 0, 1}, "OPAQUE", {0, 1, 0}), TINYGLTF_MODE_TRIANGLES};
  b.scene({b.node(b.mesh({glass}), {{-1.5, 0, 0}, {}, {}, {}}), b.node(b.mesh({lamp}), {{1.5, 0, 0}, {}, {}, {}})});
  cObject* o = show("things.glb", b.glb(), "things");
  ASSERT_EQ(o->blended, 1);

  // Unlit: half of white over black, and the emission over a black base.
  render_scene_pass();
  Rgb half = drawn(88, 120);
  EXPECT_NEAR(half.r, 128, 16);
  EXPECT_NEAR(half.b, 128, 16);
  expect_colour(drawn(232, 120), 0, 255, 0, "emissive, unlit");

  // Lit by a light that gives nothing: only the emission shows.
  command(0, "lighted", 1);
  const float none[4] = {0, 0, 0, 1};
  glLightfv(GL_LIGHT0, GL_DIFFUSE, none);
  glLightfv(GL_LIGHT0, GL_AMBIENT, none);
  glLightfv(GL_LIGHT0, GL_SPECULAR, none);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
  glEnable(GL_LIGHT0);
  glEnable(GL_LIGHTING);
  render_scene_pass();
  expect_colour(drawn(232, 120), 0, 255, 0, "emissive, lit");
  // Nothing of it stays behind for whatever is drawn next.
  float emission[4] = {1, 1, 1, 1};
  glGetMaterialfv(GL_FRONT, GL_EMISSION, emission);
  EXPECT_EQ(emission[1], 0.0f);
  glDisable(GL_LIGHT0);
  glDisable(GL_LIGHTING);
}

}  // namespace
