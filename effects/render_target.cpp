#include "effects/render_target.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "core/convert.h"
#include "core/engine.h"
#include "core/view.h"
#include "mesh/buffer_refresh.h"
#include "mesh/grid_surface.h"
#include "mesh/object.h"
#include "platform/gl_api.h"
#include "resources/render_buffers.h"

constexpr int16_t DEFAULT_PERIOD = 10;

cTexgfx::cTexgfx(Engine* owner)
    : engine(owner),
      nextChange(owner->pacing.now + DEFAULT_PERIOD),
      nextShift(owner->pacing.now + DEFAULT_PERIOD),
      nextRender(owner->pacing.now + DEFAULT_PERIOD) {}

static cObject* live_object(Engine* engine, int32_t number) {
  if (number < 0 || number >= MAX_ELEMENTS) return nullptr;
  return engine->scene.objects[number];
}

static MaterialGroup* find_group(Engine* engine, int32_t object, int32_t part, int32_t group) {
  MeshPart* found = findPart(engine, object, part);
  if (!found || group < 0 || group >= found->groupCount || group >= static_cast<int32_t>(found->groups.size()))
    return nullptr;
  return &found->groups[group];
}

int16_t* cTexgfx::flipField() {
  MaterialGroup* layer = find_group(engine, object, part, group);
  if (!layer) return nullptr;
  switch (target) {
    case 1: return &layer->envTexture;
    case 2: return &layer->lightmapTexture;
    case 3: return &layer->bumpTexture;
    case 4: return &layer->normalTexture;
    default: return &layer->baseTexture;
  }
}

int cTexgfx::renderSlot() {
  if (target == TEXGFX_NO_RENDER) return 0;
  int slot = 0;
  if (target > TEXGFX_SLOT_BASE) {
    slot = target - TEXGFX_SLOT_BASE;
  } else if (int16_t* field = flipField()) {
    slot = *field;
  }
  return slot > 0 && slot < MAX_TEXTURES ? slot : 0;
}

void cTexgfx::update() {
  cObject* mesh = live_object(engine, object);
  if (!active || !mesh || !mesh->active) return;

  // Flip-book: one entry per period; an empty list shows nothing.
  if (changing && engine->pacing.now > nextChange) {
    int16_t* field = flipField();
    if (field && textureCount > 0) {
      if (current < 0 || current >= textureCount) current = 0;
      *field = textures[current];
      current += 1;
      if (current >= textureCount) current = 0;
    }
    nextChange = engine->pacing.now + static_cast<uint32_t>(changePeriod);
  }

  // Scrolling of the part's coordinates; the GPU copy follows before drawing.
  if (shiftOn && engine->pacing.now > nextShift) {
    if (MeshPart* layer = findPart(engine, object, part)) {
      int32_t count = layer->texCoordCount;
      if (static_cast<size_t>(count) * 2 > layer->texCoords.size())
        count = static_cast<int32_t>(layer->texCoords.size() / 2);
      for (int32_t k = 0; k < count; ++k) {
        layer->texCoords[2 * k] += shift[0];
        layer->texCoords[2 * k + 1] += shift[1];
      }
      markBuffersStale(mesh);
    }
    nextShift = engine->pacing.now + static_cast<uint32_t>(shiftPeriod);
  }
}

// The texture the render-target pass in progress copies into.
static TextureSlot* copy_target = nullptr;

static void copy_into_target(Engine*) {
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, copy_target->glName);
  glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, copy_target->width, copy_target->height);
}

void cTexgfx::renderFlat() {
  if (!cameraSet || !active || target == TEXGFX_NO_RENDER) return;
  cObject* mesh = live_object(engine, object);
  if (!mesh || !mesh->active || !mesh->visible) return;
  MeshPart* layer = findPart(engine, object, part);
  if (!layer || !layer->visible) return;
  if (engine->pacing.now < nextRender) return;
  // Slot 0 is "no texture", and a slot without a texture has nothing to copy into.
  int slot = renderSlot();
  if (slot == 0 || !engine->resources.textures[slot].inUse || engine->resources.textures[slot].glName == 0) return;

  // Saved state
  MultisampleOff multisampling(engine->window.multisample != 0);
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  nextRender = engine->pacing.now + static_cast<uint32_t>(renderPeriod);

  // A texture larger than the window becomes a square render buffer that fits.
  TextureSlot& texture = engine->resources.textures[slot];
  if (texture.width > engine->view.width || texture.height > engine->view.height) rebuildBufferTexture(engine, slot);

  // The element's camera at the texture's size; every object repeats its
  // visibility test for it. The scene is drawn, its own object included, and
  // copied into the slot.
  View view;
  for (int axis = 0; axis < 3; ++axis) {
    view.eye[axis] = position[axis];
    view.angles[axis] = angle[axis];
  }
  view.width = texture.width;
  view.height = texture.height;
  if (fov != TEXGFX_SCENE_FOV) view.fov = static_cast<float>(fov);
  view.target_pass = true;
  copy_target = &texture;
  render_view(engine, view, nullptr, copy_into_target);
  copy_target = nullptr;

  // Restore
  glPopAttrib();
}

void updateRenderTargets(Engine* engine) {
  for (int slot = 0; slot < engine->scene.texgfxs.count && slot < MAX_ELEMENTS; ++slot)
    if (cTexgfx* element = engine->scene.texgfxs[slot]) element->update();
}

void renderRenderTargets(Engine* engine) {
  for (int slot = 0; slot < engine->scene.texgfxs.count && slot < MAX_ELEMENTS; ++slot) {
    cTexgfx* element = engine->scene.texgfxs[slot];
    if (element && element->cameraSet && element->target != TEXGFX_NO_RENDER) element->renderFlat();
  }
}

// ---- commands ----------------------------------------------------------------

namespace {

void texgfx_active(cTexgfx& t, const CommandArgs& args) { t.active = float_to_int(args.a) != 0; }

void texgfx_object(cTexgfx& t, const CommandArgs& args) {
  t.object = float_to_int(args.a);
  t.part = float_to_int(args.b);
  t.group = float_to_int(args.c);
}

void texgfx_shift(cTexgfx& t, const CommandArgs& args) {
  t.shift[0] = args.a;
  t.shift[1] = args.b;
  t.shiftPeriod = static_cast<int16_t>(float_to_int(args.c));
  t.shiftOn = true;
}

void texgfx_size(cTexgfx&, const CommandArgs&) {}

void texgfx_texture(cTexgfx& t, const CommandArgs& args) {
  if (t.textureCount >= TEXGFX_LIST_SIZE) return;
  t.textures[t.textureCount] = static_cast<int16_t>(float_to_int(args.a));
  t.textureCount += 1;
  t.changing = true;
}

void texgfx_change(cTexgfx& t, const CommandArgs& args) {
  t.changing = true;
  t.changePeriod = static_cast<int16_t>(float_to_int(args.a));
}

void texgfx_position(cTexgfx& t, const CommandArgs& args) {
  t.position[0] = args.a;
  t.position[1] = args.b;
  t.position[2] = args.c;
  t.cameraSet = true;
}

void texgfx_angle(cTexgfx& t, const CommandArgs& args) {
  t.angle[0] = args.a;
  t.angle[1] = args.b;
  t.angle[2] = args.c;
  t.cameraSet = true;
}

// reflect period (ignored) fov: the period is cut to 16 bits.
void texgfx_reflect(cTexgfx& t, const CommandArgs& args) {
  t.cameraSet = true;
  t.renderPeriod = static_cast<int16_t>(float_to_int(args.a));
  t.fov = float_to_int(args.c);
}

// Without cube maps every target drives the environment layer.
void texgfx_target(cTexgfx& t, const CommandArgs& args) {
  t.target = float_to_int(args.a);
  if (!has_extension("GL_ARB_texture_cube_map")) t.target = 1;
}

struct TexgfxClass {
  using Element = cTexgfx;
  static constexpr const char* name = "cTexgfx";
  static constexpr int type_code = CMD_TEXGFX;
  static constexpr int capacity = MAX_ELEMENTS;
  static auto* table(Engine* e) { return &e->scene.texgfxs; }
  static constexpr ClassKeyword<cTexgfx> keywords[] = {
      {"active", texgfx_active},     {"object", texgfx_object}, {"shift", texgfx_shift},
      {"size", texgfx_size},         {"texture", texgfx_texture}, {"change", texgfx_change},
      {"position", texgfx_position}, {"angle", texgfx_angle},   {"reflect", texgfx_reflect},
      {"target", texgfx_target},
  };
  // The element owns no texture.
  static void destroy(cTexgfx* t) {
    t->active = false;
    delete t;
  }
  // `new cTexgfx(obj)`: the object number is the low byte of obj.
  static cTexgfx* construct(Engine* e, int, const CommandArgs& args) {
    auto* t = new cTexgfx(e);
    t->object = static_cast<uint8_t>(float_to_int(args.n));
    return t;
  }
  // Flip-books and scrolling step every round; scene renders come before the
  // glow and bloom renders.
  static void update(Engine* e) { updateRenderTargets(e); }
  static void before_clear(Engine* e) { renderRenderTargets(e); }
  // Every other name is accepted and changes nothing.
  static int unmatched(cTexgfx&, const char*, const CommandArgs&, int32_t* result) {
    *result = 0;
    return 0;
  }
};

}  // namespace

const ClassType texgfx_class = class_type<TexgfxClass>();
