#include "effects/blur.h"

#include <GL/gl.h>

#include "core/convert.h"
#include "core/engine.h"
#include "effects/post_common.h"
#include "resources/texture_manager.h"
#include "script/command_ring.h"

void cBlur::drawBackground() {
  if (!active || buffer == 0) return;
  MultisampleBracket multisampling(engine);

  // Untested, unblended, identity matrices
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  begin_matrix_bracket();

  // The captured window fills the lower-left part of the buffer
  float u = static_cast<float>(engine->width) / static_cast<float>(buffer_width(engine, buffer));
  float v = static_cast<float>(engine->height) / static_cast<float>(buffer_height(engine, buffer));
  bind_buffer(engine, buffer);
  glColor4fv(color);
  post_quad(u, v, scale[0], scale[1]);

  // Restore; blending stays on for what the frame draws next
  end_matrix_bracket();
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
}

void cBlur::capture() {
  if (!active) return;
  frameCounter += 1;
  if (frameCounter < duration) return;
  MultisampleBracket multisampling(engine);

  // A buffer the window no longer fits in is made again
  bool fits = buffer != 0 && engine->width <= buffer_width(engine, buffer) &&
              engine->height <= buffer_height(engine, buffer);
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
  copy_to_bound(engine->width, engine->height);
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
  static cBlur** slots(Engine* e) { return &e->blur; }
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
};

}  // namespace

const ClassType blur_class = class_type<BlurClass>();
