#include "resources/render_buffers.h"

#include <GL/gl.h>

#include <cstdio>
#include <memory>
#include <new>

#include "core/convert.h"
#include "core/engine.h"
#include "core/window.h"
#include "resources/texture_manager.h"

static void record_buffer(Engine* engine, int slot, int width, int height) {
  TextureSlot& entry = engine->resources.textures[slot];
  entry.width = static_cast<int16_t>(width);
  entry.height = static_cast<int16_t>(height);
  entry.bytesPerPixel = 3;
  entry.inUse = 1;
  std::snprintf(entry.name, sizeof entry.name, "BUF%d", slot);
}

int newBufferTexture(Engine* engine, const uint8_t* pixels, int width, int height) {
  make_engine_current();
  int slot = findFreeTextureSlot(engine);
  if (slot < 0 || !engine->window.hglrc) return 0;
  TextureSlot& entry = engine->resources.textures[slot];
  glGenTextures(1, &entry.glName);
  glBindTexture(GL_TEXTURE_2D, entry.glName);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
  uploadTexture(engine, pixels, 3, GL_RGB, width, height, GL_TEXTURE_2D);
  record_buffer(engine, slot, width, height);
  return slot;
}

bool rebuildBufferTexture(Engine* engine, int slot) {
  // Slot 0 is what a failed creation stored: it means "no buffer", not the font.
  if (slot <= 0 || slot >= MAX_TEXTURES || !engine->window.hglrc) return false;
  make_engine_current();
  TextureSlot& entry = engine->resources.textures[slot];
  if (entry.glName != 0 || entry.inUse) {
    if (entry.glName != 0) glDeleteTextures(1, &entry.glName);
    entry.glName = 0;
    entry.name[0] = '\0';
    entry.bytesPerPixel = 0;
    entry.inUse = 0;
    entry.width = 0;
    entry.height = 0;
  }

  int size = floorPowerOfTwo(engine->view.width < engine->view.height ? engine->view.width : engine->view.height);
  glEnable(GL_TEXTURE_2D);
  glGenTextures(1, &entry.glName);
  // Black until the first copy fills it: a pass that composites the buffer
  // before then adds nothing instead of whatever the memory held.
  std::unique_ptr<uint8_t[]> pixels(new (std::nothrow) uint8_t[static_cast<size_t>(size) * size * 3]());
  if (!pixels) return false;

  // no mipmaps for a buffer that is filled by copying
  int saved = engine->settings.tfilter;
  engine->settings.tfilter = 1;
  engine->settings.anisotropic = 0;
  engine->settings.trilinear = 0;
  glBindTexture(GL_TEXTURE_2D, entry.glName);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
  uploadTexture(engine, pixels.get(), 3, GL_RGB, size, size, GL_TEXTURE_2D);

  record_buffer(engine, slot, size, size);
  setTextureFilter(engine, saved);
  return true;
}

bool ceilPowerOfTwo(int* size) {
  GLint max_size = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
  for (int edge = 64; edge <= 4096; edge *= 2) {
    if (edge < *size) continue;
    if (max_size > 0 && edge > max_size) {
      *size = max_size;
      return false;
    }
    *size = edge;
    return true;
  }
  return false;
}

void swapTextureSlots(Engine* engine, float a0, float a1) {
  int a = float_to_int(a0), b = float_to_int(a1);
  if (a < 0 || a >= MAX_TEXTURES || b < 0 || b >= MAX_TEXTURES) return;
  TextureSlot& first = engine->resources.textures[a];
  TextureSlot& second = engine->resources.textures[b];
  if (!first.inUse || !second.inUse) return;
  std::swap(first.name, second.name);
  std::swap(first.bytesPerPixel, second.bytesPerPixel);
}
