#include "core/gl_context.h"

#include <GL/glu.h>

#include <cstring>

#include "core/engine.h"
#include "mesh/object.h"
#include "platform/platform.h"
#include "resources/font.h"
#include "resources/texture_manager.h"

PFNGLGENBUFFERSARBPROC glGenBuffersARB_ = nullptr;
PFNGLBINDBUFFERARBPROC glBindBufferARB_ = nullptr;
PFNGLBUFFERDATAARBPROC glBufferDataARB_ = nullptr;
PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB_ = nullptr;
PFNGLMULTITEXCOORD1FVARBPROC glMultiTexCoord1fvARB_ = nullptr;
PFNGLMULTITEXCOORD2FVARBPROC glMultiTexCoord2fvARB_ = nullptr;
PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARB_ = nullptr;
PFNGLMULTITEXCOORD3FVARBPROC glMultiTexCoord3fvARB_ = nullptr;
PFNGLACTIVETEXTUREARBPROC glActiveTextureARB_ = nullptr;
PFNGLCLIENTACTIVETEXTUREARBPROC glClientActiveTextureARB_ = nullptr;
PFNGLLOCKARRAYSEXTPROC glLockArraysEXT_ = nullptr;
PFNGLUNLOCKARRAYSEXTPROC glUnlockArraysEXT_ = nullptr;
bool swap_control_available = false;

template <typename Pointer>
static void load_proc(Pointer* pointer, const char* name) {
  *pointer = reinterpret_cast<Pointer>(platform::gl_proc_address(name));
}

void make_engine_current() {
  Engine* engine = g_engine;
  if (engine && engine->hwnd && engine->hglrc) platform::make_current(engine->hwnd, engine->hglrc);
}

bool has_extension(const char* name) {
  const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  return extensions && std::strstr(extensions, name) != nullptr;
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
  engine->window_y = rect.top;
  engine->window_x = rect.left;
  engine->height = rect.height;
  engine->width = rect.width;

  platform::PixelFormat format;
  format.samples = engine->multisample ? engine->samples : 0;
  platform::Window window = platform::create_window("Test", engine->window_x, engine->window_y, engine->width,
                                                    engine->height, engine->fullscreen != 0, &format);
  if (!window) return false;
  engine->hwnd = window;
  engine->hdc = window;
  if (format.samples == 0) {
    engine->multisample = 0;
    engine->samples = 0;
  }
  platform::show_window(window);
  if (engine->fullscreen) {
    platform::maximise_window(window);
    int x, y, w, h;
    platform::window_rect(window, &x, &y, &w, &h);
    engine->window_x = engine->window_y = 0;
    engine->width = static_cast<int16_t>(w);
    engine->height = static_cast<int16_t>(h);
  }
  platform::raise_window(window);

  engine->hglrc = platform::create_context(window);
  if (!engine->hglrc) return false;
  if (!platform::make_current(window, engine->hglrc)) return false;

  set_initial_gl_state();
  load_extensions();
  if (swap_control_available) platform::set_swap_interval(engine->swap_interval);
  apply_fog();
  set_viewport(0.0, -1, -1);

  clearTextures(engine);
  loadFont(engine);

  engine->frame_delay = 0;
  engine->frame_count = 0;
  engine->fps = 0;

  platform::show_window(window);
  platform::raise_window(window);
  return true;
}

bool load_extensions() {
  Engine* engine = g_engine;
  make_engine_current();
  GLint units = 0;
  glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
  if (units == 0) units = 1;

  load_proc(&glGenBuffersARB_, "glGenBuffersARB");
  load_proc(&glBindBufferARB_, "glBindBufferARB");
  load_proc(&glBufferDataARB_, "glBufferDataARB");
  load_proc(&glDeleteBuffersARB_, "glDeleteBuffersARB");

  // Multisampling
  if (engine->multisample) engine->multisample = has_extension("GL_ARB_multisample") ? 1 : 0;
  if (engine->multisample) {
    glEnable(GL_MULTISAMPLE_ARB);
    if (has_extension("GL_NV_multisample_filter_hint")) glHint(GL_MULTISAMPLE_FILTER_HINT_NV, GL_NICEST);
  } else {
    glDisable(GL_MULTISAMPLE_ARB);
    engine->samples = 0;
  }

  // Swap control: SDL always offers it; it may still refuse a value.
  swap_control_available = true;

  if (units < 3 || !has_extension("GL_ARB_multitexture") || !has_extension("GL_ARB_texture_env_combine"))
    return false;

  load_proc(&glMultiTexCoord1fvARB_, "glMultiTexCoord1fvARB");
  load_proc(&glMultiTexCoord2fvARB_, "glMultiTexCoord2fvARB");
  load_proc(&glMultiTexCoord2fARB_, "glMultiTexCoord2fARB");
  load_proc(&glMultiTexCoord3fvARB_, "glMultiTexCoord3fvARB");
  load_proc(&glActiveTextureARB_, "glActiveTextureARB");
  load_proc(&glClientActiveTextureARB_, "glClientActiveTextureARB");

  if (!engine->anisotropic || !has_extension("GL_EXT_texture_filter_anisotropic")) {
    engine->anisotropic = 0;
    engine->anisotropy = 0;
  }

  if (has_extension("GL_EXT_compiled_vertex_array")) {
    load_proc(&glLockArraysEXT_, "glLockArraysEXT");
    load_proc(&glUnlockArraysEXT_, "glUnlockArraysEXT");
  }

  GLint max_size = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
  if (engine->max_texture_size > max_size) engine->max_texture_size = max_size;
  return true;
}

void set_projection(float near_clip, float far_clip, float fov) {
  Engine* engine = g_engine;
  engine->fov = fov == 0.0f ? 60.0f : fov;
  engine->near_clip = near_clip < 1.0f ? 1.0f : near_clip;
  engine->far_clip = far_clip;

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(engine->fov, static_cast<float>(engine->width) / static_cast<float>(engine->height),
                 engine->near_clip, engine->far_clip);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();

  mark_objects_dirty(engine);
}

void apply_fog() {
  Engine* engine = g_engine;
  set_projection(engine->near_clip, engine->far_clip, engine->fov);

  if (engine->fog_start != engine->fog_end) {
    engine->fog_on = 1;
    GLfloat color[4] = {engine->fog_color[0], engine->fog_color[1], engine->fog_color[2], 0.0f};
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogf(GL_FOG_START, engine->fog_start);
    glFogf(GL_FOG_END, engine->fog_end);
    glFogf(GL_FOG_DENSITY, 0.035f);
    glFogfv(GL_FOG_COLOR, color);
    glHint(GL_FOG_HINT, GL_DONT_CARE);
    glEnable(GL_FOG);
  } else {
    engine->fog_on = 0;
    glDisable(GL_FOG);
  }

  glClearColor(engine->fog_color[0], engine->fog_color[1], engine->fog_color[2], 0.0f);
  glClearStencil(0);
}

void set_viewport(double aspect, int w, int h) {
  Engine* engine = g_engine;
  make_engine_current();

  if (w != -1 && h != -1) {
    engine->width = static_cast<int16_t>(w);
    engine->height = static_cast<int16_t>(h);
  } else if (!engine->fullscreen && engine->hwnd) {
    int cw = 0, ch = 0;
    platform::client_size(engine->hwnd, &cw, &ch);
    engine->width = static_cast<int16_t>(cw);
    engine->height = static_cast<int16_t>(ch);
  }

  glViewport(0, 0, engine->width, engine->height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  double ratio = aspect != 0.0 ? aspect : static_cast<double>(engine->width) / static_cast<double>(engine->height);
  gluPerspective(engine->fov, ratio, engine->near_clip, engine->far_clip);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();

  glGetIntegerv(GL_VIEWPORT, engine->viewport);

  mark_objects_dirty(engine);
}

void close_context() {
  Engine* engine = g_engine;
  if (!engine) return;
  if (engine->hglrc) {
    platform::release_current();
    platform::delete_context(engine->hglrc);
    engine->hglrc = nullptr;
  }
  engine->hdc = nullptr;
  if (engine->hwnd) {
    platform::destroy_window(engine->hwnd);
    engine->hwnd = nullptr;
  }
}
