// One entry of the engine's texture table. Textures are referred to everywhere
// by slot number (signed 16-bit); 0 doubles as "no texture".
#pragma once

#include <cstdint>

constexpr int MAX_TEXTURES = 255;          // slots 0..254
constexpr int TEXTURE_NAME_SIZE = 255;     // zero-terminated

struct TextureSlot {
  uint32_t glName = 0;                 // from glGenTextures; 0 when empty
  char name[TEXTURE_NAME_SIZE] = {};   // file name without folder and extension, or "BUF%d"
  uint8_t bytesPerPixel = 0;           // 1, 3 or 4; 3 for render buffers
  uint8_t inUse = 0;                   // lookups and free-slot searches test only this
  int16_t height = 0;                  // after power-of-two resizing
  int16_t width = 0;
};
