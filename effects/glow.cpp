#include "effects/glow.h"

#include <GL/gl.h>

#include "core/convert.h"
#include "core/engine.h"
#include "core/view.h"
#include "mesh/object.h"
#include "platform/gl_api.h"
#include "resources/buffer_passes.h"
#include "resources/texture_manager.h"

static void draw_glow_masks(Engine* engine) {
  arrays_and_texturing_on();
  for (int i = 0; i < engine->scene.objects.count && i < MAX_ELEMENTS; ++i)
    if (cObject* object = engine->scene.objects[i]) object->drawGlowMask();
}

// Runs while the buffer-sized viewport is current: the masks go into the buffer
// and are spread there.
static void blur_glow_buffer(Engine* engine) {
  cGlow* glow = engine->scene.glow;
  int buffer = glow->buffer;
  int width = buffer_width(engine, buffer), height = buffer_height(engine, buffer);

  // into the buffer
  glEnable(GL_TEXTURE_2D);
  bind_buffer(engine, buffer);
  glDisable(GL_BLEND);
  glFrontFace(GL_CW);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  copy_to_bound(width, height);

  // Additive samples of weight color[3]
  begin_identity_matrices();
  glViewport(0, 0, width, height);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  glEnable(GL_BLEND);
  glDisable(GL_DEPTH_TEST);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glColor4f(1.0f, 1.0f, 1.0f, glow->color[3]);
  box_blur(engine, buffer, glow->numelems, glow->offset);

  // Restore; the frame clears what was drawn here
  end_identity_matrices();
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);
}

void cGlow::prepare() {
  if (!active) return;
  MultisampleOff multisampling(engine->window.multisample != 0);
  int edge = size;
  if (engine->settings.max_texture_size != 0 && engine->settings.max_texture_size < edge) edge = engine->settings.max_texture_size;
  // A full texture table gives no buffer: the glow is switched off.
  if (!keep_small_buffer(engine, &buffer, edge)) {
    active = false;
    return;
  }

  // The glow mask at buffer size, blurred in the buffer, on black
  BlackClear black;
  render_view(engine, buffer_view(engine, buffer), draw_glow_masks, blur_glow_buffer);
}

void cGlow::composite() {
  if (!active || buffer == 0) return;
  add_buffer_to_frame(engine, buffer);
}

namespace {

void glow_active(cGlow& glow, const CommandArgs& args) { glow.active = float_flag(args.a); }

void glow_color(cGlow& glow, const CommandArgs& args) {
  glow.color[0] = args.a;
  glow.color[1] = args.b;
  glow.color[2] = args.c;
  glow.color[3] = args.d;
}

void glow_settings(cGlow& glow, const CommandArgs& args) {
  glow.size = float_to_int(args.a);
  glow.numelems = float_to_int(args.b);
  glow.offset = float_to_int(args.c);
}

void glow_numelems(cGlow& glow, const CommandArgs& args) { glow.numelems = float_to_int(args.a); }

void glow_offset(cGlow& glow, const CommandArgs& args) { glow.offset = float_to_int(args.a); }

struct GlowClass {
  using Element = cGlow;
  static constexpr const char* name = "cGlow";
  static constexpr int type_code = CMD_GLOW;
  static constexpr int capacity = 1;
  static cGlow** slots(Engine* e) { return &e->scene.glow; }
  static constexpr ClassKeyword<cGlow> keywords[] = {
      {"active", glow_active},     {"color", glow_color},   {"settings", glow_settings},
      {"numelems", glow_numelems}, {"offset", glow_offset},
  };
  static void destroy(cGlow* glow) {
    glow->active = false;
    freeTexture(glow->engine, glow->buffer);
    delete glow;
  }
  static cGlow* construct(Engine* e, int, const CommandArgs&) { return new cGlow(e); }
  static void before_clear(Engine* e) {
    if (e->scene.glow) e->scene.glow->prepare();
  }
  static void composite(Engine* e) {
    if (e->scene.glow) e->scene.glow->composite();
  }
};

}  // namespace

const ClassType glow_class = class_type<GlowClass>();
