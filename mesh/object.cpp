#include "mesh/object.h"

#include <GL/gl.h>

#include <cmath>

#include "core/engine.h"
#include "platform/gl_api.h"

void set_box_corners(BoxCorners corners, const float min[3], const float max[3]) {
  const float* pick[8][3] = {
      {min, max, max}, {max, max, max}, {max, min, max}, {min, min, max},
      {min, max, min}, {max, max, min}, {max, min, min}, {min, min, min},
  };
  for (int c = 0; c < 8; ++c)
    for (int axis = 0; axis < 3; ++axis) corners[c][axis] = pick[c][axis][axis];
}

static uint32_t next_object_serial = 0;

cObject::cObject(Engine* owner) : engine(owner), serial(++next_object_serial) {
  for (int i = 0; i < 16; ++i) worldMatrix[i] = (i % 5 == 0) ? 1.0f : 0.0f;
  primitive = owner ? owner->settings.draw_mode : GL_TRIANGLES;
  frontFace = GL_CCW;
}

cObject::~cObject() { clearMesh(); }

void cObject::clearMesh() {
  deleteBuffers();
  // Parts and their groups go last to first.
  for (MeshPart& part : parts) {
    while (!part.groups.empty()) part.groups.pop_back();
  }
  while (!parts.empty()) parts.pop_back();
  partCount = 0;
}

// ---- placement ----------------------------------------------------------------

// out = a * b, column-major 4 x 4.
static void multiply(const float a[16], const float b[16], float out[16]) {
  float r[16];
  for (int col = 0; col < 4; ++col)
    for (int row = 0; row < 4; ++row) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a[k * 4 + row] * b[col * 4 + k];
      r[col * 4 + row] = sum;
    }
  for (int i = 0; i < 16; ++i) out[i] = r[i];
}

// The matrix glRotatef(degrees, axis) multiplies by, for a unit axis x, y or z.
static void axis_rotation(float degrees, int axis, float m[16]) {
  for (int i = 0; i < 16; ++i) m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
  double radians = degrees * M_PI / 180.0;
  float c = static_cast<float>(std::cos(radians));
  float s = static_cast<float>(std::sin(radians));
  int u = (axis + 1) % 3, v = (axis + 2) % 3;
  m[u * 4 + u] = c;
  m[v * 4 + v] = c;
  m[u * 4 + v] = s;   // column u, row v
  m[v * 4 + u] = -s;  // column v, row u
}

static void transform_corners(const float m[16], const float in[8][3], float out[8][3]) {
  for (int c = 0; c < 8; ++c)
    for (int row = 0; row < 3; ++row)
      out[c][row] = m[row] * in[c][0] + m[4 + row] * in[c][1] + m[8 + row] * in[c][2] + m[12 + row];
}

// World matrix = translate(position) * rotate x * rotate y * rotate z, the
// product glTranslatef and three glRotatef calls build; done here rather than
// on the GL stack so that it needs no context.
void cObject::updateTransform() {
  float m[16];
  for (int i = 0; i < 16; ++i) m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
  m[12] = position[0];
  m[13] = position[1];
  m[14] = position[2];
  for (int axis = 0; axis < 3; ++axis) {
    float r[16];
    axis_rotation(rotation[axis], axis, r);
    multiply(m, r, m);
  }
  for (int i = 0; i < 16; ++i) worldMatrix[i] = m[i];
  transform_corners(worldMatrix, localCorners, worldCorners);
  for (MeshPart& part : parts) transform_corners(worldMatrix, part.localCorners, part.worldCorners);
}

// Boxes from the exact coordinates (not whole numbers, which would collapse the
// box of anything smaller than a unit to a point).
void cObject::computeBounds() {
  float object_min[3] = {BOX_START, BOX_START, BOX_START};
  float object_max[3] = {-BOX_START, -BOX_START, -BOX_START};
  for (MeshPart& part : parts) {
    float min[3] = {BOX_START, BOX_START, BOX_START};
    float max[3] = {-BOX_START, -BOX_START, -BOX_START};
    for (int v = 0; v < part.vertexCount; ++v)
      for (int axis = 0; axis < 3; ++axis) {
        float x = part.positions[v * 3 + axis];
        if (x < min[axis]) min[axis] = x;
        if (x > max[axis]) max[axis] = x;
      }
    set_box_corners(part.localCorners, min, max);
    for (int axis = 0; axis < 3; ++axis) {
      if (min[axis] < object_min[axis]) object_min[axis] = min[axis];
      if (max[axis] > object_max[axis]) object_max[axis] = max[axis];
    }
  }
  set_box_corners(localCorners, object_min, object_max);
}

// Face normals, negated for clockwise front faces; a vertex normal is the plain
// average (not renormalised) of the face normals of the part's triangles that
// use it. Accumulated per triangle, so linear in the mesh size.
void cObject::computeNormals() {
  for (MeshPart& part : parts) {
    int count = part.vertexCount;
    std::vector<float> sum(static_cast<size_t>(count) * 3, 0.0f);
    std::vector<int> uses(count, 0);
    part.normals.assign(static_cast<size_t>(count) * 3, 0.0f);
    for (MaterialGroup& group : part.groups) {
      group.faceNormals.assign(static_cast<size_t>(group.triangleCount) * 3, 0.0f);
      for (int t = 0; t < group.triangleCount; ++t) {
        const uint16_t* tri = &group.indices[t * 3];
        if (tri[0] >= count || tri[1] >= count || tri[2] >= count) continue;
        const float* p0 = &part.positions[tri[0] * 3];
        const float* p1 = &part.positions[tri[1] * 3];
        const float* p2 = &part.positions[tri[2] * 3];
        float e1[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
        float e2[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
        float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                      e1[0] * e2[1] - e1[1] * e2[0]};
        float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (length != 0.0f)
          for (float& x : n) x /= length;
        if (frontFace == GL_CW)
          for (float& x : n) x = -x;
        for (int axis = 0; axis < 3; ++axis) group.faceNormals[t * 3 + axis] = n[axis];
        // A triangle counts once for each distinct vertex it uses.
        for (int corner = 0; corner < 3; ++corner) {
          uint16_t k = tri[corner];
          if ((corner > 0 && k == tri[0]) || (corner == 2 && k == tri[1])) continue;
          for (int axis = 0; axis < 3; ++axis) sum[k * 3 + axis] += n[axis];
          ++uses[k];
        }
      }
    }
    for (int k = 0; k < count; ++k)
      if (uses[k] > 0)
        for (int axis = 0; axis < 3; ++axis) part.normals[k * 3 + axis] = sum[k * 3 + axis] / uses[k];
  }
}

// ---- GPU copies ---------------------------------------------------------------

static void fill_array_buffer(uint32_t buffer, const std::vector<float>& data, size_t floats) {
  glBindBufferARB_(GL_ARRAY_BUFFER_ARB, buffer);
  if (floats > data.size()) floats = data.size();
  glBufferDataARB_(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(floats * sizeof(float)),
                   floats ? data.data() : nullptr, GL_DYNAMIC_DRAW_ARB);
}

static void fill_element_buffer(const MaterialGroup& group) {
  size_t count = static_cast<size_t>(group.drawTriangleCount) * 3;
  if (count > group.drawIndices.size()) count = group.drawIndices.size();
  glBindBufferARB_(GL_ELEMENT_ARRAY_BUFFER_ARB, group.indexBuffer);
  glBufferDataARB_(GL_ELEMENT_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(count * sizeof(uint16_t)),
                   count ? group.drawIndices.data() : nullptr, GL_DYNAMIC_DRAW_ARB);
}

static void fill_part_buffers(MeshPart& part) {
  fill_array_buffer(part.vertexBuffer, part.positions, static_cast<size_t>(part.vertexCount) * 3);
  fill_array_buffer(part.normalBuffer, part.normals, static_cast<size_t>(part.vertexCount) * 3);
  fill_array_buffer(part.texCoordBuffer, part.texCoords, static_cast<size_t>(part.texCoordCount) * 2);
  for (MaterialGroup& group : part.groups) fill_element_buffer(group);
  glBindBufferARB_(GL_ARRAY_BUFFER_ARB, 0);
  glBindBufferARB_(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
}

// Without the buffer entry points (no GL context) the names stay 0 and the
// object is not drawn.
void cObject::createBuffers() {
  if (!glGenBuffersARB_ || !glBindBufferARB_ || !glBufferDataARB_) return;
  for (MeshPart& part : parts) {
    glGenBuffersARB_(1, &part.vertexBuffer);
    glGenBuffersARB_(1, &part.normalBuffer);
    glGenBuffersARB_(1, &part.texCoordBuffer);
    for (MaterialGroup& group : part.groups) glGenBuffersARB_(1, &group.indexBuffer);
    fill_part_buffers(part);
  }
}

void cObject::refreshBuffers() {
  if (!glBindBufferARB_ || !glBufferDataARB_) return;
  for (MeshPart& part : parts) {
    if (part.vertexBuffer == 0) continue;
    fill_part_buffers(part);
  }
}

void cObject::deleteBuffers() {
  for (MeshPart& part : parts) {
    uint32_t* names[3] = {&part.vertexBuffer, &part.normalBuffer, &part.texCoordBuffer};
    for (uint32_t* name : names) {
      if (*name != 0 && glDeleteBuffersARB_) glDeleteBuffersARB_(1, name);
      *name = 0;
    }
    for (MaterialGroup& group : part.groups) {
      if (group.indexBuffer != 0 && glDeleteBuffersARB_) glDeleteBuffersARB_(1, &group.indexBuffer);
      group.indexBuffer = 0;
    }
  }
}

// ---- per-frame marks ----------------------------------------------------------

void mark_objects_dirty(Engine* engine) {
  for (int i = 0; i < engine->scene.objects.count; ++i)
    if (engine->scene.objects[i]) engine->scene.objects[i]->dirty = 1;
}

void clear_objects_dirty(Engine* engine) {
  for (int i = 0; i < engine->scene.objects.count; ++i)
    if (cObject* object = engine->scene.objects[i]) {
      object->dirty = 0;
      object->viewSerial = engine->view.serial;
    }
}
