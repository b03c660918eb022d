// The mesh object: an ordered list of parts, each with its own vertex arrays and
// material groups, placed in the scene by a position and three angles. Owns its
// arrays and its GL buffer objects. Render thread only.
//
// Conventions: the z of `position` and of `rotation` is stored negated (the
// script's z points the other way); every index of a group is below its part's
// vertexCount; normals and texCoords have vertexCount entries once loaded.
#pragma once

#include <cstdint>
#include <vector>

#include "core/engine.h"

struct Engine;

constexpr int PART_NAME_SIZE = 12;
constexpr int OBJECT_NAME_SIZE = 256;
// Bounding boxes start from these before the first vertex is seen.
constexpr float BOX_START = 65535.0f;

// 16-bit indices: a part holds at most this many vertices.
constexpr int MAX_PART_VERTICES = 65535;

// Eight box corners from the minima and maxima, in this order:
// 0 (min x, max y, max z), 1 (max x, max y, max z), 2 (max x, min y, max z),
// 3 (min x, min y, max z), 4 (min x, max y, min z), 5 (max x, max y, min z),
// 6 (max x, min y, min z), 7 (min x, min y, min z).
using BoxCorners = float[8][3];
void set_box_corners(BoxCorners corners, const float min[3], const float max[3]);

// A run of triangles with one material.
struct MaterialGroup {
  std::vector<uint16_t> indices;      // 3 per triangle, into the part's arrays, as loaded
  std::vector<uint16_t> drawIndices;  // what the element buffer holds and is drawn
  std::vector<float> faceNormals;     // 3 per triangle, unit length
  int32_t triangleCount = 0;
  int32_t drawTriangleCount = 0;
  float ambient[4] = {0, 0, 0, 0};
  float diffuse[4] = {0, 0, 0, 0};    // alpha: the group's opacity
  float specular[4] = {0, 0, 0, 0};
  // Light the material gives off (glTF's emissive factor): GL's emission when
  // lit, added to the diffuse colour when unlit. Not kept by the .gfx cache.
  float emission[4] = {0, 0, 0, 1};
  int16_t baseTexture = 0;            // colour map slot; 0 none
  int16_t bumpTexture = 0;            // kept for other passes; not used by drawing
  int16_t normalTexture = 0;
  int16_t envTexture = 0;
  // With lightmapCoords, the baked lightmap drawn over the colour map; without
  // them, the glow source of the glow mask (and not drawn).
  int16_t lightmapTexture = 0;
  uint8_t transparent = 0;            // drawn in the blended pass
  // Set by the lightmap baker while baseTexture holds its lightmap (between
  // `calc` and finishing): the group is drawn through lightmapCoords, where
  // each triangle's cell lies, instead of its own texture coordinates.
  uint8_t baseIsLightmap = 0;
  // Written by the lightmap baker: per triangle corner (s, t, 0, q) in lightmap
  // pixels with q = lightmap size, 12 values per triangle. Empty: none.
  std::vector<int32_t> lightmapCoords;
  // Shadow volumes: 4 ints per triangle, made on first use: the neighbours across
  // edges 0..2 (-1: open), then the facing flag for the light being processed
  // in the lowest byte.
  std::vector<int32_t> adjacency;
  std::vector<float> loadedFaceNormals;  // faceNormals as loaded, once a command edits the shape
  uint32_t indexBuffer = 0;           // GL element buffer
};

struct MeshPart {
  std::vector<float> positions;  // 3 per vertex
  std::vector<float> texCoords;  // 2 per texture coordinate, indexed like the positions
  std::vector<MaterialGroup> groups;
  std::vector<float> normals;    // 3 per vertex
  // positions and normals as loaded, kept by the first command that edits the
  // shape (mesh/loaded_shape.h), so that a rewritten cache holds the mesh as
  // loaded; empty while the shape is unchanged.
  std::vector<float> loadedPositions, loadedNormals;
  int32_t vertexCount = 0;
  int32_t texCoordCount = 0;
  int32_t groupCount = 0;
  float localCorners[8][3] = {};
  float worldCorners[8][3] = {};
  int16_t visible = 0;
  int32_t blendMode = 0;         // blend function selector (command tmode)
  char name[PART_NAME_SIZE] = {};
  uint32_t vertexBuffer = 0, normalBuffer = 0, texCoordBuffer = 0;
};

// The frontFace value that switches face culling off.
constexpr int FRONT_FACE_NO_CULL = 2;

struct cObject {
  explicit cObject(Engine* owner);
  ~cObject();
  cObject(const cObject&) = delete;
  cObject& operator=(const cObject&) = delete;

  float matrixScale[3] = {1, 1, 1};  // applied at draw time when scaleEnabled
  float position[3] = {0, 0, 0};     // z stored negated
  float rotation[3] = {0, 0, 0};     // degrees about x, y, z; z stored negated
  float worldMatrix[16];             // column-major, from position and rotation
  int32_t partCount = 0;
  std::vector<MeshPart> parts;
  int32_t primitive;                 // GL_TRIANGLES or GL_LINES, from the engine's draw_mode
  uint8_t active = 0;
  Engine* engine;
  uint8_t scaleEnabled = 0;
  uint8_t frustumTest = 1;
  uint8_t depthWrite = 1;
  uint8_t alphaTest = 0;
  uint8_t unlit = 1;
  uint8_t fog = 1;
  uint8_t smooth = 1;
  int16_t visible = 0;
  uint8_t blended = 0;
  uint8_t csgMark = 0;
  int16_t fixedMode = 0;  // 0 world; 1 or negative: camera translation cancelled; 2+: eye space
  int32_t frontFace;      // GL_CCW, GL_CW, or FRONT_FACE_NO_CULL
  float localCorners[8][3] = {};
  float worldCorners[8][3] = {};
  uint8_t dirty = 1;      // placement or shape changed during this frame
  uint32_t viewSerial = 0;  // the engine's view serial when the flag was last cleared
  uint8_t buffersStale = 0;  // arrays edited by an effect; re-sent once before drawing (mesh/buffer_refresh.h)
  char name[OBJECT_NAME_SIZE] = {};
  int32_t bakeAngle = 120;  // lightmap baker: view angle of the sample views, degrees
  int32_t bakeLevel = 1;    // lightmap baker: subdivision level of each triangle
  // Differs between any two objects of a run: tells the object an element
  // holds by slot number from another one loaded into the slot since.
  const uint32_t serial;

  // Fills the object from data folder + name: .gfx, else .3ds, else .obj,
  // else .gltf, else .glb.
  bool load(const char* mesh_name);
  // .gfx cache (mesh/gfx_cache.cpp); the writer takes any path and writes
  // beside it with the extension replaced by "gfx".
  bool readGfx(const char* path);
  bool writeGfx(const char* path) const;

  void updateTransform();
  void computeBounds();
  void computeNormals();
  void createBuffers();
  void refreshBuffers();
  void deleteBuffers();

  // Drawing (mesh/object_render.cpp).
  void applyTransform() const;
  void testVisibility();
  int draw(int pass);
  void drawGroup(int part, int group);
  int drawGlowMask();

  // Drops every part (and its buffers).
  void clearMesh();
};

// Whether placement, shape or the view changed since the flag was last cleared.
inline bool objectDirty(const cObject& object);

// Marks every object dirty (a light moved, a keyframed camera moved).
void mark_objects_dirty(Engine* engine);
// Clears the dirty flag of every object, slot 0 up to the object count.
void clear_objects_dirty(Engine* engine);

inline bool objectDirty(const cObject& object) {
  return object.dirty != 0 || object.viewSerial != object.engine->view.serial;
}
