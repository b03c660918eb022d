#include "effects/blur.h"

#include <GL/gl.h>

#include "core/convert.h"
#include "core/engine.h"
#include "platform/gl_api.h"
#include "resources/buffer_passes.h"
#include "resources/texture_manager.h"

void cBlur::drawBackground() {
  if (!active || buffer == 0) return;
  MultisampleOff multisampling(engine->window.multisample != 0);

  // Untested, unblended, identity matrices
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  begin_identity_matrices();

  // The captured window fills the lower-left part of the buffer
  float u = static_cast<float>(engine->view.width) / static_cast<float>(buffer_width(engine, buffer));
  float v = static_cast<float>(engine->view.height) / static_cast<float>(buffer_height(engine, buffer));
  bind_buffer(engine, buffer);
  glColor4fv(color);
  gl_quad(u, v, scale[0], scale[1]);

  // Restore; blending stays on for what the frame draws next
  end_identity_matrices();
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
}

void cBlur::capture() {
  if (!active) return;
  frameCounter += 1;
  if (frameCounter < duration) return;
  MultisampleOff multisampling(engine->window.multisample != 0);

  // A buffer the window no longer fits in is made again
  bool fits = buffer != 0 && engine->view.width <= buffer_width(engine, buffer) &&
              engine->view.height <= buffer_height(engine, buffer);
  if (!fits) {
    if (buffer != 0) freeTexture(engine, buffer);
    buffer = make_window_buffer(engine);
    // Too large a window, or a full texture table: the trail is switched off.
    if (buffer == 0) {
      active = false;
      return;
    }
  }

  // The finished frame
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  bind_buffer(engine, buffer);
  copy_to_bound(engine->view.width, engine->view.height);
  frameCounter = 0;
}

namespace {

void blur_active(cBlur& blur, const CommandArgs& args) { blur.active = float_flag(args.a); }

void blur_color(cBlur& blur, const CommandArgs& args) {
  blur.color[0] = args.a;
  blur.color[1] = args.b;
  blur.color[2] = args.c;
  blur.color[3] = args.d;
}

void blur_duration(cBlur& blur, const CommandArgs& args) { blur.duration = float_to_int(args.a); }

void blur_scale(cBlur& blur, const CommandArgs& args) {
  blur.scale[0] = args.a;
  blur.scale[1] = args.b;
}

struct BlurClass {
  using Element = cBlur;
  static constexpr const char* name = "cBlur";
  static constexpr int type_code = CMD_BLUR;
  static constexpr int capacity = 1;
  static cBlur** slots(Engine* e) { return &e->scene.blur; }
  static constexpr ClassKeyword<cBlur> keywords[] = {
      {"active", blur_active},
      {"color", blur_color},
      {"duration", blur_duration},
      {"scale", blur_scale},
  };
  static void destroy(cBlur* blur) {
    blur->active = false;
    freeTexture(blur->engine, blur->buffer);
    delete blur;
  }
  static cBlur* construct(Engine* e, int, const CommandArgs&) { return new cBlur(e); }
  static void background(Engine* e) {
    if (e->scene.blur) e->scene.blur->drawBackground();
  }
  static void composite(Engine* e) {
    if (e->scene.blur) e->scene.blur->capture();
  }
};

}  // namespace

const ClassType blur_class = class_type<BlurClass>();
