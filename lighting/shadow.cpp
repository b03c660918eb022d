#include "lighting/shadow.h"

#include <bit>
#include <cstring>
#include <unordered_map>

#include "core/convert.h"
#include "core/engine.h"
#include "lighting/light.h"
#include "mesh/object.h"
#include "mesh/object_render.h"
#include "platform/gl_api.h"

namespace {

constexpr int ADJACENCY_INTS = 4;  // three neighbours and the facing flag

cObject* object_at(const Engine* engine, int number) {
  if (number < 0 || number >= MAX_ELEMENTS) return nullptr;
  return engine->scene.objects[number];
}

// Triangles of a group whose three indices lie inside the part's positions.
int usable_triangles(const MeshPart&, const MaterialGroup& group) {
  int count = group.triangleCount;
  int by_indices = static_cast<int>(group.indices.size() / 3);
  return count < by_indices ? (count > 0 ? count : 0) : by_indices;
}

bool triangle_in_part(const MeshPart& part, const MaterialGroup& group, int t) {
  size_t limit = part.positions.size() / 3;
  for (int c = 0; c < 3; ++c)
    if (group.indices[t * 3 + c] >= limit) return false;
  return true;
}

// ---- adjacency --------------------------------------------------------------

// An end position as the bits of its coordinates, with -0 taken as +0 so that
// equal bits mean equal floats. NaN equals nothing: such edges stay open.
struct PositionKey {
  uint32_t bits[3];
};

bool position_key(const float* p, PositionKey* key) {
  for (int i = 0; i < 3; ++i) {
    if (p[i] != p[i]) return false;
    float value = p[i] == 0.0f ? 0.0f : p[i];
    key->bits[i] = std::bit_cast<uint32_t>(value);
  }
  return true;
}

bool key_less(const PositionKey& a, const PositionKey& b) {
  return std::memcmp(a.bits, b.bits, sizeof a.bits) < 0;
}

// An edge without direction: its two end positions, smaller first.
struct EdgeKey {
  PositionKey ends[2];
  bool operator==(const EdgeKey& other) const { return std::memcmp(ends, other.ends, sizeof ends) == 0; }
};

struct EdgeHash {
  size_t operator()(const EdgeKey& key) const {
    size_t hash = 1469598103934665603ull;
    for (const PositionKey& end : key.ends)
      for (uint32_t word : end.bits) hash = (hash ^ word) * 1099511628211ull;
    return hash;
  }
};

// The two highest-numbered triangles that have an edge with these ends.
struct EdgeOwners {
  int32_t highest = -1, second = -1;
  void add(int32_t triangle) {
    if (triangle == highest || triangle == second) return;
    if (triangle > highest) {
      second = highest;
      highest = triangle;
    } else if (triangle > second) {
      second = triangle;
    }
  }
  int32_t other_than(int32_t triangle) const { return highest != triangle ? highest : second; }
};

bool edge_key(const MeshPart& part, const MaterialGroup& group, int t, int e, EdgeKey* key) {
  const float* a = &part.positions[group.indices[t * 3 + e] * 3];
  const float* b = &part.positions[group.indices[t * 3 + (e + 1) % 3] * 3];
  PositionKey ka, kb;
  if (!position_key(a, &ka) || !position_key(b, &kb)) return false;
  if (key_less(kb, ka)) std::swap(ka, kb);
  key->ends[0] = ka;
  key->ends[1] = kb;
  return true;
}

// The pairwise search this replaces visits every later triangle for every
// triangle and lets later matches overwrite earlier ones, which leaves each
// edge with the highest-numbered other triangle sharing it. Grouping edges by
// their ends gives the same answer in near-linear time.
void build_group_adjacency(const MeshPart& part, MaterialGroup& group) {
  int count = usable_triangles(part, group);
  group.adjacency.assign(static_cast<size_t>(group.triangleCount > count ? group.triangleCount : count) *
                             ADJACENCY_INTS,
                         -1);
  std::unordered_map<EdgeKey, EdgeOwners, EdgeHash> owners;
  owners.reserve(static_cast<size_t>(count) * 3);
  for (int t = 0; t < count; ++t) {
    if (!triangle_in_part(part, group, t)) continue;
    for (int e = 0; e < 3; ++e) {
      EdgeKey key;
      if (edge_key(part, group, t, e, &key)) owners[key].add(t);
    }
  }
  for (int t = 0; t < count; ++t) {
    if (!triangle_in_part(part, group, t)) continue;
    for (int e = 0; e < 3; ++e) {
      EdgeKey key;
      if (!edge_key(part, group, t, e, &key)) continue;
      group.adjacency[t * ADJACENCY_INTS + e] = owners[key].other_than(t);
    }
  }
}

bool has_adjacency(const MeshPart& part, const MaterialGroup& group) {
  return group.adjacency.size() >= static_cast<size_t>(usable_triangles(part, group)) * ADJACENCY_INTS;
}

// ---- the volume ---------------------------------------------------------------

// The light's stored position in the object's local frame: R^T (p - t), with
// R the rotation part of the column-major world matrix and t its translation.
void light_in_object_frame(const cLight& light, const cObject& object, float local[3]) {
  const float* m = object.worldMatrix;
  float d[3] = {light.position[0] - m[12], light.position[1] - m[13], light.position[2] - m[14]};
  for (int axis = 0; axis < 3; ++axis)
    local[axis] = m[axis * 4 + 0] * d[0] + m[axis * 4 + 1] * d[1] + m[axis * 4 + 2] * d[2];
}

void set_facing(MeshPart& part, MaterialGroup& group, const float light[3]) {
  int count = usable_triangles(part, group);
  if (group.faceNormals.size() < static_cast<size_t>(count) * 3) count = static_cast<int>(group.faceNormals.size() / 3);
  for (int t = 0; t < count; ++t) {
    const float* n = &group.faceNormals[t * 3];
    // The light position itself, not the light minus a point of the face.
    bool facing = n[0] * light[0] + n[1] * light[1] + n[2] * light[2] > 0.0f;
    int32_t& flags = group.adjacency[t * ADJACENCY_INTS + 3];
    flags = (flags & ~0xFF) | (facing ? 1 : 0);
  }
  for (int t = count; t < usable_triangles(part, group); ++t) group.adjacency[t * ADJACENCY_INTS + 3] &= ~0xFF;
}

bool facing(const MaterialGroup& group, int t) { return (group.adjacency[t * ADJACENCY_INTS + 3] & 0xFF) != 0; }

void emit_silhouette(Engine* engine, const MeshPart& part, const MaterialGroup& group, const float light[3],
                     float extrusion) {
  int count = usable_triangles(part, group);
  for (int t = 0; t < count; ++t) {
    if (!facing(group, t) || !triangle_in_part(part, group, t)) continue;
    for (int e = 0; e < 3; ++e) {
      int32_t neighbour = group.adjacency[t * ADJACENCY_INTS + e];
      if (neighbour != -1 && facing(group, neighbour)) continue;
      const float* a = &part.positions[group.indices[t * 3 + e] * 3];
      const float* b = &part.positions[group.indices[t * 3 + (e + 1) % 3] * 3];
      float a2[3], b2[3];
      for (int i = 0; i < 3; ++i) {
        a2[i] = a[i] + (a[i] - light[i]) * extrusion;
        b2[i] = b[i] + (b[i] - light[i]) * extrusion;
      }
      glVertex3fv(a);
      glVertex3fv(a2);
      glVertex3fv(b2);
      glVertex3fv(b);
      addFrameTriangles(engine, 2);
    }
  }
}

void release_list(cShadow* shadow) {
  if (shadow->displayList != 0) glDeleteLists(shadow->displayList, 1);
  shadow->displayList = 0;
}

constexpr GLbitfield SHADOW_ATTRIB_BITS = GL_TEXTURE_BIT | GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT |
                                          GL_STENCIL_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_POLYGON_BIT;

// ---- the commands; the shadow number is args.n, the values args.a .. args.d ----

void shadow_active(cShadow& shadow, const CommandArgs&) {
  Engine* engine = shadow.engine;
  if (shadow.meshObject < 0 || shadow.meshObject >= engine->scene.objects.count) return;
  if (engine->scene.lights.count == 0 || !object_at(engine, shadow.meshObject)) return;
  shadow.active = true;
}

void shadow_color(cShadow& shadow, const CommandArgs& args) {
  shadow.color[0] = args.a;
  shadow.color[1] = args.b;
  shadow.color[2] = args.c;
  shadow.color[3] = args.d;
}

void shadow_nolight(cShadow& shadow, const CommandArgs& args) { shadow.nolight = float_flag(args.a); }

void shadow_volume(cShadow& shadow, const CommandArgs& args) { shadow.volume = float_flag(args.a); }

struct ShadowClass {
  using Element = cShadow;
  static constexpr const char* name = "cShadow";
  static constexpr int type_code = CMD_SHADOW;
  static constexpr int capacity = MAX_ELEMENTS;
  static auto* table(Engine* e) { return &e->scene.shadows; }
  static constexpr ClassKeyword<cShadow> keywords[] = {
      {"active", shadow_active},
      {"color", shadow_color},
      {"nolight", shadow_nolight},
      {"volume", shadow_volume},
  };
  static void destroy(cShadow* shadow) {
    shadow->active = false;
    release_list(shadow);
    delete shadow;
  }
  // `new cShadow(a0, a1)`: placed by object a0, extruding object a1 (as a
  // 16-bit number; a0 when that is negative). The mesh must exist.
  // After the opaque objects; a scene without objects has nothing to shadow.
  static void opaque(Engine* e) {
    if (e->scene.objects.count != 0) shadowPass(e);
  }
  static cShadow* construct(Engine* e, int, const CommandArgs& args) {
    int placing = float_to_int(args.n);
    int mesh_number = static_cast<int16_t>(float_to_int(args.a));
    if (mesh_number < 0) mesh_number = placing;
    cObject* mesh = object_at(e, mesh_number);
    if (!mesh) return nullptr;
    auto* shadow = new cShadow(e);
    shadow->object = placing;
    shadow->meshObject = mesh_number;
    buildAdjacency(mesh);
    buildShadowVolume(shadow);
    return shadow;
  }
};

}  // namespace

const ClassType shadow_class = class_type<ShadowClass>();

int newShadow(Engine* engine, int a0, int a1) {
  return shadow_class.create(engine, CommandArgs{static_cast<float>(a0), static_cast<float>(a1)});
}

void deleteShadow(Engine* engine, int slot) { shadow_class.remove(engine, slot); }

void buildAdjacency(cObject* mesh) {
  for (MeshPart& part : mesh->parts)
    for (MaterialGroup& group : part.groups) build_group_adjacency(part, group);
}

void buildShadowVolume(cShadow* shadow) {
  if (!shadow->active) return;
  Engine* engine = shadow->engine;
  cObject* placing = object_at(engine, shadow->object);
  cObject* mesh = object_at(engine, shadow->meshObject);
  if (!placing || !mesh) return;
  // A mesh loaded into the slot since the last build has no adjacency yet.
  for (MeshPart& part : mesh->parts)
    for (MaterialGroup& group : part.groups)
      if (!has_adjacency(part, group)) build_group_adjacency(part, group);

  release_list(shadow);
  shadow->displayList = glGenLists(1);
  shadow->builtMesh = mesh;
  glNewList(shadow->displayList, GL_COMPILE);
  glBegin(GL_QUADS);
  for (int i = 0; i < engine->scene.lights.count && i < MAX_LIGHTS; ++i) {
    const cLight* light = engine->scene.lights[i];
    if (!light || !(light->enabled || shadow->nolight)) continue;
    float local[3];
    light_in_object_frame(*light, *placing, local);
    for (MeshPart& part : mesh->parts)
      for (MaterialGroup& group : part.groups) set_facing(part, group, local);
    for (MeshPart& part : mesh->parts)
      for (MaterialGroup& group : part.groups)
        emit_silhouette(engine, part, group, local, static_cast<float>(shadow->extrusion));
  }
  glEnd();
  glEndList();
}

void drawShadowVolume(cShadow* shadow) {
  if (!shadow->active) return;
  Engine* engine = shadow->engine;
  cObject* placing = object_at(engine, shadow->object);
  cObject* mesh = object_at(engine, shadow->meshObject);
  // Objects deleted since: nothing to place or extrude this frame.
  if (!placing || !mesh) return;
  if (objectDirty(*placing) || (shadow->displayList != 0 && shadow->builtMesh != mesh)) buildShadowVolume(shadow);
  if (shadow->displayList == 0) return;

  glPushAttrib(SHADOW_ATTRIB_BITS);
  placing->applyTransform();

  // Front faces of the volume count up where they pass the depth test
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glDepthFunc(GL_LESS);
  glFrontFace(GL_CCW);
  glDisable(GL_BLEND);
  glEnable(GL_STENCIL_TEST);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  glStencilFunc(GL_ALWAYS, 1, ~0u);
  glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
  glCallList(shadow->displayList);

  // ... and back faces count down, unless the volume itself is to show
  if (!shadow->volume) {
    glFrontFace(GL_CW);
    glStencilOp(GL_KEEP, GL_KEEP, GL_DECR);
    glCallList(shadow->displayList);
  }

  // Restore
  glDisable(GL_BLEND);
  glDepthFunc(GL_LEQUAL);
  glDisable(GL_STENCIL_TEST);
  glPopMatrix();
  glPopAttrib();
}

void darkenShadows(const float color[4]) {
  glPushAttrib(SHADOW_ATTRIB_BITS);

  // Blend the colour where the stencil count is not zero
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glDepthFunc(GL_LEQUAL);
  glPolygonMode(GL_FRONT, GL_FILL);
  glEnable(GL_STENCIL_TEST);
  glStencilFunc(GL_NOTEQUAL, 0, ~0u);
  glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glColor4fv(color);
  glFrontFace(GL_CW);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

  // One quad over the whole viewport
  glMatrixMode(GL_MODELVIEW);
  begin_identity_matrices();
  gl_screen_quad();
  end_identity_matrices();

  // Restore
  glDisable(GL_BLEND);
  glDepthFunc(GL_LEQUAL);
  glDisable(GL_STENCIL_TEST);
  glPopAttrib();
}

void shadowPass(Engine* engine) {
  if (engine->scene.shadows.count == 0) return;

  // No depth writes, lighting or texturing; flat shading
  glDepthMask(GL_FALSE);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glShadeModel(GL_FLAT);

  // All volumes add into one stencil count; the last shadow seen gives the colour
  const cShadow* last = nullptr;
  for (int i = 0; i < engine->scene.shadows.count && i < MAX_ELEMENTS; ++i) {
    cShadow* shadow = engine->scene.shadows[i];
    if (!shadow) continue;
    drawShadowVolume(shadow);
    last = shadow;
  }
  if (last) darkenShadows(last->color);

  // Restore
  glShadeModel(GL_SMOOTH);
  glDepthMask(GL_TRUE);
  glEnable(GL_TEXTURE_2D);
}
