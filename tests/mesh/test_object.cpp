// The object record without GL: defaults, boxes, placement, normals and the
// object commands as the dispatcher runs them.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

#include "mesh/object_commands.h"
#include "resources/texture_manager.h"
#include "tests/mesh/mesh_files.h"

namespace {

struct ObjectCommands : ::testing::Test {
  Engine engine;
  cObject* object = nullptr;
  int32_t result = -1;

  void SetUp() override {
    // Two triangles of a quad in z = 0, 0.5 units across.
    object = put_object(&engine, 3, {0, 0, 0, 0.5f, 0, 0, 0.5f, 0.5f, 0, 0, 0.5f, 0}, {0, 1, 2, 0, 2, 3});
  }
  int run(const char* name, float a = 0, float b = 0, float c = 0, float d = 0, int element = 3) {
    CommandArgs args{static_cast<float>(element), a, b, c, d};
    return object_class.command(&engine, name, args, &result);
  }
  MaterialGroup& group() { return object->parts[0].groups[0]; }
};

TEST(ObjectRecord, NewObjectDefaults) {
  Engine engine;
  engine.settings.draw_mode = GL_LINES;
  cObject object(&engine);
  EXPECT_EQ(object.active, 0);
  EXPECT_EQ(object.unlit, 1);
  EXPECT_EQ(object.depthWrite, 1);
  EXPECT_EQ(object.fog, 1);
  EXPECT_EQ(object.smooth, 1);
  EXPECT_EQ(object.frustumTest, 1);
  EXPECT_EQ(object.frontFace, GL_CCW);
  EXPECT_EQ(object.primitive, GL_LINES);
  EXPECT_EQ(object.dirty, 1);
  EXPECT_EQ(object.fixedMode, 0);
  EXPECT_EQ(object.blended, 0);
  EXPECT_EQ(object.matrixScale[1], 1.0f);
  EXPECT_EQ(object.worldMatrix[0], 1.0f);
  EXPECT_EQ(object.worldMatrix[1], 0.0f);
  EXPECT_EQ(object.localCorners[0][0], 0.0f);
}

TEST(ObjectRecord, BoxesComeFromExactCoordinatesInCornerOrder) {
  Engine engine;
  cObject* object = put_object(&engine, 0, {-0.25f, -0.5f, -0.75f, 0.25f, 0.5f, 0.75f, 0, 0, 0}, {0, 1, 2});
  const float expected[8][3] = {
      {-0.25f, 0.5f, 0.75f},  {0.25f, 0.5f, 0.75f},  {0.25f, -0.5f, 0.75f},  {-0.25f, -0.5f, 0.75f},
      {-0.25f, 0.5f, -0.75f}, {0.25f, 0.5f, -0.75f}, {0.25f, -0.5f, -0.75f}, {-0.25f, -0.5f, -0.75f},
  };
  for (int c = 0; c < 8; ++c)
    for (int axis = 0; axis < 3; ++axis) {
      EXPECT_FLOAT_EQ(object->localCorners[c][axis], expected[c][axis]) << c << "," << axis;
      EXPECT_FLOAT_EQ(object->parts[0].localCorners[c][axis], expected[c][axis]);
    }
}

TEST(ObjectRecord, TransformTranslatesAfterRotatingXThenYThenZ) {
  Engine engine;
  cObject* object = put_object(&engine, 0, {1, 1, 1, 2, 2, 2, 1, 2, 1}, {0, 1, 2});
  object->position[0] = 10;
  object->position[2] = -5;
  object->rotation[1] = 90;
  object->updateTransform();
  // (1, 0, 0) turned 90 degrees about y points along -z.
  EXPECT_NEAR(object->worldMatrix[0], 0.0f, 1e-6);
  EXPECT_NEAR(object->worldMatrix[2], -1.0f, 1e-6);
  EXPECT_FLOAT_EQ(object->worldMatrix[12], 10.0f);
  EXPECT_FLOAT_EQ(object->worldMatrix[14], -5.0f);
  // Corner 1 (max x, max y, max z) = (2, 2, 2) goes to (10 + 2, 2, -5 - 2).
  EXPECT_NEAR(object->worldCorners[1][0], 12.0f, 1e-5);
  EXPECT_NEAR(object->worldCorners[1][1], 2.0f, 1e-5);
  EXPECT_NEAR(object->worldCorners[1][2], -7.0f, 1e-5);
  EXPECT_NEAR(object->parts[0].worldCorners[1][2], -7.0f, 1e-5);

  // Rotations compose as x, then y, then z applied to the point last to first.
  object->position[0] = object->position[2] = 0;
  object->rotation[0] = 90;
  object->rotation[1] = 0;
  object->rotation[2] = 90;
  object->updateTransform();
  // Rx(90) * Rz(90) * (1, 0, 0): Rz gives (0, 1, 0), Rx gives (0, 0, 1).
  EXPECT_NEAR(object->worldMatrix[0], 0.0f, 1e-6);
  EXPECT_NEAR(object->worldMatrix[1], 0.0f, 1e-6);
  EXPECT_NEAR(object->worldMatrix[2], 1.0f, 1e-6);
}

TEST(ObjectRecord, VertexNormalsArePlainAveragesOfTheirFaces) {
  Engine engine;
  // Two faces folded at a right angle along the edge from vertex 0 to vertex 1:
  // one in z = 0 (normal +z), one in x = 0 (normal +x).
  cObject* object = put_object(&engine, 0, {0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1}, {0, 2, 1, 0, 1, 3});
  const MeshPart& part = object->parts[0];
  const MaterialGroup& g = part.groups[0];
  EXPECT_FLOAT_EQ(g.faceNormals[2], 1.0f);  // +z
  EXPECT_FLOAT_EQ(g.faceNormals[3], 1.0f);  // +x
  // The shared vertices get (0.5, 0, 0.5): averaged, not renormalised.
  EXPECT_FLOAT_EQ(part.normals[0], 0.5f);
  EXPECT_FLOAT_EQ(part.normals[2], 0.5f);
  EXPECT_FLOAT_EQ(part.normals[3 * 1 + 0], 0.5f);
  EXPECT_FLOAT_EQ(part.normals[3 * 2 + 2], 1.0f);  // only in the first face
  EXPECT_FLOAT_EQ(part.normals[3 * 3 + 0], 1.0f);  // only in the second

  object->frontFace = GL_CW;
  object->computeNormals();
  EXPECT_FLOAT_EQ(g.faceNormals[2], -1.0f);
  EXPECT_FLOAT_EQ(part.normals[0], -0.5f);
}

TEST(ObjectRecord, NormalsOfABigMeshTakeLinearTime) {
  Engine engine;
  auto* object = new cObject(&engine);
  engine.scene.objects[0] = object;
  engine.scene.objects.count = 1;
  MeshPart part;
  const int side = 250;  // 62,500 vertices, 123,002 triangles
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) part.positions.insert(part.positions.end(), {float(x), float(y), 0.0f});
  part.vertexCount = side * side;
  MaterialGroup group;
  for (int y = 0; y + 1 < side; ++y)
    for (int x = 0; x + 1 < side; ++x) {
      uint16_t a = static_cast<uint16_t>(y * side + x);
      group.indices.insert(group.indices.end(), {a, uint16_t(a + 1), uint16_t(a + side + 1), a,
                                                 uint16_t(a + side + 1), uint16_t(a + side)});
    }
  group.triangleCount = static_cast<int32_t>(group.indices.size() / 3);
  part.groups.push_back(group);
  part.groupCount = 1;
  object->parts.push_back(std::move(part));
  object->partCount = 1;
  object->computeNormals();  // a quadratic scan would take minutes here
  EXPECT_FLOAT_EQ(object->parts[0].normals[3 * 1000 + 2], 1.0f);
}

TEST_F(ObjectCommands, MissingObjectsAndUnknownNamesAndKeywordOrder) {
  EXPECT_EQ(run("position", 1, 2, 3, 0, 7), 0);  // no object 7: ignored
  EXPECT_EQ(run("position", 1, 2, 3, 0, 500), 0);
  EXPECT_EQ(run("position", 1, 2, 3, 0, -1), 0);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(run("nonsense"), 1);
  // "texture" comes before "deftex" and "mattex": the name runs "texture".
  engine.resources.textures[9].inUse = 1;
  EXPECT_EQ(run("mytexturedeftex", 9, 2), 0);
  EXPECT_EQ(group().baseTexture, 9);
  EXPECT_EQ(group().lightmapTexture, 0);
  ASSERT_EQ(ObjectClass::keywords[0].keyword, std::string("active"));
  EXPECT_EQ(std::string(ObjectClass::keywords[43].keyword), "fprog");
}

TEST_F(ObjectCommands, PlacementStoresZNegatedAndMarksDirty) {
  object->dirty = 0;
  run("position", 1, 2, 5);
  EXPECT_FLOAT_EQ(object->position[2], -5.0f);
  EXPECT_FLOAT_EQ(object->worldMatrix[14], -5.0f);
  EXPECT_EQ(object->dirty, 1);
  object->dirty = 0;
  run("rotation", 10, 20, 30);
  EXPECT_FLOAT_EQ(object->rotation[2], -30.0f);
  EXPECT_EQ(object->dirty, 1);
  // Activation also marks it, so it is visibility-tested in its first frame.
  object->dirty = 0;
  run("active", 0.5f);  // truncated to 0
  EXPECT_EQ(object->active, 0);
  run("active", 2);
  EXPECT_EQ(object->active, 1);
  EXPECT_EQ(object->dirty, 1);
}

TEST_F(ObjectCommands, BlendMarksAndNeverUnmarks) {
  run("blend", 0.5f);
  EXPECT_FLOAT_EQ(group().diffuse[3], 0.5f);
  EXPECT_EQ(group().transparent, 1);
  EXPECT_EQ(object->blended, 1);
  run("blend", 1);
  EXPECT_FLOAT_EQ(group().diffuse[3], 1.0f);
  EXPECT_EQ(group().transparent, 1);
  EXPECT_EQ(object->blended, 1);
  run("alpha", 0);
  EXPECT_EQ(object->blended, 0);

  run("matcola", 0, 0, 0.25f);
  EXPECT_FLOAT_EQ(group().diffuse[3], 0.25f);
  EXPECT_EQ(object->blended, 1);
  run("diffuse", 0.1f, 0.2f, 0.3f);
  EXPECT_FLOAT_EQ(group().diffuse[2], 0.3f);
  EXPECT_FLOAT_EQ(group().diffuse[3], 0.25f);  // alpha unchanged
  run("matcolg", 0, 0, 0.7f);
  EXPECT_FLOAT_EQ(group().diffuse[1], 0.7f);
  run("matcolg", 1, 0, 0.9f);  // the mesh has no second part
  run("matcolg", 0, 5, 0.9f);  // no group 5
  EXPECT_FLOAT_EQ(group().diffuse[1], 0.7f);
}

TEST_F(ObjectCommands, CullZeroTwiceTogglesCullingAndTheFrustumTest) {
  run("cull", 0);  // already counter-clockwise: culling off
  EXPECT_EQ(object->frontFace, FRONT_FACE_NO_CULL);
  EXPECT_EQ(object->frustumTest, 0);
  group().faceNormals[2] = 0;  // the second one recomputes normals
  run("cull", 0);
  EXPECT_EQ(object->frontFace, GL_CCW);
  EXPECT_FLOAT_EQ(group().faceNormals[2], 1.0f);
  run("cull", 1);
  EXPECT_EQ(object->frontFace, GL_CW);
  EXPECT_FLOAT_EQ(group().faceNormals[2], -1.0f);
  run("cull", 7);
  EXPECT_EQ(object->frontFace, FRONT_FACE_NO_CULL);
}

TEST_F(ObjectCommands, TextureNeedsAnInUseSlotAndCoordinates) {
  run("texture", 5);  // slot 5 holds nothing
  EXPECT_EQ(group().baseTexture, 0);
  run("texture", 300);
  run("texture", -2);
  EXPECT_EQ(group().baseTexture, 0);

  engine.resources.textures[5].inUse = 1;
  MeshPart bare;  // a second part without texture coordinates
  bare.groups.resize(1);
  bare.groupCount = 1;
  object->parts.push_back(bare);
  object->partCount = 2;
  run("texture", 5);
  EXPECT_EQ(group().baseTexture, 5);
  EXPECT_EQ(object->parts[1].groups[0].baseTexture, 0);

  run("deftex", 5, 2);
  EXPECT_EQ(group().lightmapTexture, 5);
  run("deftex", 5, 4);
  EXPECT_EQ(group().normalTexture, 5);
  engine.resources.textures[6].inUse = 1;
  run("mattex", 1, 0, 6);  // mattex does not ask for coordinates
  EXPECT_EQ(object->parts[1].groups[0].baseTexture, 6);
  run("mattex", 9, 0, 6);  // no part 9: ignored
}

TEST_F(ObjectCommands, VertexEditsStayInsideTheFirstPart) {
  run("x_array", 1, 1, 9);  // from = to: nothing
  EXPECT_FLOAT_EQ(object->parts[0].positions[3], 0.5f);
  run("y_array", 1, 3, 7);
  EXPECT_FLOAT_EQ(object->parts[0].positions[1], 0.0f);
  EXPECT_FLOAT_EQ(object->parts[0].positions[4], 7.0f);
  EXPECT_FLOAT_EQ(object->parts[0].positions[7], 7.0f);
  EXPECT_FLOAT_EQ(object->parts[0].positions[10], 0.5f);
  run("z_array", -5, 100, 2);  // clipped to the part
  EXPECT_FLOAT_EQ(object->parts[0].positions[11], 2.0f);
  run("vertex", 2, 4, 5, 6);
  EXPECT_FLOAT_EQ(object->parts[0].positions[6], 4.0f);
  EXPECT_FLOAT_EQ(object->parts[0].positions[8], 6.0f);
  run("vertex", 4, 1, 1, 1);  // one past the last vertex
  run("x_value", -1, 1);
  run("z_value", 3, -1);
  EXPECT_FLOAT_EQ(object->parts[0].positions[11], -1.0f);
}

TEST_F(ObjectCommands, ScaleDoublesVerticesAndBoxes) {
  run("position", 1, 0, 0);
  object->dirty = 0;
  run("scale", 2);
  EXPECT_FLOAT_EQ(object->parts[0].positions[3], 1.0f);
  EXPECT_FLOAT_EQ(object->localCorners[1][0], 1.0f);
  EXPECT_FLOAT_EQ(object->parts[0].localCorners[1][1], 1.0f);
  EXPECT_FLOAT_EQ(object->worldCorners[1][0], 2.0f);  // transform rebuilt
  EXPECT_EQ(object->dirty, 1);
}

TEST_F(ObjectCommands, FlagsModesAndLightmapReset) {
  run("lighted", 1);
  EXPECT_EQ(object->unlit, 0);
  run("drawmode", 0);
  EXPECT_EQ(object->primitive, GL_LINES);
  run("fixed", 2.9f);
  EXPECT_EQ(object->fixedMode, 2);
  run("matrix", 1, 2, 3, 4);
  EXPECT_EQ(object->scaleEnabled, 1);
  EXPECT_FLOAT_EQ(object->matrixScale[2], 4.0f);
  object->parts.push_back(MeshPart());
  object->partCount = 2;
  run("tmode", -1, 5);
  EXPECT_EQ(object->parts[0].blendMode, 5);
  EXPECT_EQ(object->parts[1].blendMode, 5);
  run("tmode", 1, 3);
  EXPECT_EQ(object->parts[1].blendMode, 3);
  run("tmode", 2, 3);  // nor a third one
  group().lightmapCoords.assign(12, 1);
  group().lightmapTexture = 4;
  run("lmreset");
  EXPECT_TRUE(group().lightmapCoords.empty());
  EXPECT_EQ(group().lightmapTexture, 4);
  for (const char* accepted : {"lmmode", "envmode", "bumplevel", "border", "range", "shader", "vprog", "fprog"})
    EXPECT_EQ(run(accepted, 1), 0) << accepted;
}

}  // namespace
