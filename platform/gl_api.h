// The GL layer: every extension entry point the engine calls, the extension
// query, and the small GL helpers that come in visible begin/end pairs. Knows
// nothing of the engine; render thread only, with a current context.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

// One pointer per extension function; null when absent. Code that calls them
// tests the engine's switches (or the capabilities below) rather than the pointers.
extern PFNGLGENBUFFERSARBPROC glGenBuffersARB_;
extern PFNGLBINDBUFFERARBPROC glBindBufferARB_;
extern PFNGLBUFFERDATAARBPROC glBufferDataARB_;
extern PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB_;
// Pixel buffer objects: mapping a read-back buffer (the recorder's frames).
extern PFNGLMAPBUFFERARBPROC glMapBufferARB_;
extern PFNGLUNMAPBUFFERARBPROC glUnmapBufferARB_;
extern PFNGLMULTITEXCOORD1FVARBPROC glMultiTexCoord1fvARB_;
extern PFNGLMULTITEXCOORD2FVARBPROC glMultiTexCoord2fvARB_;
extern PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARB_;
extern PFNGLMULTITEXCOORD3FVARBPROC glMultiTexCoord3fvARB_;
extern PFNGLACTIVETEXTUREARBPROC glActiveTextureARB_;
extern PFNGLCLIENTACTIVETEXTUREARBPROC glClientActiveTextureARB_;
extern PFNGLLOCKARRAYSEXTPROC glLockArraysEXT_;
extern PFNGLUNLOCKARRAYSEXTPROC glUnlockArraysEXT_;
// Off-screen frame buffers (the lightmap baker's sample views).
extern PFNGLGENFRAMEBUFFERSEXTPROC glGenFramebuffersEXT_;
extern PFNGLBINDFRAMEBUFFEREXTPROC glBindFramebufferEXT_;
extern PFNGLDELETEFRAMEBUFFERSEXTPROC glDeleteFramebuffersEXT_;
extern PFNGLGENRENDERBUFFERSEXTPROC glGenRenderbuffersEXT_;
extern PFNGLBINDRENDERBUFFEREXTPROC glBindRenderbufferEXT_;
extern PFNGLRENDERBUFFERSTORAGEEXTPROC glRenderbufferStorageEXT_;
extern PFNGLDELETERENDERBUFFERSEXTPROC glDeleteRenderbuffersEXT_;
extern PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC glFramebufferRenderbufferEXT_;
extern PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC glCheckFramebufferStatusEXT_;

// What the current context offers, as found by load_gl_api.
struct GlCapabilities {
  int texture_units = 1;
  int max_texture_size = 0;
  bool multisample = false;            // GL_ARB_multisample
  bool multisample_filter_hint = false;
  // 3 units, GL_ARB_multitexture and GL_ARB_texture_env_combine: the engine's minimum.
  bool multitexture = false;
  bool anisotropic = false;            // GL_EXT_texture_filter_anisotropic
  // The largest GL_TEXTURE_MAX_ANISOTROPY_EXT worth setting: the
  // implementation's maximum, or 1 (off) where anisotropic filtering has no
  // bounded cost (see anisotropy_cost_unbounded); 1 without the extension.
  float anisotropy_limit = 1.0f;
  bool compiled_arrays = false;        // GL_EXT_compiled_vertex_array
  bool framebuffer_object = false;     // GL_EXT_framebuffer_object, every entry point found
  bool pixel_buffer_object = false;    // GL_ARB/EXT_pixel_buffer_object, the buffer entry points and mapping
  bool swap_control = true;            // SDL always offers it; it may still refuse a value
};

// Loads every entry point of the current context; returns what it offers.
// Nothing is drawn and no GL state changes.
GlCapabilities load_gl_api();
// The capabilities found by the last load_gl_api.
const GlCapabilities& gl_capabilities();

// Whether the renderer named by GL_RENDERER filters anisotropically by walking
// the whole footprint of a pixel in texels (Mesa's software rasterisers): at a
// grazing angle over a repeated texture, where even the smallest mipmap level
// is covered many times over, one pixel then reads thousands of texels and a
// frame takes tens of seconds. GPUs bound the samples by the anisotropy.
bool anisotropy_cost_unbounded(const char* renderer);

// Whether the extension string holds `name` as a substring.
bool has_extension(const char* name);

// One GL_QUADS quad from (-x, -y) to (x, y) with texture coordinates 0..u and
// 0..v; under identity matrices x = y = 1 covers the viewport.
void gl_quad(float u = 1, float v = 1, float x = 1, float y = 1);

// One untextured GL_QUADS quad over (-1, -1)..(1, 1), corners clockwise from
// the top left: under identity matrices, the whole viewport.
void gl_screen_quad();

// Identity modelview and projection, both pushed; the projection matrix is
// current until end_identity_matrices pops both and makes the modelview current.
void begin_identity_matrices();
void end_identity_matrices();

// Multisampling off for a scope and back on at every way out, when `in_use`.
class MultisampleOff {
 public:
  explicit MultisampleOff(bool in_use);
  ~MultisampleOff();
  MultisampleOff(const MultisampleOff&) = delete;
  MultisampleOff& operator=(const MultisampleOff&) = delete;

 private:
  bool in_use_;
};
