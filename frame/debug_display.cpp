#include "frame/debug_display.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>

#include "core/engine.h"
#include "mesh/framer.h"
#include "mesh/object.h"
#include "resources/font.h"

namespace {

// A box's eight corners (mesh/object.h order: 0-3 at max z, 4-7 at min z, each
// face going round) as the two faces' loops and the four edges between them.
void draw_box(const float corners[8][3]) {
  for (int face = 0; face < 2; ++face) {
    glBegin(GL_LINE_STRIP);
    for (int k = 0; k <= 4; ++k) glVertex3fv(corners[face * 4 + k % 4]);
    glEnd();
  }
  for (int k = 0; k < 4; ++k) {
    glBegin(GL_LINE_STRIP);
    glVertex3fv(corners[k]);
    glVertex3fv(corners[k + 4]);
    glEnd();
  }
}

// Lines go untextured (a bound texture would hide them); labels take the font.
void lines_state() { glDisable(GL_TEXTURE_2D); }
// Glyph y grows downwards and world y upwards: the label's y scale is negated
// so that it reads upright, hanging below its anchor.
void label(Engine* engine, const float at[3], float sx, float sy, const char* text, const float colour[4]) {
  glEnable(GL_TEXTURE_2D);
  drawText(engine, at[0], at[1], at[2], sx, -sy, text, colour[0], colour[1], colour[2], colour[3]);
}

// 1: every part's box, then the object's, with the part numbers.
void draw_boxes(Engine* engine) {
  static const float part_label[4] = {0.5f, 0.5f, 0.5f, 1.0f};
  for (int i = 0; i < engine->scene.objects.count; ++i) {
    const cObject* object = engine->scene.objects[i];
    if (!object) continue;
    for (int p = 0; p < object->partCount; ++p) {
      const MeshPart& part = object->parts[p];
      lines_state();
      glColor3f(0.0f, 0.5f, 0.0f);
      draw_box(part.worldCorners);
      char text[16];
      std::snprintf(text, sizeof text, "%d", p);
      label(engine, part.worldCorners[0], 0.2f, 0.2f, text, part_label);
    }
    lines_state();
    glColor3f(1.0f, 1.0f, 0.0f);
    draw_box(object->worldCorners);
  }
}

// 2: "part-vertex" at every vertex of the visible parts, in the object's space.
void draw_vertex_labels(Engine* engine) {
  static const float colour[4] = {0.0f, 0.5f, 0.0f, 1.0f};
  for (int i = 0; i < engine->scene.objects.count; ++i) {
    const cObject* object = engine->scene.objects[i];
    if (!object) continue;
    object->applyTransform();
    for (int p = 0; p < object->partCount; ++p) {
      const MeshPart& part = object->parts[p];
      if (!part.visible) continue;
      const int count = std::min(part.vertexCount, static_cast<int32_t>(part.positions.size() / 3));
      for (int v = 0; v < count; ++v) {
        char text[32];
        std::snprintf(text, sizeof text, "%d-%d", p, v);
        label(engine, &part.positions[v * 3], 0.015f, 0.02f, text, colour);
      }
    }
    glPopMatrix();
  }
}

// 3: "part,group,triangle" at every triangle's first vertex.
void draw_triangle_labels(Engine* engine) {
  static const float colour[4] = {0.5f, 0.5f, 0.0f, 1.0f};
  for (int i = 0; i < engine->scene.objects.count; ++i) {
    const cObject* object = engine->scene.objects[i];
    if (!object) continue;
    object->applyTransform();
    for (int p = 0; p < object->partCount; ++p) {
      const MeshPart& part = object->parts[p];
      if (!part.visible) continue;
      for (int g = 0; g < part.groupCount; ++g) {
        const MaterialGroup& group = part.groups[g];
        const int triangles = std::min(group.triangleCount, static_cast<int32_t>(group.indices.size() / 3));
        for (int t = 0; t < triangles; ++t) {
          const int first = group.indices[t * 3];
          if (first >= part.vertexCount || static_cast<size_t>(first) * 3 + 2 >= part.positions.size()) continue;
          char text[48];
          std::snprintf(text, sizeof text, "%d,%d,%d", p, g, t);
          label(engine, &part.positions[first * 3], 0.015f, 0.02f, text, colour);
        }
      }
    }
    glPopMatrix();
  }
}

// 4: each animator's keys joined, yellow for the camera's, green for an
// object's, each key labelled. Keys are in the object commands' convention.
void draw_key_paths(Engine* engine) {
  static const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  for (int n = 0; n < engine->scene.framers.count && n < MAX_ELEMENTS; ++n) {
    const cFramer* framer = engine->scene.framers[n];
    if (!framer) continue;
    const bool camera = framer->object < 0;
    lines_state();
    if (camera)
      glColor4f(1.0f, 1.0f, 0.0f, 1.0f);
    else
      glColor4f(0.0f, 1.0f, 0.0f, 1.0f);
    glBegin(GL_LINE_STRIP);
    for (const FrameKey& key : framer->keys) glVertex3f(key.position[0], key.position[1], -key.position[2]);
    glEnd();
    for (size_t k = 0; k < framer->keys.size(); ++k) {
      const FrameKey& key = framer->keys[k];
      const float at[3] = {key.position[0], key.position[1], -key.position[2]};
      char text[48];
      if (camera)
        std::snprintf(text, sizeof text, "cam pos %d", static_cast<int>(k));
      else
        std::snprintf(text, sizeof text, "obj %d pos %d", framer->object, static_cast<int>(k));
      label(engine, at, 0.2f, 0.2f, text, white);
    }
  }
}

}  // namespace

void drawDebugDisplay(Engine* engine, int mode) {
  switch (mode) {
    case 1:
      draw_boxes(engine);
      break;
    case 2:
      draw_vertex_labels(engine);
      break;
    case 3:
      draw_triangle_labels(engine);
      break;
    case 4:
      draw_key_paths(engine);
      break;
    default:
      return;
  }
  glEnable(GL_TEXTURE_2D);
}
