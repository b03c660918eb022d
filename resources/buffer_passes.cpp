#include "resources/buffer_passes.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <vector>

#include "core/engine.h"
#include "core/view.h"
#include "platform/gl_api.h"
#include "resources/render_buffers.h"
#include "resources/texture_manager.h"

// Largest edge a buffer is made with: render buffers are at most 4096.
static constexpr int MAX_BUFFER_EDGE = 4096;

static bool valid_slot(int slot) { return slot > 0 && slot < MAX_TEXTURES; }

int buffer_width(const Engine* engine, int slot) { return valid_slot(slot) ? engine->resources.textures[slot].width : 0; }

int buffer_height(const Engine* engine, int slot) { return valid_slot(slot) ? engine->resources.textures[slot].height : 0; }

void bind_buffer(const Engine* engine, int slot) {
  if (valid_slot(slot)) glBindTexture(GL_TEXTURE_2D, engine->resources.textures[slot].glName);
}

void copy_to_bound(int width, int height) { glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, width, height); }

bool keep_small_buffer(Engine* engine, int32_t* buffer, int edge) {
  if (*buffer == 0) {
    // A script's size is only bounded by what a texture can be.
    if (edge < 1) edge = 1;
    if (edge > MAX_BUFFER_EDGE) edge = MAX_BUFFER_EDGE;
    std::vector<uint8_t> zeros(static_cast<size_t>(edge) * edge * 3, 0);
    *buffer = newBufferTexture(engine, zeros.data(), edge, edge);
    return *buffer != 0;
  }
  if (buffer_width(engine, *buffer) > engine->view.width || buffer_height(engine, *buffer) > engine->view.height) {
    if (!rebuildBufferTexture(engine, *buffer)) {
      freeTexture(engine, *buffer);
      *buffer = 0;
      return false;
    }
  }
  return true;
}

int make_window_buffer(Engine* engine) {
  int width = engine->view.width, height = engine->view.height;
  if (!ceilPowerOfTwo(&width) || !ceilPowerOfTwo(&height)) return 0;

  // bilinear, no mipmaps, whatever the engine's cap
  int saved_max = engine->settings.max_texture_size;
  int saved_filter = engine->settings.tfilter;
  GLint gl_max = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &gl_max);
  engine->settings.max_texture_size = gl_max;
  engine->settings.tfilter = 1;
  engine->settings.anisotropic = 0;
  engine->settings.trilinear = 0;
  std::vector<uint8_t> zeros(static_cast<size_t>(width) * height * 3, 0);
  int slot = newBufferTexture(engine, zeros.data(), width, height);
  setTextureFilter(engine, saved_filter);
  engine->settings.max_texture_size = saved_max;
  return slot;
}

View buffer_view(const Engine* engine, int buffer) {
  View view = window_view(engine);
  view.scene_scale = false;
  view.clear = true;
  const int window_width = engine->view.width, window_height = engine->view.height;
  view.aspect = window_height != 0 ? static_cast<double>(window_width) / window_height : 0.0;
  view.width = buffer_width(engine, buffer);
  view.height = buffer_height(engine, buffer);
  return view;
}

BlackClear::BlackClear() {
  glGetFloatv(GL_COLOR_CLEAR_VALUE, saved_);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
}

BlackClear::~BlackClear() { glClearColor(saved_[0], saved_[1], saved_[2], saved_[3]); }

void arrays_and_texturing_on() {
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
}

void bright_pass(const float threshold[4], float u, float v) {
  glPushAttrib(GL_ALL_ATTRIB_BITS);

  // texture minus the threshold, doubled
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, GL_SUBTRACT_ARB);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, GL_TEXTURE);
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB_ARB, GL_SRC_COLOR);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB_ARB, GL_CONSTANT_ARB);
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB_ARB, GL_SRC_COLOR);
  glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, threshold);
  glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE_ARB, 2.0f);

  gl_quad(u, v);

  // Restore
  glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE_ARB, 1.0f);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glPopAttrib();
}

void box_blur(const Engine* engine, int buffer, int count, int offset) {
  int width = buffer_width(engine, buffer), height = buffer_height(engine, buffer);
  if (width <= 0) return;
  float step = static_cast<float>(offset) / static_cast<float>(width);
  // Integer halving: an even count is not centred (4 samples at -1, 0, 1, 2).
  float first = -static_cast<float>((count - 1) / 2) * step;

  // Horizontal run
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  glLoadIdentity();
  glTranslatef(first, 0.0f, 0.0f);
  for (int i = 0; i < count; ++i) {
    gl_quad();
    glTranslatef(step, 0.0f, 0.0f);
  }
  copy_to_bound(width, height);

  // Vertical run over the horizontally blurred buffer, the same step
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  glLoadIdentity();
  glTranslatef(0.0f, first, 0.0f);
  for (int i = 0; i < count; ++i) {
    gl_quad();
    glTranslatef(0.0f, step, 0.0f);
  }
  copy_to_bound(width, height);
}

void add_buffer_to_frame(const Engine* engine, int buffer) {
  MultisampleOff multisampling(engine->window.multisample != 0);

  // Additive, over everything
  glEnable(GL_TEXTURE_2D);
  begin_identity_matrices();
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

  // The small buffer stretched to the window
  bind_buffer(engine, buffer);
  gl_quad();

  // Restore
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);
  end_identity_matrices();
}
