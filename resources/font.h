// The engine's one bitmap font: the texture "FONT" and the metrics file
// "FONT.fnt" of the data folder, and text drawn with it as additively blended
// quads in the current GL space. Loaded at GL start-up and by `loadfont`;
// released by the scene clean-up. Render thread only.
//
// Metrics file, little-endian: a 4-byte header that is not interpreted, then
// blocks of a type byte, a signed 32-bit size that counts its own 4 bytes, and
// size - 4 bytes of data. Types 1-3 are skipped, 4 holds 18-byte character
// records, 5 holds 6-byte kerning records; after any other type byte the next
// byte is read as a block type again. tools/font_tool writes this layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Engine;

// One glyph. x, y: its top-left corner in the font image, from the image's
// top-left; offsets and advance in pixels, y growing downwards.
struct FontChar {
  uint16_t id;
  uint16_t x, y, width, height;
  int16_t xOffset, yOffset, xAdvance;
  uint16_t unused;
};

// Pen adjustment between two characters, in pixels.
struct FontKerning {
  uint16_t first, second;
  int16_t amount;
};

constexpr int FONT_HEADER_SIZE = 4;
constexpr int FONT_CHAR_RECORD_SIZE = 18;
constexpr int FONT_KERNING_RECORD_SIZE = 6;
constexpr uint8_t FONT_BLOCK_CHARS = 4;
constexpr uint8_t FONT_BLOCK_KERNING = 5;

// The records of a metrics file in memory. A block whose size runs beyond the
// data (or is below 4) ends the reading; a later block of the same type
// replaces the earlier one.
void parseFontMetrics(const uint8_t* data, size_t size, std::vector<FontChar>* chars,
                      std::vector<FontKerning>* kerning);

// Replaces the font with "FONT" (GL_CLAMP) and "FONT.fnt". Without the metrics
// file text is not drawn.
void loadFont(Engine* engine);
// Frees the character and kerning tables and the font's texture.
void freeFont(Engine* engine);

// Draws text at (x, y, z) scaled by (scale_x, scale_y) in the colour given,
// glyph y growing downwards. Nothing without a character table.
void drawText(Engine* engine, float x, float y, float z, float scale_x, float scale_y, const char* text,
              float red, float green, float blue, float alpha);
