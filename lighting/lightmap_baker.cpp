#include "lighting/lightmap_baker.h"

#include <FreeImage.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/convert.h"
#include "core/engine.h"
#include "core/view.h"
#include "core/window.h"
#include "lighting/lightmap_layout.h"
#include "mesh/lightmap_images.h"
#include "mesh/loaded_shape.h"
#include "mesh/object.h"
#include "platform/gl_api.h"
#include "platform/platform.h"
#include "resources/buffer_passes.h"
#include "resources/render_buffers.h"
#include "resources/texture_manager.h"

namespace {

// Pixels each cell's light is spread into the margin around it.
constexpr int LIGHTMAP_BORDER = 2;

// ---- slots the baker made --------------------------------------------------------

// The lightmap buffers the baker created, by slot, with the GL name they got:
// a slot counts as the baker's only while it still holds that texture.
struct BakerSlots {
  const Engine* engine = nullptr;
  GLuint glName[MAX_TEXTURES] = {};
};
BakerSlots baker_slots;

int new_lightmap_texture(Engine* engine, const uint8_t* pixels, int size) {
  int slot = newBufferTexture(engine, pixels, size, size);
  if (slot <= 0) return 0;
  if (baker_slots.engine != engine) baker_slots = BakerSlots{engine, {}};
  baker_slots.glName[slot] = engine->resources.textures[slot].glName;
  return slot;
}

void free_baker_texture(Engine* engine, int slot) {
  if (!isBakerTexture(engine, slot)) return;
  baker_slots.glName[slot] = 0;
  freeTexture(engine, slot);
}

// ---- the off-screen framebuffer ---------------------------------------------------

void release_target(BakeTarget* target) {
  if (!target->framebuffer) return;
  glBindFramebufferEXT_(GL_FRAMEBUFFER_EXT, 0);
  glDeleteFramebuffersEXT_(1, &target->framebuffer);
  GLuint buffers[3] = {target->color, target->depth, target->stencil};
  for (GLuint buffer : buffers)
    if (buffer) glDeleteRenderbuffersEXT_(1, &buffer);
  *target = BakeTarget{};
  glDrawBuffer(GL_BACK);
  glReadBuffer(GL_BACK);
}

GLuint renderbuffer(GLenum format, int size) {
  GLuint name = 0;
  glGenRenderbuffersEXT_(1, &name);
  glBindRenderbufferEXT_(GL_RENDERBUFFER_EXT, name);
  glRenderbufferStorageEXT_(GL_RENDERBUFFER_EXT, format, size, size);
  return name;
}

// Colour, depth 16 and stencil 8 like the window; where the separate depth and
// stencil buffers are refused, one packed depth-stencil buffer. False: none,
// drawing stays in the back buffer.
bool bind_target(BakeTarget* target, int size) {
  if (!gl_capabilities().framebuffer_object) return false;
  GLint largest = 0;
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE_EXT, &largest);
  if (size > largest) return false;
  glGenFramebuffersEXT_(1, &target->framebuffer);
  glBindFramebufferEXT_(GL_FRAMEBUFFER_EXT, target->framebuffer);
  target->size = size;
  target->color = renderbuffer(GL_RGBA8, size);
  glFramebufferRenderbufferEXT_(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT, target->color);
  target->depth = renderbuffer(GL_DEPTH_COMPONENT16, size);
  target->stencil = renderbuffer(GL_STENCIL_INDEX8_EXT, size);
  glFramebufferRenderbufferEXT_(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, target->depth);
  glFramebufferRenderbufferEXT_(GL_FRAMEBUFFER_EXT, GL_STENCIL_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, target->stencil);
  if (glCheckFramebufferStatusEXT_(GL_FRAMEBUFFER_EXT) != GL_FRAMEBUFFER_COMPLETE_EXT) {
    glFramebufferRenderbufferEXT_(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, 0);
    glFramebufferRenderbufferEXT_(GL_FRAMEBUFFER_EXT, GL_STENCIL_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, 0);
    glDeleteRenderbuffersEXT_(1, &target->depth);
    glDeleteRenderbuffersEXT_(1, &target->stencil);
    target->stencil = 0;
    target->depth = renderbuffer(GL_DEPTH24_STENCIL8_EXT, size);
    glFramebufferRenderbufferEXT_(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, target->depth);
    glFramebufferRenderbufferEXT_(GL_FRAMEBUFFER_EXT, GL_STENCIL_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, target->depth);
  }
  glBindRenderbufferEXT_(GL_RENDERBUFFER_EXT, 0);
  if (glCheckFramebufferStatusEXT_(GL_FRAMEBUFFER_EXT) != GL_FRAMEBUFFER_COMPLETE_EXT) {
    release_target(target);
    return false;
  }
  return true;
}

// Where the views and lightmaps are drawn and read from.
void select_bake_buffer(const cRadio* radio) {
  GLenum buffer = radio->target.framebuffer ? GL_COLOR_ATTACHMENT0_EXT : GL_BACK;
  glDrawBuffer(buffer);
  glReadBuffer(buffer);
}

// ---- walking the materials ----------------------------------------------------------

cObject* object_at(const Engine* engine, int slot) {
  if (slot < 0 || slot >= MAX_ELEMENTS) return nullptr;
  return engine->scene.objects[slot];
}

bool eligible(const cObject* object) {
  return object && object->active && !object->unlit && object->partCount > 0;
}

MaterialGroup* material_of(const Engine* engine, const BakedMaterial& entry) {
  cObject* object = object_at(engine, entry.object);
  if (!object || object != entry.mesh) return nullptr;  // deleted or replaced since
  if (entry.part >= static_cast<int>(object->parts.size())) return nullptr;
  MeshPart& part = object->parts[entry.part];
  if (entry.group >= static_cast<int>(part.groups.size())) return nullptr;
  return &part.groups[entry.group];
}

// Triangles whose indices and face normal lie inside their arrays.
int usable_triangles(const MeshPart& part, const MaterialGroup& group) {
  size_t count = group.triangleCount > 0 ? static_cast<size_t>(group.triangleCount) : 0;
  count = std::min({count, group.indices.size() / 3, group.faceNormals.size() / 3});
  return static_cast<int>(count) * (part.positions.empty() ? 0 : 1);
}

bool triangle_inside(const MeshPart& part, const MaterialGroup& group, int t) {
  size_t vertices = part.positions.size() / 3;
  for (int c = 0; c < 3; ++c)
    if (group.indices[t * 3 + c] >= vertices) return false;
  return true;
}

int bake_level(const cObject* object) { return object->bakeLevel < 1 ? 1 : object->bakeLevel; }

// ---- progress -----------------------------------------------------------------------

struct Progress {
  int materials = 0, material = 0;
  int64_t triangles = 0, done = 0;
  int64_t next_report = 0;

  void report(bool force) {
    if (!force && done < next_report) return;
    next_report = done + std::max<int64_t>(1, triangles / 20);
    char text[160];
    std::snprintf(text, sizeof text, "Baking lightmaps: material %d of %d, triangle %lld of %lld", material,
                  materials, static_cast<long long>(done), static_cast<long long>(triangles));
    if (platform::is_headless()) {
      std::fprintf(stderr, "%s\n", text);
    } else {
      platform::set_window_title(text);
    }
  }
};

// ---- the steps of calc ------------------------------------------------------------

void prepare(cRadio* radio) {
  Engine* engine = radio->engine;
  for (int k = 0; k < engine->scene.objects.count; ++k) {
    if (cObject* object = object_at(engine, k)) {
      object->frustumTest = 0;
      object->dirty = 1;
    }
  }
  radio->prepared.clear();
  int number = 0;
  for (int k = 0; k < engine->scene.objects.count; ++k) {
    cObject* object = object_at(engine, k);
    if (!eligible(object)) continue;
    for (int p = 0; p < static_cast<int>(object->parts.size()); ++p) {
      MeshPart& part = object->parts[p];
      for (int g = 0; g < static_cast<int>(part.groups.size()); ++g) {
        MaterialGroup& material = part.groups[g];
        BakedMaterial entry{k, object, p, g, ++number, false, {}};
        LightmapLayout layout = layoutLightmap(material.triangleCount, radio->lmsize);
        if (number < MAX_LIGHTMAPS && layout.fits) {
          radio->names[number] = lightmapName(object->name, p, g);
          radio->lightmaps[number].assign(static_cast<size_t>(radio->lmsize) * radio->lmsize * 3, 0);
          if (material.baseIsLightmap) {
            // A calc again before finishing: the views see the lightmap the
            // last one installed, and the colour map stays where it is.
          } else if (material.lightmapTexture != 0 && !material.lightmapCoords.empty()) {
            std::swap(material.baseTexture, material.lightmapTexture);
          } else {
            material.lightmapTexture = material.baseTexture;
            material.baseTexture = static_cast<int16_t>(
                new_lightmap_texture(engine, radio->lightmaps[number].data(), radio->lmsize));
          }
          entry.layout = layout.coords;
          // Drawn one pixel inside each cell from the first view on, so
          // that filtering never reads a neighbouring cell.
          insetLightmapCoords(&layout.coords);
          material.lightmapCoords = std::move(layout.coords);
          material.baseIsLightmap = 1;
          entry.baked = true;
        }
        radio->prepared.push_back(entry);
      }
    }
  }
  radio->viewBuffer.assign(static_cast<size_t>(radio->scrsize) * radio->scrsize * 3, 0);
}

void bake_projection(cRadio* radio, const cObject* object) {
  Engine* engine = radio->engine;
  engine->fog.fog_on = 0;
  engine->window.multisample = 0;
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(object->bakeAngle, 1.0, engine->view.near_clip, engine->view.far_clip);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glViewport(0, 0, radio->scrsize, radio->scrsize);
}

void transform_point(const float m[16], const float p[3], float out[3]) {
  for (int row = 0; row < 3; ++row) out[row] = m[row] * p[0] + m[4 + row] * p[1] + m[8 + row] * p[2] + m[12 + row];
}

void weight_view(cRadio* radio) {
  Engine* engine = radio->engine;
  if (radio->lambert == 0) return;
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  // The weighting covers every pixel whatever the scene left in the depth
  // buffer, and is not lit.
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, engine->resources.textures[radio->lambert].glName);
  glFrontFace(GL_CW);
  glColor4f(1, 1, 1, 1);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glCallList(radio->quadList);
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}

// The sample view being drawn: render_view's draw callback takes no state.
struct SampleCamera {
  const float* eye = nullptr;
  const float* target = nullptr;
};
SampleCamera sample_camera;

// The scene under the sample camera. render_view has set it up looking from
// eye to target with y up; a view along y needs another up vector.
void draw_sample(Engine* engine) {
  float up[3];
  sampleViewUp(sample_camera.eye, sample_camera.target, up);
  if (up[1] != 1.0f) {
    const float* e = sample_camera.eye;
    const float* t = sample_camera.target;
    glLoadIdentity();
    gluLookAt(e[0], e[1], e[2], t[0], t[1], t[2], up[0], up[1], up[2]);
  }
  draw_scene(engine);
}

// One sample view from `eye` toward `target` into the bake buffer, weighted by
// the lambert image. The sample camera stays the engine's until the bake
// finishes, as scripts that read the camera during a bake expect.
void sample_view(cRadio* radio, const float eye[3], const float target[3]) {
  Engine* engine = radio->engine;
  glPushMatrix();
  select_bake_buffer(radio);
  View view;
  for (int a = 0; a < 3; ++a) view.eye[a] = eye[a];
  view.look_at = target;
  view.target_pass = true;
  view.keep_camera = true;
  sample_camera = SampleCamera{eye, target};
  render_view(engine, view, draw_sample);
  sample_camera = SampleCamera{};

  weight_view(radio);

  glEnable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glDisable(GL_BLEND);
  glDepthMask(GL_TRUE);
  glPopMatrix();
}

void average_into(cRadio* radio, int64_t sample) {
  const int size = radio->scrsize;
  glPixelStorei(GL_PACK_ALIGNMENT, 1);  // rows of size * 3 bytes, not padded
  glReadPixels(0, 0, size, size, GL_RGB, GL_UNSIGNED_BYTE, radio->viewBuffer.data());
  averageView(radio->viewBuffer.data(), static_cast<size_t>(size) * size, radio->darklevel, radio->litpower,
              &radio->samples[static_cast<size_t>(sample) * 3]);
}

void render_lightmap(cRadio* radio, const BakedMaterial& entry, int level) {
  if (entry.number < 1 || entry.number >= MAX_LIGHTMAPS || radio->lightmaps[entry.number].empty()) return;
  const int size = radio->lmsize;
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, size, 0, size, -1, 1);
  glViewport(0, 0, size, size);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  // Finer triangles are drawn over their parents at the same depth, and both
  // windings occur: no depth test, no culling, plain colours.
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_LIGHTING);
  glShadeModel(GL_SMOOTH);
  select_bake_buffer(radio);
  {
    // Alpha 0 where no triangle is drawn: the margins filled below.
    BlackClear black;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  }
  glBegin(GL_TRIANGLES);
  int64_t counter = 0;
  const int64_t sample_count = static_cast<int64_t>(radio->samples.size() / 3);
  const int triangles = static_cast<int>(entry.layout.size() / LIGHTMAP_TRIANGLE_INTS);
  for (int t = 0; t < triangles; ++t) {
    const int32_t* c = &entry.layout[static_cast<size_t>(t) * LIGHTMAP_TRIANGLE_INTS];
    const int p0[2] = {c[0], c[1]}, p1[2] = {c[4], c[5]}, p2[2] = {c[8], c[9]};
    rasterPoints(p0, p1, p2, level, &counter, [&](const int* p, int64_t sample) {
      if (sample < sample_count) glColor3ubv(&radio->samples[static_cast<size_t>(sample) * 3]);
      glVertex2i(p[0], p[1]);
    });
  }
  glEnd();
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  // Each cell's light reaches two pixels into the margins around it, so that
  // filtering along a cell's edge never mixes in the black between cells.
  std::vector<uint8_t> drawn(static_cast<size_t>(size) * size * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, size, size, GL_RGBA, GL_UNSIGNED_BYTE, drawn.data());
  fillLightmapMargins(drawn.data(), size, LIGHTMAP_BORDER, radio->lightmaps[entry.number].data());
}

void bake_material(cRadio* radio, const cObject* object, const MeshPart& part, const BakedMaterial& entry,
                   const std::vector<float>& world, Progress* progress) {
  MaterialGroup* material = material_of(radio->engine, entry);
  if (!material) return;
  const int level = bake_level(object);
  const int triangles = usable_triangles(part, *material);
  const int64_t per_triangle = samplesPerTriangle(level);
  radio->samples.assign(static_cast<size_t>(per_triangle * material->triangleCount) * 3, 0);
  int64_t counter = 0;
  for (int t = 0; t < material->triangleCount; ++t) {
    if (t >= triangles || !triangle_inside(part, *material, t)) {
      counter += per_triangle;  // keeps the later triangles on their samples
      continue;
    }
    float normal[3], target[3];
    for (int a = 0; a < 3; ++a) normal[a] = 100000.0f * material->faceNormals[t * 3 + a];
    transform_point(object->worldMatrix, normal, target);
    const float* p[3];
    for (int c = 0; c < 3; ++c) p[c] = &world[material->indices[t * 3 + c] * 3];
    gatherPoints(p[0], p[1], p[2], level, [&](const float* eye) {
      sample_view(radio, eye, target);
      average_into(radio, counter++);
    });
    progress->done += 1;
    progress->report(false);
  }
  render_lightmap(radio, entry, level);
  radio->samples.clear();
  radio->samples.shrink_to_fit();
}

void install(cRadio* radio) {
  Engine* engine = radio->engine;
  for (const BakedMaterial& entry : radio->prepared) {
    MaterialGroup* material = material_of(engine, entry);
    if (!material || !entry.baked) continue;
    free_baker_texture(engine, material->baseTexture);
    material->baseTexture =
        static_cast<int16_t>(new_lightmap_texture(engine, radio->lightmaps[entry.number].data(), radio->lmsize));
  }
}

void save_lightmap(cRadio* radio, int number) {
  const int size = radio->lmsize;
  std::vector<uint8_t>& rgb = radio->lightmaps[number];
  for (size_t p = 0; p + 2 < rgb.size(); p += 3) std::swap(rgb[p], rgb[p + 2]);  // FreeImage's BGR
  // Rows stay in GL's bottom-up order, which FreeImage takes as upright.
  FIBITMAP* image = FreeImage_ConvertFromRawBits(rgb.data(), size, size, size * 3, 24, FI_RGBA_RED_MASK,
                                                 FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK, FALSE);
  if (!image) return;
  std::string path = platform::resolve_file(std::string(radio->engine->paths.data_path) + radio->names[number] + ".png");
  FreeImage_Save(FIF_PNG, image, path.c_str(), 0);
  FreeImage_Unload(image);
}

}  // namespace

bool isBakerTexture(const Engine* engine, int slot) {
  if (slot <= 0 || slot >= MAX_TEXTURES || baker_slots.engine != engine) return false;
  const TextureSlot& texture = engine->resources.textures[slot];
  return texture.inUse && texture.glName != 0 && baker_slots.glName[slot] == texture.glName;
}

cRadio* newRadio(Engine* engine) {
  cRadio* radio = new cRadio(engine);
  radio->savedMultisample = engine->window.multisample;
  for (int a = 0; a < 3; ++a) {
    radio->savedCamPos[a] = engine->view.cam_pos[a];
    radio->savedCamRot[a] = engine->view.cam_rot[a];
  }
  for (int k = 0; k < engine->scene.objects.count; ++k) {
    if (cObject* object = object_at(engine, k)) {
      object->bakeAngle = 120;
      object->bakeLevel = 1;
    }
  }
  if (!engine->window.hglrc) return radio;
  make_engine_current();
  glDisable(GL_LIGHTING);
  if (engine->window.multisample) glDisable(GL_MULTISAMPLE_ARB);

  radio->lambert = loadTexture(engine, "lambert", GL_CLAMP_TO_EDGE);
  if (radio->lambert == 0) return radio;
  radio->quadList = glGenLists(1);
  glNewList(radio->quadList, GL_COMPILE);
  glBegin(GL_QUADS);
  glTexCoord2f(0, 1);
  glVertex2f(-1, 1);
  glTexCoord2f(1, 1);
  glVertex2f(1, 1);
  glTexCoord2f(1, 0);
  glVertex2f(1, -1);
  glTexCoord2f(0, 0);
  glVertex2f(-1, -1);
  glEnd();
  glEndList();
  return radio;
}

void calcLightmaps(cRadio* radio) {
  Engine* engine = radio->engine;
  if (!engine->window.hglrc) return;
  platform::set_wait_cursor();
  std::lock_guard<std::recursive_mutex> held(radio->lock);
  make_engine_current();
  // The views may be drawn in the window's buffer, over the presented frame.
  platform::keep_presented_frame();

  // Sizes the views and lightmaps cannot have are not baked at all.
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  if (radio->lmsize < 1 || radio->scrsize < 1 || radio->lmsize > largest || radio->scrsize > largest) {
    platform::set_arrow_cursor();
    return;
  }

  prepare(radio);
  bind_target(&radio->target, std::max(radio->lmsize, radio->scrsize));

  Progress progress;
  for (const BakedMaterial& entry : radio->prepared) {
    if (!entry.baked) continue;
    progress.materials += 1;
    if (const MaterialGroup* material = material_of(engine, entry)) progress.triangles += material->triangleCount;
  }

  size_t next = 0;
  for (int k = 0; k < engine->scene.objects.count; ++k) {
    cObject* object = object_at(engine, k);
    if (!eligible(object)) continue;
    bake_projection(radio, object);
    const float* m = object->worldMatrix;
    for (int p = 0; p < static_cast<int>(object->parts.size()); ++p) {
      const MeshPart& part = object->parts[p];
      std::vector<float> world(part.positions.size());
      for (size_t v = 0; v + 2 < part.positions.size(); v += 3) transform_point(m, &part.positions[v], &world[v]);
      for (; next < radio->prepared.size(); ++next) {
        const BakedMaterial& entry = radio->prepared[next];
        if (entry.object != k || entry.part != p) break;
        if (!entry.baked) continue;
        progress.material += 1;
        progress.report(true);
        bake_material(radio, object, part, entry, world, &progress);
        bake_projection(radio, object);
      }
    }
  }

  install(radio);
  release_target(&radio->target);
  radio->viewBuffer.clear();
  radio->viewBuffer.shrink_to_fit();
  if (progress.materials > 0 && !platform::is_headless()) platform::set_window_title("Test");
  platform::set_arrow_cursor();
}

void finishRadio(cRadio* radio) {
  Engine* engine = radio->engine;
  platform::set_wait_cursor();
  std::lock_guard<std::recursive_mutex> held(radio->lock);
  if (engine->window.hglrc) make_engine_current();

  if (radio->lambert != 0) {
    freeTexture(engine, radio->lambert);
    radio->lambert = 0;
    if (radio->quadList) glDeleteLists(radio->quadList, 1);
    radio->quadList = 0;
  }
  radio->viewBuffer.clear();
  release_target(&radio->target);

  for (size_t first = 0; first < radio->prepared.size();) {
    // One object's materials, then its cache.
    size_t end = first;
    while (end < radio->prepared.size() && radio->prepared[end].object == radio->prepared[first].object) ++end;
    bool any = false;
    for (size_t e = first; e < end; ++e) {
      const BakedMaterial& entry = radio->prepared[e];
      MaterialGroup* material = material_of(engine, entry);
      if (!material || !entry.baked) continue;
      any = true;
      std::swap(material->baseTexture, material->lightmapTexture);
      material->baseIsLightmap = 0;
      if (!radio->lightmaps[entry.number].empty()) {
        if (radio->savemode) save_lightmap(radio, entry.number);
        radio->lightmaps[entry.number].clear();
        radio->lightmaps[entry.number].shrink_to_fit();
      }
    }
    cObject* object = object_at(engine, radio->prepared[first].object);
    if (any && radio->savemode && object == radio->prepared[first].mesh) {
      std::string path = std::string(engine->paths.data_path) + object->name + ".gfx";
      writeLoadedGfx(object, path.c_str());
    }
    first = end;
  }
  radio->prepared.clear();

  // The engine as it was (fog stays off).
  engine->window.multisample = radio->savedMultisample;
  for (int a = 0; a < 3; ++a) {
    engine->view.cam_pos[a] = radio->savedCamPos[a];
    engine->view.cam_rot[a] = radio->savedCamRot[a];
  }
  if (engine->window.hglrc) {
    if (engine->window.multisample) glEnable(GL_MULTISAMPLE_ARB);
    set_projection(engine->view.near_clip, engine->view.far_clip, engine->view.fov);
    glViewport(0, 0, engine->view.width, engine->view.height);
  }
  platform::set_arrow_cursor();
}

void resetLightmaps(cRadio* radio) {
  Engine* engine = radio->engine;
  for (int k = 0; k < engine->scene.objects.count; ++k) {
    cObject* object = object_at(engine, k);
    if (!object) continue;
    for (MeshPart& part : object->parts)
      for (MaterialGroup& material : part.groups) {
        free_baker_texture(engine, material.lightmapTexture);
        material.lightmapTexture = 0;
        std::vector<int32_t>().swap(material.lightmapCoords);
      }
  }
}

// ---- the class ---------------------------------------------------------------------

namespace {

void radio_calc(cRadio& r, const CommandArgs&) { calcLightmaps(&r); }
void radio_litpower(cRadio& r, const CommandArgs& a) { r.litpower = a.n; }
void radio_lmsize(cRadio& r, const CommandArgs& a) { r.lmsize = float_to_int(a.n); }
void radio_scrsize(cRadio& r, const CommandArgs& a) { r.scrsize = float_to_int(a.n); }
void radio_lmangle(cRadio& r, const CommandArgs& a) {
  r.lmangle = float_to_int(a.n);
  for (int k = 0; k < r.engine->scene.objects.count; ++k)
    if (cObject* object = object_at(r.engine, k)) object->bakeAngle = r.lmangle;
}
void radio_lmoangle(cRadio& r, const CommandArgs& a) {
  if (cObject* object = object_at(r.engine, float_to_int(a.n))) object->bakeAngle = float_to_int(a.a);
}
void radio_polydiv(cRadio& r, const CommandArgs& a) {
  r.polydiv = float_to_int(a.n);
  for (int k = 0; k < r.engine->scene.objects.count; ++k)
    if (cObject* object = object_at(r.engine, k)) object->bakeLevel = r.polydiv;
}
void radio_polyodiv(cRadio& r, const CommandArgs& a) {
  if (cObject* object = object_at(r.engine, float_to_int(a.n))) object->bakeLevel = float_to_int(a.a);
}
void radio_darklevel(cRadio& r, const CommandArgs& a) { r.darklevel = float_to_int(a.n); }
void radio_savemode(cRadio& r, const CommandArgs& a) { r.savemode = float_to_int(a.n) != 0; }
void radio_texreset(cRadio& r, const CommandArgs&) { resetLightmaps(&r); }

struct RadioClass {
  using Element = cRadio;
  static constexpr const char* name = "cRadio";
  static constexpr int type_code = CMD_RADIO;
  static constexpr int capacity = 1;
  static cRadio** slots(Engine* e) { return &e->scene.radio; }
  static constexpr ClassKeyword<cRadio> keywords[] = {
      {"calc", radio_calc},         {"litpower", radio_litpower},   {"lmsize", radio_lmsize},
      {"scrsize", radio_scrsize},   {"lmangle", radio_lmangle},     {"lmoangle", radio_lmoangle},
      {"polydiv", radio_polydiv},   {"polyodiv", radio_polyodiv},   {"darklevel", radio_darklevel},
      {"lowshadow", radio_darklevel}, {"savemode", radio_savemode}, {"texreset", radio_texreset}};
  static void destroy(cRadio* radio) {
    finishRadio(radio);
    delete radio;
  }
  static cRadio* construct(Engine* e, int, const CommandArgs&) { return newRadio(e); }
  static bool is_active(const cRadio&) { return true; }
  static constexpr bool replace_on_new = true;
};

}  // namespace

extern const ClassType radio_class = class_type<RadioClass>();
