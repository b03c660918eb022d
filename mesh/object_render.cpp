// Drawing one object with the fixed-function pipeline from its GL buffers:
// placement, visibility against the frustum, the per-object state from its
// flags, and the opaque (0) and blended (1) passes; a group with a baked
// lightmap has it modulate its colour map on texture unit 1. Leaves texture unit 0
// active with GL_TEXTURE_2D on and GL_MODULATE, blending off with
// (GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA), depth writes on, alpha test off, no
// material emission, the modelview stack balanced and no array buffer bound.
#include "mesh/object_render.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>

#include "core/engine.h"
#include "mesh/object.h"
#include "platform/gl_api.h"

// ---- frustum ------------------------------------------------------------------

void frustumFromMatrices(const float projection[16], const float modelview[16], float planes[6][4]) {
  float clip[16];
  for (int col = 0; col < 4; ++col)
    for (int row = 0; row < 4; ++row) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += projection[k * 4 + row] * modelview[col * 4 + k];
      clip[col * 4 + row] = sum;
    }
  for (int p = 0; p < 6; ++p) {
    int row = p / 2;
    float sign = (p % 2 == 0) ? 1.0f : -1.0f;
    for (int col = 0; col < 4; ++col) planes[p][col] = clip[col * 4 + 3] + sign * clip[col * 4 + row];
    float length = std::sqrt(planes[p][0] * planes[p][0] + planes[p][1] * planes[p][1] +
                             planes[p][2] * planes[p][2]);
    if (length > 0.0f)
      for (int col = 0; col < 4; ++col) planes[p][col] /= length;
  }
}

void computeFrustum(Engine* engine) {
  float projection[16], modelview[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  frustumFromMatrices(projection, modelview, engine->view.frustum);
}

static float plane_distance(const float plane[4], const float p[3]) {
  return plane[0] * p[0] + plane[1] * p[1] + plane[2] * p[2] + plane[3];
}

bool boxInFrustum(const float planes[6][4], const float corners[8][3]) {
  for (int p = 0; p < 6; ++p) {
    bool any_inside = false;
    for (int c = 0; c < 8 && !any_inside; ++c) any_inside = plane_distance(planes[p], corners[c]) > 0.0f;
    if (!any_inside) return false;
  }
  return true;
}

bool pointInFrustum(const float planes[6][4], const float point[3]) {
  for (int p = 0; p < 6; ++p)
    if (plane_distance(planes[p], point) <= 0.0f) return false;
  return true;
}

// ---- counters and tables ------------------------------------------------------

// The engine record has no field for it; one engine exists at a time.
static int frame_triangles = 0;

void addFrameTriangles(Engine*, int count) { frame_triangles += count; }
int frameTriangles(const Engine*) { return frame_triangles; }
void resetFrameTriangles(Engine*) { frame_triangles = 0; }

void objectBlendFunction(int blend_mode, unsigned* source, unsigned* destination) {
  switch (blend_mode) {
    case 2: *source = GL_DST_COLOR; *destination = GL_SRC_COLOR; break;
    case 3: *source = GL_DST_COLOR; *destination = GL_ONE; break;
    case 4: *source = GL_SRC_ALPHA; *destination = GL_DST_COLOR; break;
    case 5: *source = GL_SRC_ALPHA; *destination = GL_ONE; break;
    case 6: *source = GL_ONE; *destination = GL_ONE; break;
    case 7: *source = GL_SRC_COLOR; *destination = GL_DST_COLOR; break;
    default: *source = GL_SRC_ALPHA; *destination = GL_ONE_MINUS_SRC_ALPHA; break;
  }
}

void glowBlendFunction(int blend_mode, unsigned* source, unsigned* destination) {
  if (blend_mode == 7) {
    *source = GL_SRC_ALPHA;
    *destination = GL_ONE_MINUS_SRC_ALPHA;
    return;
  }
  objectBlendFunction(blend_mode, source, destination);
}

// ---- the object ---------------------------------------------------------------

void cObject::applyTransform() const {
  glPushMatrix();
  if (fixedMode == 1 || fixedMode < 0) {
    // keeps its place relative to the eye but turns with the view
    glTranslatef(-engine->view.cam_pos[0], -engine->view.cam_pos[1], -engine->view.cam_pos[2]);
  } else if (fixedMode >= 2) {
    glLoadIdentity();  // placed in eye space
  }
  glTranslatef(position[0], position[1], position[2]);
  glRotatef(rotation[0], 1.0f, 0.0f, 0.0f);
  glRotatef(rotation[1], 0.0f, 1.0f, 0.0f);
  glRotatef(rotation[2], 0.0f, 0.0f, 1.0f);
}

// Expects the placement on the modelview stack: the planes come out in the
// object's own space, where its local corners are.
void cObject::testVisibility() {
  if (!frustumTest) {
    visible = 1;
    for (MeshPart& part : parts) part.visible = 1;
    return;
  }
  computeFrustum(engine);
  if (!boxInFrustum(engine->view.frustum, localCorners)) {
    visible = 0;
    return;
  }
  visible = 1;
  for (MeshPart& part : parts) part.visible = boxInFrustum(engine->view.frustum, part.localCorners);
}

static bool any_light(const Engine* engine) {
  for (int i = 0; i < engine->scene.lights.count && i < MAX_LIGHTS; ++i)
    if (engine->scene.lights[i]) return true;
  return false;
}

static void bind_part_arrays(const MeshPart& part) {
  glBindBufferARB_(GL_ARRAY_BUFFER_ARB, part.texCoordBuffer);
  glTexCoordPointer(2, GL_FLOAT, 0, nullptr);
  glBindBufferARB_(GL_ARRAY_BUFFER_ARB, part.normalBuffer);
  glNormalPointer(GL_FLOAT, 0, nullptr);
  glBindBufferARB_(GL_ARRAY_BUFFER_ARB, part.vertexBuffer);
  glVertexPointer(3, GL_FLOAT, 0, nullptr);
}

static void set_faces(int front_face) {
  if (front_face == FRONT_FACE_NO_CULL) {
    glDisable(GL_CULL_FACE);
  } else {
    glFrontFace(front_face);
    glEnable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT, GL_FILL);
    glCullFace(GL_BACK);
  }
}

static void draw_elements(const cObject* object, const MaterialGroup& group) {
  int count = group.drawTriangleCount * 3;
  if (count > static_cast<int>(group.drawIndices.size())) count = static_cast<int>(group.drawIndices.size());
  glBindBufferARB_(GL_ELEMENT_ARRAY_BUFFER_ARB, group.indexBuffer);
  if (count > 0) glDrawElements(object->primitive, count, GL_UNSIGNED_SHORT, nullptr);
  glBindBufferARB_(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
}

// A group whose colour slot holds the baker's lightmap: every triangle corner
// gets its own lightmap coordinates (s / q, t / q), so the corners cannot share
// the part's vertex buffers and are sent one by one.
static bool draws_through_lightmap(const cObject* object, const MeshPart& part, const MaterialGroup& group) {
  return group.baseIsLightmap && object->primitive == GL_TRIANGLES && !group.lightmapCoords.empty() &&
         !part.positions.empty() && part.normals.size() == part.positions.size();
}

// The group's triangles, each corner with its lightmap coordinates (s / q,
// t / q): on unit 0 alone, or, with the colour map, on unit 1 beside the
// part's own texture coordinates on unit 0.
static void send_lightmap_triangles(const MeshPart& part, const MaterialGroup& group, bool with_colour_map) {
  size_t triangles = static_cast<size_t>(group.triangleCount > 0 ? group.triangleCount : 0);
  triangles = std::min({triangles, group.indices.size() / 3, group.lightmapCoords.size() / 12});
  const size_t vertices = part.positions.size() / 3;
  glBegin(GL_TRIANGLES);
  for (size_t t = 0; t < triangles; ++t) {
    const uint16_t* corner = &group.indices[t * 3];
    if (corner[0] >= vertices || corner[1] >= vertices || corner[2] >= vertices) continue;
    for (int c = 0; c < 3; ++c) {
      const int32_t* k = &group.lightmapCoords[t * 12 + c * 4];
      const float q = k[3] != 0 ? static_cast<float>(k[3]) : 1.0f;
      if (with_colour_map) {
        const size_t uv = static_cast<size_t>(corner[c]) * 2;
        if (uv + 1 < part.texCoords.size())
          glMultiTexCoord2fARB_(GL_TEXTURE0_ARB, part.texCoords[uv], part.texCoords[uv + 1]);
        glMultiTexCoord2fARB_(GL_TEXTURE1_ARB, k[0] / q, k[1] / q);
      } else {
        glTexCoord2f(k[0] / q, k[1] / q);
      }
      glNormal3fv(&part.normals[corner[c] * 3]);
      glVertex3fv(&part.positions[corner[c] * 3]);
    }
  }
  glEnd();
}

static void bind_slot(const Engine* engine, int slot) {
  if (slot >= 0 && slot < MAX_TEXTURES) glBindTexture(GL_TEXTURE_2D, engine->resources.textures[slot].glName);
}

// A group that kept its baked lightmap: lightmap coordinates and a lightmap
// texture outside a bake. (A group without coordinates keeps its lightmap
// slot as the glow pass's source only.)
static bool shows_lightmap(const cObject* object, const MeshPart& part, const MaterialGroup& group) {
  const int slot = group.lightmapTexture;
  return !group.baseIsLightmap && !group.lightmapCoords.empty() && slot > 0 && slot < MAX_TEXTURES &&
         object->engine->resources.textures[slot].inUse && object->primitive == GL_TRIANGLES &&
         glActiveTextureARB_ && glMultiTexCoord2fARB_ && !part.positions.empty() &&
         part.normals.size() == part.positions.size();
}

// The colour map as unit 0 has it (the group's own texture coordinates),
// modulated by the lightmap on unit 1 through the lightmap coordinates
// (s / q, t / q). Those belong to triangle corners, so the corners are sent
// one by one, as during the bake.
static void draw_with_lightmap(const cObject* object, const MeshPart& part, const MaterialGroup& group) {
  glActiveTextureARB_(GL_TEXTURE1_ARB);
  glEnable(GL_TEXTURE_2D);
  bind_slot(object->engine, group.lightmapTexture);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);

  send_lightmap_triangles(part, group, true);

  glDisable(GL_TEXTURE_2D);
  glActiveTextureARB_(GL_TEXTURE0_ARB);
}

static void texture_unit_zero() {
  if (glActiveTextureARB_) glActiveTextureARB_(GL_TEXTURE0_ARB);
  if (glClientActiveTextureARB_) glClientActiveTextureARB_(GL_TEXTURE0_ARB);
}

static bool drawable(const MeshPart& part) {
  return part.visible && part.vertexBuffer != 0 && glBindBufferARB_;
}

void cObject::drawGroup(int part_number, int group_number) {
  if (part_number < 0 || part_number >= partCount) return;
  MeshPart& part = parts[part_number];
  if (group_number < 0 || group_number >= part.groupCount) return;
  const MaterialGroup& group = part.groups[group_number];
  addFrameTriangles(engine, group.drawTriangleCount);

  // texture
  if (glActiveTextureARB_) glActiveTextureARB_(GL_TEXTURE0_ARB);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  if (group.baseTexture != 0) {
    glEnable(GL_TEXTURE_2D);
    bind_slot(engine, group.baseTexture);
  } else {
    glDisable(GL_TEXTURE_2D);
  }

  // triangles
  if (draws_through_lightmap(this, part, group)) send_lightmap_triangles(part, group, false);
  else if (shows_lightmap(this, part, group)) draw_with_lightmap(this, part, group);
  else draw_elements(this, group);

  // undo
  texture_unit_zero();
  glEnable(GL_TEXTURE_2D);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

int cObject::draw(int pass) {
  if (!active) return 0;

  // placement and visibility (re-tested only when something moved)
  applyTransform();
  if (pass == 0 && objectDirty(*this)) testVisibility();
  if (scaleEnabled) glScalef(matrixScale[0], matrixScale[1], matrixScale[2]);
  if (!visible) {
    glPopMatrix();
    return 0;
  }

  // lighting: with no light in use the previous state stays
  if (unlit) glDisable(GL_LIGHTING);
  else if (any_light(engine)) glEnable(GL_LIGHTING);

  // faces
  set_faces(frontFace);

  // fog, shading, depth writes, alpha test
  if (fog && engine->fog.fog_on) glEnable(GL_FOG);
  else glDisable(GL_FOG);
  glShadeModel(smooth ? GL_SMOOTH : GL_FLAT);
  glDepthMask(depthWrite ? GL_TRUE : GL_FALSE);
  if (alphaTest) {
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GEQUAL, engine->settings.transp);
  }

  // the groups of this pass
  for (int p = 0; p < partCount; ++p) {
    MeshPart& part = parts[p];
    if (!drawable(part)) continue;
    bind_part_arrays(part);
    for (int g = 0; g < part.groupCount; ++g) {
      MaterialGroup& group = part.groups[g];
      if (group.transparent != pass || group.diffuse[3] == 0.0f) continue;
      if (group.transparent || part.blendMode != 0) {
        unsigned source, destination;
        objectBlendFunction(part.blendMode, &source, &destination);
        glEnable(GL_BLEND);
        glBlendFunc(source, destination);
      }
      glMaterialfv(GL_FRONT, GL_AMBIENT, group.ambient);
      glMaterialfv(GL_FRONT, GL_DIFFUSE, group.diffuse);
      glMaterialfv(GL_FRONT, GL_SPECULAR, group.specular);
      glMaterialfv(GL_FRONT, GL_EMISSION, group.emission);
      // Unlit, the colour is the diffuse one with the emission added.
      float colour[4] = {group.diffuse[0], group.diffuse[1], group.diffuse[2], group.diffuse[3]};
      for (int i = 0; i < 3; ++i) colour[i] = std::min(1.0f, colour[i] + group.emission[i]);
      glColor4fv(colour);
      drawGroup(p, g);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      glDisable(GL_BLEND);
    }
  }

  // restore (emission too: the other passes that draw lit meshes set no emission)
  if (glBindBufferARB_) glBindBufferARB_(GL_ARRAY_BUFFER_ARB, 0);
  const float no_emission[4] = {0, 0, 0, 1};
  glMaterialfv(GL_FRONT, GL_EMISSION, no_emission);
  glDisable(GL_ALPHA_TEST);
  glDepthMask(GL_TRUE);
  glPopMatrix();
  return 1;
}

// Everything black except the glow sources: a group's lightmap slot, when it
// holds a texture and the group has no baked lightmap coordinates.
int cObject::drawGlowMask() {
  if (!active) return 0;

  applyTransform();
  testVisibility();
  if (scaleEnabled) glScalef(matrixScale[0], matrixScale[1], matrixScale[2]);
  if (!visible) {
    glPopMatrix();
    return 0;
  }

  // no lighting, fog or blending; flat colours
  glDisable(GL_LIGHTING);
  glDisable(GL_FOG);
  glDisable(GL_BLEND);
  glShadeModel(GL_FLAT);
  // the object's own culling, depth writes and alpha test
  set_faces(frontFace);
  glDepthMask(depthWrite ? GL_TRUE : GL_FALSE);
  if (alphaTest) {
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GEQUAL, engine->settings.transp);
  }

  for (int p = 0; p < partCount; ++p) {
    MeshPart& part = parts[p];
    if (!drawable(part)) continue;
    bind_part_arrays(part);
    for (MaterialGroup& group : part.groups) {
      if (group.transparent || part.blendMode != 0) {
        unsigned source, destination;
        glowBlendFunction(part.blendMode, &source, &destination);
        glEnable(GL_BLEND);
        glBlendFunc(source, destination);
      }
      int glow = group.lightmapTexture;
      if (glow > 0 && glow < MAX_TEXTURES && engine->resources.textures[glow].inUse && group.lightmapCoords.empty()) {
        glEnable(GL_TEXTURE_2D);
        bind_slot(engine, glow);
        glColor4fv(group.diffuse);
      } else {
        glDisable(GL_TEXTURE_2D);
        glColor4f(0.0f, 0.0f, 0.0f, group.diffuse[3]);
        if (group.transparent && group.baseTexture != 0) {
          glEnable(GL_TEXTURE_2D);
          bind_slot(engine, group.baseTexture);
        }
      }
      addFrameTriangles(engine, group.drawTriangleCount);
      draw_elements(this, group);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      glDisable(GL_BLEND);
    }
  }

  // restore
  if (glBindBufferARB_) glBindBufferARB_(GL_ARRAY_BUFFER_ARB, 0);
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_ALPHA_TEST);
  glDepthMask(GL_TRUE);
  glPopMatrix();
  return 1;
}
