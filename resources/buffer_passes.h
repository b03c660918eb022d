// Building blocks of the blur, glow and bloom passes: render-buffer upkeep, the
// bright pass, the separable box blur and the additive composite. No shaders
// and no off-screen frame buffers: everything is drawn into the current drawing
// buffer and copied into render-buffer textures. Render thread only.
#pragma once

#include <cstdint>

#include "core/view.h"

struct Engine;

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

// The window's camera at the buffer's size with the window's proportions: what
// the glow and bloom passes render before they blur. The scene's scale is not applied.
View buffer_view(const Engine* engine, int buffer);

// The clear colour is black while one lives, and the scene's clear colour
// again after. The glow's and the bloom's images hold only the light they add:
// the clear colour behind the scene is no light of its own, and were it
// blurred and added it would brighten the whole frame.
class BlackClear {
 public:
  BlackClear();
  ~BlackClear();
  BlackClear(const BlackClear&) = delete;
  BlackClear& operator=(const BlackClear&) = delete;

 private:
  float saved_[4] = {0, 0, 0, 0};
};

// Texturing and the vertex, normal and texture-coordinate arrays on, blending
// off: the state the scene pass draws objects in.
void arrays_and_texturing_on();

// Each pixel of the bound texture becomes clamp(2 x (colour - threshold)).
void bright_pass(const float threshold[4], float u = 1, float v = 1);

// Sums `count` copies of the bound buffer shifted by offset / buffer width
// (normalised units) each, horizontally then vertically, copying after each
// run. The caller sets blending, the sample colour and the viewport.
void box_blur(const Engine* engine, int buffer, int count, int offset);

// Adds the buffer over the whole viewport (the glow and bloom composites).
void add_buffer_to_frame(const Engine* engine, int buffer);
