// Building blocks of the blur, glow and bloom passes: the full-screen quad, the
// matrix and multisampling brackets, render-buffer upkeep, the scene render at
// buffer size, the bright pass and the separable box blur. No shaders and no
// off-screen frame buffers: everything is drawn into the current drawing
// buffer and copied into render-buffer textures. Render thread only.
#pragma once

#include <cstdint>

struct Engine;

// One GL_QUADS quad from (-x, -y) to (x, y) with texture coordinates 0..u and
// 0..v, for identity matrices (then x = y = 1 covers the viewport).
void post_quad(float u = 1, float v = 1, float x = 1, float y = 1);

// Identity modelview and projection, both pushed; the projection matrix is
// current until end_matrix_bracket pops both.
void begin_matrix_bracket();
void end_matrix_bracket();

// Multisampling off while a pass works and back on at every way out, when the
// engine uses it.
class MultisampleBracket {
 public:
  explicit MultisampleBracket(const Engine* engine);
  ~MultisampleBracket();
  MultisampleBracket(const MultisampleBracket&) = delete;
  MultisampleBracket& operator=(const MultisampleBracket&) = delete;

 private:
  bool multisample_;
};

int buffer_width(const Engine* engine, int slot);
int buffer_height(const Engine* engine, int slot);
void bind_buffer(const Engine* engine, int slot);
// glCopyTexSubImage2D of width x height from the window origin into the bound
// texture.
void copy_to_bound(int width, int height);

// The small square buffer: created at `edge` when *buffer is 0, re-created to
// fit when it is wider or taller than the viewport. False when no buffer could
// be had (a full texture table gives slot 0, which must never be drawn into).
bool keep_small_buffer(Engine* engine, int32_t* buffer, int edge);
// A buffer of the viewport rounded up to powers of two, bilinear without
// mipmaps; 0 when the window is too large for a texture or the table is full.
int make_window_buffer(Engine* engine);

// Renders the scene from the camera into a viewport of the buffer's size with
// the window's proportions, through `draw`. The projection stays at buffer size
// until the caller's set_viewport.
void render_at_buffer_size(Engine* engine, int buffer, void (*draw)(Engine*));

// Each pixel of the bound texture becomes clamp(2 x (colour - threshold)).
void bright_pass(const float threshold[4], float u = 1, float v = 1);

// Sums `count` copies of the bound buffer shifted by offset / buffer width
// (normalised units) each, horizontally then vertically, copying after each
// run. The caller sets blending, the sample colour and the viewport.
void box_blur(const Engine* engine, int buffer, int count, int offset);

// Adds the buffer over the whole viewport (the glow and bloom composites).
void add_buffer_to_frame(const Engine* engine, int buffer);

// The frame loop's four points of call.
void post_prepare(Engine* engine);      // before the frame's clear
void post_background(Engine* engine);   // right after the clear
void post_composite(Engine* engine);    // after the scene and the transparent pass
void post_after_swap(Engine* engine);   // after the buffer swap
