// The window, its GL context, the extension probe and the three routines that
// reshape the view. Render thread only; each routine makes the context current.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

struct Engine;

// One pointer per extension function the engine calls; null when absent. Code
// that uses them tests the Engine's switches rather than the pointers.
extern PFNGLGENBUFFERSARBPROC glGenBuffersARB_;
extern PFNGLBINDBUFFERARBPROC glBindBufferARB_;
extern PFNGLBUFFERDATAARBPROC glBufferDataARB_;
extern PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB_;
extern PFNGLMULTITEXCOORD1FVARBPROC glMultiTexCoord1fvARB_;
extern PFNGLMULTITEXCOORD2FVARBPROC glMultiTexCoord2fvARB_;
extern PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARB_;
extern PFNGLMULTITEXCOORD3FVARBPROC glMultiTexCoord3fvARB_;
extern PFNGLACTIVETEXTUREARBPROC glActiveTextureARB_;
extern PFNGLCLIENTACTIVETEXTUREARBPROC glClientActiveTextureARB_;
extern PFNGLLOCKARRAYSEXTPROC glLockArraysEXT_;
extern PFNGLUNLOCKARRAYSEXTPROC glUnlockArraysEXT_;
extern bool swap_control_available;  // the swap interval can be set

// The window rectangle as four 16-bit values: top, left, height, width.
struct WindowRect {
  short top, left, height, width;
};

// Opens the "Test" window and its context with the initial GL state; false on
// any failure (what was created stays in the Engine for shut-down to release).
bool open_window_and_context(const WindowRect& rect);

// Probes the extension string; only ever clears a switch. False when
// multitexturing (3 units, multitexture, texture_env_combine) is missing.
bool load_extensions();

// Perspective projection; near below 1 becomes 1, fov 0 becomes 60.
void set_projection(float near_clip, float far_clip, float fov);

// Projection with the current clip distances, then fog and the clear colour.
void apply_fog();

// Viewport of w x h (both -1: the client area), projection with the aspect
// (0: width / height), viewport read back.
void set_viewport(double aspect, int w, int h);

// Releases the context and window the Engine holds.
void close_context();

// Makes the engine's context current on the calling (render) thread.
void make_engine_current();

// Whether the extension string holds `name` as a substring.
bool has_extension(const char* name);
