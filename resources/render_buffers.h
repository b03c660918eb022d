// Render buffers: RGB textures in ordinary slots of the texture table, filled
// from the frame buffer by their owners (screen copies, render targets, the
// lightmap baker) and named "BUF<slot>". Sized from the window; never resized
// by a window event: each owner rebuilds its buffer when it runs. Render thread.
#pragma once

#include <cstdint>

struct Engine;

// A buffer of width x height from `pixels` (width x height x 3 bytes) in the
// lowest free slot from 1, uploaded with the current filter mode; 0 when full.
int newBufferTexture(Engine* engine, const uint8_t* pixels, int width, int height);
// Replaces what the slot holds with a square buffer of floorPowerOfTwo of the
// smaller window edge, without mipmaps. False when the pixel memory cannot be
// allocated, and for slot 0 or a number outside the table (nothing changes).
bool rebuildBufferTexture(Engine* engine, int slot);
// Rounds *size up to 64..4096; false (with *size at the GL maximum) when that
// exceeds GL_MAX_TEXTURE_SIZE, false (unchanged) above 4096.
bool ceilPowerOfTwo(int* size);
// The `swaptex` scene command: exchanges the names and bytes per pixel of two
// in-use slots (GL names and sizes stay), so that a later load of either name
// returns the other slot. Anything else is ignored.
void swapTextureSlots(Engine* engine, float a0, float a1);
