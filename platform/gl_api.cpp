#include "platform/gl_api.h"

#include <cstring>

#include "platform/platform.h"

PFNGLGENBUFFERSARBPROC glGenBuffersARB_ = nullptr;
PFNGLBINDBUFFERARBPROC glBindBufferARB_ = nullptr;
PFNGLBUFFERDATAARBPROC glBufferDataARB_ = nullptr;
PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB_ = nullptr;
PFNGLMAPBUFFERARBPROC glMapBufferARB_ = nullptr;
PFNGLUNMAPBUFFERARBPROC glUnmapBufferARB_ = nullptr;
PFNGLMULTITEXCOORD1FVARBPROC glMultiTexCoord1fvARB_ = nullptr;
PFNGLMULTITEXCOORD2FVARBPROC glMultiTexCoord2fvARB_ = nullptr;
PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARB_ = nullptr;
PFNGLMULTITEXCOORD3FVARBPROC glMultiTexCoord3fvARB_ = nullptr;
PFNGLACTIVETEXTUREARBPROC glActiveTextureARB_ = nullptr;
PFNGLCLIENTACTIVETEXTUREARBPROC glClientActiveTextureARB_ = nullptr;
PFNGLLOCKARRAYSEXTPROC glLockArraysEXT_ = nullptr;
PFNGLUNLOCKARRAYSEXTPROC glUnlockArraysEXT_ = nullptr;
PFNGLGENFRAMEBUFFERSEXTPROC glGenFramebuffersEXT_ = nullptr;
PFNGLBINDFRAMEBUFFEREXTPROC glBindFramebufferEXT_ = nullptr;
PFNGLDELETEFRAMEBUFFERSEXTPROC glDeleteFramebuffersEXT_ = nullptr;
PFNGLGENRENDERBUFFERSEXTPROC glGenRenderbuffersEXT_ = nullptr;
PFNGLBINDRENDERBUFFEREXTPROC glBindRenderbufferEXT_ = nullptr;
PFNGLRENDERBUFFERSTORAGEEXTPROC glRenderbufferStorageEXT_ = nullptr;
PFNGLDELETERENDERBUFFERSEXTPROC glDeleteRenderbuffersEXT_ = nullptr;
PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC glFramebufferRenderbufferEXT_ = nullptr;
PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC glCheckFramebufferStatusEXT_ = nullptr;

static GlCapabilities capabilities;

template <typename Pointer>
static bool load_proc(Pointer* pointer, const char* name) {
  *pointer = reinterpret_cast<Pointer>(platform::gl_proc_address(name));
  return *pointer != nullptr;
}

bool anisotropy_cost_unbounded(const char* renderer) {
  return renderer && (std::strstr(renderer, "llvmpipe") || std::strstr(renderer, "softpipe"));
}

bool has_extension(const char* name) {
  const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  return extensions && std::strstr(extensions, name) != nullptr;
}

static bool load_framebuffer_procs() {
  if (!has_extension("GL_EXT_framebuffer_object")) return false;
  bool all = load_proc(&glGenFramebuffersEXT_, "glGenFramebuffersEXT");
  all = load_proc(&glBindFramebufferEXT_, "glBindFramebufferEXT") && all;
  all = load_proc(&glDeleteFramebuffersEXT_, "glDeleteFramebuffersEXT") && all;
  all = load_proc(&glGenRenderbuffersEXT_, "glGenRenderbuffersEXT") && all;
  all = load_proc(&glBindRenderbufferEXT_, "glBindRenderbufferEXT") && all;
  all = load_proc(&glRenderbufferStorageEXT_, "glRenderbufferStorageEXT") && all;
  all = load_proc(&glDeleteRenderbuffersEXT_, "glDeleteRenderbuffersEXT") && all;
  all = load_proc(&glFramebufferRenderbufferEXT_, "glFramebufferRenderbufferEXT") && all;
  all = load_proc(&glCheckFramebufferStatusEXT_, "glCheckFramebufferStatusEXT") && all;
  return all;
}

GlCapabilities load_gl_api() {
  GlCapabilities found;
  GLint units = 0;
  glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
  found.texture_units = units == 0 ? 1 : units;

  load_proc(&glGenBuffersARB_, "glGenBuffersARB");
  load_proc(&glBindBufferARB_, "glBindBufferARB");
  load_proc(&glBufferDataARB_, "glBufferDataARB");
  load_proc(&glDeleteBuffersARB_, "glDeleteBuffersARB");
  // Read-back into buffer objects, so that the read does not wait for the GPU.
  if (has_extension("GL_ARB_pixel_buffer_object") || has_extension("GL_EXT_pixel_buffer_object")) {
    bool all = load_proc(&glMapBufferARB_, "glMapBufferARB");
    all = load_proc(&glUnmapBufferARB_, "glUnmapBufferARB") && all;
    found.pixel_buffer_object = all && glGenBuffersARB_ && glBindBufferARB_ && glBufferDataARB_ && glDeleteBuffersARB_;
  }

  found.multisample = has_extension("GL_ARB_multisample");
  found.multisample_filter_hint = has_extension("GL_NV_multisample_filter_hint");
  found.multitexture = found.texture_units >= 3 && has_extension("GL_ARB_multitexture") &&
                       has_extension("GL_ARB_texture_env_combine");
  if (found.multitexture) {
    load_proc(&glMultiTexCoord1fvARB_, "glMultiTexCoord1fvARB");
    load_proc(&glMultiTexCoord2fvARB_, "glMultiTexCoord2fvARB");
    load_proc(&glMultiTexCoord2fARB_, "glMultiTexCoord2fARB");
    load_proc(&glMultiTexCoord3fvARB_, "glMultiTexCoord3fvARB");
    load_proc(&glActiveTextureARB_, "glActiveTextureARB");
    load_proc(&glClientActiveTextureARB_, "glClientActiveTextureARB");
  }
  found.anisotropic = has_extension("GL_EXT_texture_filter_anisotropic");
  if (found.anisotropic) {
    GLfloat most = 1.0f;
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &most);
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    found.anisotropy_limit = anisotropy_cost_unbounded(renderer) ? 1.0f : (most > 1.0f ? most : 1.0f);
  }
  found.compiled_arrays = has_extension("GL_EXT_compiled_vertex_array");
  if (found.compiled_arrays) {
    load_proc(&glLockArraysEXT_, "glLockArraysEXT");
    load_proc(&glUnlockArraysEXT_, "glUnlockArraysEXT");
  }
  found.framebuffer_object = load_framebuffer_procs();

  GLint max_size = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
  found.max_texture_size = max_size;
  capabilities = found;
  return found;
}

const GlCapabilities& gl_capabilities() { return capabilities; }

void gl_quad(float u, float v, float x, float y) {
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, v);
  glVertex3f(-x, y, 0.0f);
  glTexCoord2f(u, v);
  glVertex3f(x, y, 0.0f);
  glTexCoord2f(u, 0.0f);
  glVertex3f(x, -y, 0.0f);
  glTexCoord2f(0.0f, 0.0f);
  glVertex3f(-x, -y, 0.0f);
  glEnd();
}

void gl_screen_quad() {
  glBegin(GL_QUADS);
  glVertex3f(-1.0f, 1.0f, 0.0f);
  glVertex3f(1.0f, 1.0f, 0.0f);
  glVertex3f(1.0f, -1.0f, 0.0f);
  glVertex3f(-1.0f, -1.0f, 0.0f);
  glEnd();
}

void begin_identity_matrices() {
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
}

void end_identity_matrices() {
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}

MultisampleOff::MultisampleOff(bool in_use) : in_use_(in_use) {
  if (in_use_) glDisable(GL_MULTISAMPLE_ARB);
}

MultisampleOff::~MultisampleOff() {
  if (in_use_) glEnable(GL_MULTISAMPLE_ARB);
}
