#include "effects/bloom.h"

#include <GL/gl.h>

#include "core/convert.h"
#include "core/engine.h"
#include "core/view.h"
#include "platform/gl_api.h"
#include "platform/platform.h"
#include "resources/buffer_passes.h"
#include "resources/render_buffers.h"
#include "resources/texture_manager.h"

static void draw_bloom_scene(Engine* engine) {
  arrays_and_texturing_on();
  draw_scene(engine);
}

// The last steps of both bloom computations: the bright image in the buffer is
// spread by additive shifted copies, then the two identity matrices pushed for
// it are popped and blending and the depth test are put back.
static void spread_and_restore(Engine* engine, int buffer, int numelems, int offset, float sample_alpha) {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glColor4f(1.0f, 1.0f, 1.0f, sample_alpha);
  box_blur(engine, buffer, numelems, offset);

  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);
}

void cBloom::setActive(bool on) {
  active = on && has_extension("GL_ARB_multitexture") && has_extension("GL_ARB_texture_env_combine");
}

// Runs while the buffer-sized viewport is current: the scene goes into the
// buffer, keeps what is above the threshold, and is spread there.
static void spread_bloom_buffer(Engine* engine) {
  cBloom* bloom = engine->scene.bloom;
  int buffer = bloom->buffer;
  int width = buffer_width(engine, buffer), height = buffer_height(engine, buffer);
  glEnable(GL_TEXTURE_2D);
  bind_buffer(engine, buffer);
  copy_to_bound(width, height);

  // Identity matrices, projection current
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  glLoadIdentity();
  glDisable(GL_BLEND);
  glFrontFace(GL_CW);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

  // What is above the threshold
  bright_pass(bloom->color);
  copy_to_bound(width, height);

  // Additive samples; the depth test stays as the scene left it (GL_LEQUAL),
  // so the stacked quads at equal depth all pass
  spread_and_restore(engine, buffer, bloom->numelems, bloom->offset, bloom->sampleAlpha);
}

void cBloom::prepare() {
  if (!active) return;
  MultisampleOff multisampling(engine->window.multisample != 0);
  glEnable(GL_TEXTURE_2D);
  // A full texture table gives no buffer: the bloom is switched off.
  if (!keep_small_buffer(engine, &buffer, size)) {
    active = false;
    return;
  }

  // The scene at buffer size, into the buffer, on black: only what is drawn
  // can bloom
  BlackClear black;
  render_view(engine, buffer_view(engine, buffer), draw_bloom_scene, spread_bloom_buffer);
}

void cBloom::composite() {
  if (!active || buffer == 0) return;
  add_buffer_to_frame(engine, buffer);
}

void cBloom::compositeFullscreen() {
  if (!active) return;
  {
    MultisampleOff multisampling(engine->window.multisample != 0);
    glEnable(GL_TEXTURE_2D);

    // Both buffers kept while the window fits the capture and the small buffer
    // fits the window
    bool reuse = buffer != 0 && fullBuffer != 0 && buffer_width(engine, fullBuffer) >= engine->view.width &&
                 buffer_height(engine, fullBuffer) >= engine->view.height &&
                 buffer_width(engine, buffer) <= engine->view.width && buffer_height(engine, buffer) <= engine->view.height;
    if (!reuse) {
      if (fullBuffer != 0) freeTexture(engine, fullBuffer);
      fullBuffer = make_window_buffer(engine);
      // Too large a window, or a full texture table: the bloom is switched off.
      if (fullBuffer == 0 || !keep_small_buffer(engine, &buffer, size)) {
        active = false;
        return;
      }
    }

    // The finished frame at window size
    int full_width = buffer_width(engine, fullBuffer), full_height = buffer_height(engine, fullBuffer);
    glViewport(0, 0, full_width, full_height);
    bind_buffer(engine, fullBuffer);
    copy_to_bound(full_width, full_height);
    glViewport(0, 0, engine->view.width, engine->view.height);
  }

  // The bloom computed after the previous frame's swap
  add_buffer_to_frame(engine, buffer);
}

void cBloom::prepareAfterSwap() {
  if (!active || buffer == 0 || fullBuffer == 0) return;
  platform::keep_presented_frame();  // this pass draws over the presented frame
  MultisampleOff multisampling(engine->window.multisample != 0);
  BlackClear black;  // the blur's sums start from black
  int width = buffer_width(engine, buffer), height = buffer_height(engine, buffer);

  // Identity matrices at buffer size
  glEnable(GL_TEXTURE_2D);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glViewport(0, 0, width, height);
  glLoadIdentity();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  glDisable(GL_BLEND);
  glDisable(GL_DEPTH_TEST);
  glFrontFace(GL_CW);

  // What is above the threshold, from the captured window area only
  bind_buffer(engine, fullBuffer);
  bright_pass(color, static_cast<float>(engine->view.width) / static_cast<float>(buffer_width(engine, fullBuffer)),
              static_cast<float>(engine->view.height) / static_cast<float>(buffer_height(engine, fullBuffer)));
  bind_buffer(engine, buffer);
  copy_to_bound(width, height);

  // Additive samples
  spread_and_restore(engine, buffer, numelems, offset, sampleAlpha);
  glViewport(0, 0, engine->view.width, engine->view.height);
}

namespace {

void bloom_active(cBloom& bloom, const CommandArgs& args) { bloom.setActive(float_flag(args.a)); }

void bloom_color(cBloom& bloom, const CommandArgs& args) {
  bloom.color[0] = args.a;
  bloom.color[1] = args.b;
  bloom.color[2] = args.c;
  bloom.color[3] = args.d;
}

void bloom_fullscreen(cBloom& bloom, const CommandArgs& args) { bloom.fullscreen = float_flag(args.a); }

void bloom_settings(cBloom& bloom, const CommandArgs& args) {
  bloom.size = float_to_int(args.a);
  bloom.numelems = float_to_int(args.b);
  bloom.offset = float_to_int(args.c);
}

void bloom_numelems(cBloom& bloom, const CommandArgs& args) { bloom.numelems = float_to_int(args.a); }

void bloom_offset(cBloom& bloom, const CommandArgs& args) { bloom.offset = float_to_int(args.a); }

struct BloomClass {
  using Element = cBloom;
  static constexpr const char* name = "cBloom";
  static constexpr int type_code = CMD_BLOOM;
  static constexpr int capacity = 1;
  static cBloom** slots(Engine* e) { return &e->scene.bloom; }
  static constexpr ClassKeyword<cBloom> keywords[] = {
      {"active", bloom_active},     {"color", bloom_color},       {"fullscreen", bloom_fullscreen},
      {"settings", bloom_settings}, {"numelems", bloom_numelems}, {"offset", bloom_offset},
  };
  static void destroy(cBloom* bloom) {
    bloom->active = false;
    freeTexture(bloom->engine, bloom->buffer);
    freeTexture(bloom->engine, bloom->fullBuffer);
    delete bloom;
  }
  static cBloom* construct(Engine* e, int, const CommandArgs&) { return new cBloom(e); }
  // Either a second render before the clear, or the finished frame captured
  // and the bloom computed after the swap for the next frame.
  static void before_clear(Engine* e) {
    if (e->scene.bloom && !e->scene.bloom->fullscreen) e->scene.bloom->prepare();
  }
  static void composite(Engine* e) {
    if (!e->scene.bloom) return;
    if (e->scene.bloom->fullscreen)
      e->scene.bloom->compositeFullscreen();
    else
      e->scene.bloom->composite();
  }
  static void after_swap(Engine* e) {
    if (e->scene.bloom && e->scene.bloom->fullscreen) e->scene.bloom->prepareAfterSwap();
  }
};

}  // namespace

const ClassType bloom_class = class_type<BloomClass>();
