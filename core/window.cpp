#include "core/window.h"

#include "core/engine.h"
#include "core/view.h"
#include "platform/gl_api.h"
#include "platform/platform.h"

void make_engine_current() {
  Engine* engine = g_engine;
  if (engine && engine->window.hwnd && engine->window.hglrc) platform::make_current(engine->window.hwnd, engine->window.hglrc);
}

static void set_initial_gl_state() {
  glFrontFace(GL_CW);
  glEnable(GL_CULL_FACE);
  glPolygonMode(GL_FRONT, GL_FILL);
  glCullFace(GL_BACK);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_ALPHA_TEST);
  glDepthMask(GL_TRUE);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glClearDepth(1.0);
  glClearStencil(0);
  glShadeModel(GL_SMOOTH);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glDisable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_AUTO_NORMAL);
  glEnable(GL_NORMALIZE);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glLineWidth(1.0f);
}

bool open_window_and_context(const WindowRect& rect) {
  Engine* engine = g_engine;
  // SDL chooses the pixel format from attributes, so no temporary window is needed.
  engine->window.window_y = rect.top;
  engine->window.window_x = rect.left;
  engine->view.height = rect.height;
  engine->view.width = rect.width;

  platform::PixelFormat format;
  format.samples = engine->window.multisample ? engine->window.samples : 0;
  platform::Window window = platform::create_window("Test", engine->window.window_x, engine->window.window_y, engine->view.width,
                                                    engine->view.height, engine->window.fullscreen != 0, &format);
  if (!window) return false;
  engine->window.hwnd = window;
  if (format.samples == 0) {
    engine->window.multisample = 0;
    engine->window.samples = 0;
  }
  platform::show_window(window);
  if (engine->window.fullscreen) {
    platform::maximise_window(window);
    int x, y, w, h;
    platform::window_rect(window, &x, &y, &w, &h);
    engine->window.window_x = engine->window.window_y = 0;
    engine->view.width = static_cast<int16_t>(w);
    engine->view.height = static_cast<int16_t>(h);
  }
  platform::raise_window(window);

  engine->window.hglrc = platform::create_context(window);
  if (!engine->window.hglrc) return false;
  if (!platform::make_current(window, engine->window.hglrc)) return false;

  set_initial_gl_state();
  load_extensions();
  if (gl_capabilities().swap_control) platform::set_swap_interval(engine->window.swap_interval);
  apply_fog();
  set_viewport(0.0, -1, -1);

  engine->pacing.frame_delay = 0;
  engine->pacing.frame_count = 0;
  engine->pacing.fps = 0;

  platform::show_window(window);
  platform::raise_window(window);
  return true;
}

bool load_extensions() {
  Engine* engine = g_engine;
  make_engine_current();
  GlCapabilities found = load_gl_api();

  // Multisampling
  if (engine->window.multisample) engine->window.multisample = found.multisample ? 1 : 0;
  if (engine->window.multisample) {
    glEnable(GL_MULTISAMPLE_ARB);
    if (found.multisample_filter_hint) glHint(GL_MULTISAMPLE_FILTER_HINT_NV, GL_NICEST);
  } else {
    glDisable(GL_MULTISAMPLE_ARB);
    engine->window.samples = 0;
  }

  if (!found.multitexture) return false;

  if (!engine->settings.anisotropic || !found.anisotropic) {
    engine->settings.anisotropic = 0;
    engine->settings.anisotropy = 0;
  }
  if (engine->settings.max_texture_size > found.max_texture_size)
    engine->settings.max_texture_size = found.max_texture_size;
  return true;
}

void close_context(Engine* engine) {
  if (!engine) return;
  if (engine->window.hglrc) {
    platform::release_current();
    platform::delete_context(engine->window.hglrc);
    engine->window.hglrc = nullptr;
  }
  if (engine->window.hwnd) {
    platform::destroy_window(engine->window.hwnd);
    engine->window.hwnd = nullptr;
  }
}
