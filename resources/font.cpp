#include "resources/font.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/engine.h"
#include "core/window.h"
#include "mesh/object_render.h"
#include "platform/platform.h"
#include "resources/texture_manager.h"

static_assert(sizeof(FontChar) == FONT_CHAR_RECORD_SIZE, "FontChar is the file's 18-byte record");
static_assert(sizeof(FontKerning) == FONT_KERNING_RECORD_SIZE, "FontKerning is the file's 6-byte record");

namespace {

uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
int16_t s16(const uint8_t* p) { return static_cast<int16_t>(u16(p)); }
int32_t s32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                              (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

FontChar read_char(const uint8_t* p) {
  return FontChar{u16(p),      u16(p + 2),  u16(p + 4),  u16(p + 6), u16(p + 8),
                  s16(p + 10), s16(p + 12), s16(p + 14), u16(p + 16)};
}

FontKerning read_kerning(const uint8_t* p) { return FontKerning{u16(p), u16(p + 2), s16(p + 4)}; }

template <typename T>
T* copy_table(const std::vector<T>& records) {
  if (records.empty()) return nullptr;
  T* table = new T[records.size()];
  std::memcpy(table, records.data(), records.size() * sizeof(T));
  return table;
}

void free_tables(Engine* engine) {
  delete[] engine->resources.font_chars;
  delete[] engine->resources.font_kerning;
  engine->resources.font_chars = nullptr;
  engine->resources.font_kerning = nullptr;
  engine->resources.font_char_count = 0;
  engine->resources.font_kerning_count = 0;
}

}  // namespace

void parseFontMetrics(const uint8_t* data, size_t size, std::vector<FontChar>* chars,
                      std::vector<FontKerning>* kerning) {
  if (size < FONT_HEADER_SIZE) return;
  size_t at = FONT_HEADER_SIZE;
  while (at < size) {
    uint8_t type = data[at++];
    if (type < 1 || type > FONT_BLOCK_KERNING) continue;  // read on as a new block type

    if (size - at < 4) return;
    int32_t block_size = s32(data + at);
    at += 4;
    if (block_size < 4 || static_cast<size_t>(block_size - 4) > size - at) return;
    size_t length = static_cast<size_t>(block_size - 4);
    const uint8_t* block = data + at;
    at += length;

    if (type == FONT_BLOCK_CHARS) {
      chars->clear();
      for (size_t k = 0; k + FONT_CHAR_RECORD_SIZE <= length; k += FONT_CHAR_RECORD_SIZE)
        chars->push_back(read_char(block + k));
    } else if (type == FONT_BLOCK_KERNING) {
      kerning->clear();
      for (size_t k = 0; k + FONT_KERNING_RECORD_SIZE <= length; k += FONT_KERNING_RECORD_SIZE)
        kerning->push_back(read_kerning(block + k));
    }
  }
}

void freeFont(Engine* engine) {
  free_tables(engine);
  releaseTextureSlot(engine, engine->resources.font_texture);
  engine->resources.font_texture = 0;
}

void loadFont(Engine* engine) {
  make_engine_current();
  // Commands are held off while the font is replaced.
  uint8_t was_running = engine->pacing.running;
  engine->pacing.running = 0;

  int slot = engine->resources.font_texture;
  if (slot >= 0 && slot < MAX_TEXTURES && engine->resources.textures[slot].inUse) freeFont(engine);
  // The old tables go even when the old image had failed to load.
  free_tables(engine);

  engine->resources.font_texture = loadTexture(engine, FONT_TEXTURE_NAME, GL_CLAMP);

  char path[PATH_SIZE + 16];
  std::snprintf(path, sizeof path, "%s%s.%s", engine->paths.data_path, FONT_TEXTURE_NAME, "fnt");
  if (FILE* file = platform::open_file(path, "rb")) {
    std::vector<uint8_t> bytes;
    uint8_t buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
    std::fclose(file);

    std::vector<FontChar> chars;
    std::vector<FontKerning> kerning;
    parseFontMetrics(bytes.data(), bytes.size(), &chars, &kerning);
    engine->resources.font_chars = copy_table(chars);
    engine->resources.font_char_count = static_cast<int32_t>(chars.size());
    engine->resources.font_kerning = copy_table(kerning);
    engine->resources.font_kerning_count = static_cast<int32_t>(kerning.size());
  }

  engine->pacing.running = was_running;
}

void drawText(Engine* engine, float x, float y, float z, float scale_x, float scale_y, const char* text,
              float red, float green, float blue, float alpha) {
  if (!engine->resources.font_chars || engine->resources.font_char_count <= 0 || !text) return;

  // State: font texture, colour, additive blending, placement
  make_engine_current();
  glPushMatrix();
  int slot = engine->resources.font_texture;
  const bool slot_valid = slot >= 0 && slot < MAX_TEXTURES;
  glBindTexture(GL_TEXTURE_2D, slot_valid ? engine->resources.textures[slot].glName : 0);
  glColor4f(red, green, blue, alpha);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glTranslatef(x, y, z);
  glScalef(scale_x, scale_y, 1.0f);
  // Texture coordinates go in pixels with q = H: the image must be square.
  const GLint W = slot_valid ? engine->resources.textures[slot].width : 0;
  const GLint H = slot_valid ? engine->resources.textures[slot].height : 0;
  // The translation has placed the text at z already; glyphs lie in its plane
  // (a second z on the vertices would put labels at twice their depth).
  const GLint depth = 0;

  // Glyphs
  int pen = 0;
  const size_t length = std::strlen(text);
  glBegin(GL_QUADS);
  for (size_t k = 0; k < length; ++k) {
    // Bytes compare as signed values: 128..255 never match a record.
    const int code = static_cast<signed char>(text[k]);
    for (int c = 0; c < engine->resources.font_char_count; ++c) {
      const FontChar& glyph = engine->resources.font_chars[c];
      if (glyph.id != code) continue;
      const int left = pen + glyph.xOffset, right = left + glyph.width;
      const int top = glyph.yOffset, bottom = top + glyph.height;
      const int s0 = glyph.x, s1 = glyph.x + glyph.width;
      const int t0 = H - glyph.y, t1 = H - glyph.y - glyph.height;
      glTexCoord4i(s0, t0, W, H);
      glVertex3i(left, top, depth);
      glTexCoord4i(s1, t0, W, H);
      glVertex3i(right, top, depth);
      glTexCoord4i(s1, t1, W, H);
      glVertex3i(right, bottom, depth);
      glTexCoord4i(s0, t1, W, H);
      glVertex3i(left, bottom, depth);
      addFrameTriangles(engine, 2);
      pen += glyph.xAdvance;

      if (engine->resources.font_kerning && k + 1 < length) {
        const int next = static_cast<signed char>(text[k + 1]);
        for (int p = 0; p < engine->resources.font_kerning_count; ++p) {
          const FontKerning& pair = engine->resources.font_kerning[p];
          if (pair.first == code && pair.second == next) {
            pen += pair.amount;
            break;
          }
        }
      }
    }
  }
  glEnd();

  // Restore
  glPopMatrix();
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}
