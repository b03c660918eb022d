// font_tool: renders a TrueType font through FreeType into the engine's font
// files: FONT.png, a square power-of-two image of white glyphs with their
// coverage in alpha, and FONT.fnt, the metrics in the layout that the engine's
// font loader reads (resources/font.h; the two change together).
//
//   font_tool FONT_FILE PIXEL_SIZE OUT_DIR
//
// Characters 32 to 126 are rendered; kerning pairs come from the font's
// kerning table, when it has one.
#include <FreeImage.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "resources/font.h"

namespace {

constexpr int FIRST_CHAR = 32;
constexpr int LAST_CHAR = 126;
constexpr int PADDING = 1;  // empty pixels around each glyph, so filtering keeps glyphs apart
constexpr int MAX_IMAGE_SIZE = 4096;

struct Glyph {
  int code;
  unsigned glyph_index;
  int width, height;
  int left, top;   // bitmap offset from the pen and above the baseline
  int advance;     // pixels
  std::vector<uint8_t> coverage;  // rows top first
  int x = 0, y = 0;               // place in the image, from its top-left
};

// Shelf packing into a square of `size`; false when the glyphs do not fit.
bool pack(std::vector<Glyph>* glyphs, int size) {
  int x = PADDING, y = PADDING, shelf = 0;
  for (Glyph& g : *glyphs) {
    if (x + g.width + PADDING > size) {
      x = PADDING;
      y += shelf + PADDING;
      shelf = 0;
    }
    if (g.width + 2 * PADDING > size || y + g.height + PADDING > size) return false;
    g.x = x;
    g.y = y;
    x += g.width + PADDING;
    if (g.height > shelf) shelf = g.height;
  }
  return true;
}

void put16(std::vector<uint8_t>* out, int value) {
  out->push_back(static_cast<uint8_t>(value & 0xFF));
  out->push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void put32(std::vector<uint8_t>* out, int32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<uint8_t>((value >> shift) & 0xFF));
}

// A block: its type, its size counting the size field itself, its data.
void put_block(std::vector<uint8_t>* out, uint8_t type, const std::vector<uint8_t>& data) {
  out->push_back(type);
  put32(out, static_cast<int32_t>(data.size() + 4));
  out->insert(out->end(), data.begin(), data.end());
}

bool write_image(const std::vector<Glyph>& glyphs, int size, const std::string& path) {
  FIBITMAP* image = FreeImage_Allocate(size, size, 32, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK);
  if (!image) return false;
  for (int row = 0; row < size; ++row) {
    uint8_t* line = FreeImage_GetScanLine(image, row);
    for (int x = 0; x < size; ++x) {
      line[x * 4 + FI_RGBA_RED] = 255;
      line[x * 4 + FI_RGBA_GREEN] = 255;
      line[x * 4 + FI_RGBA_BLUE] = 255;
      line[x * 4 + FI_RGBA_ALPHA] = 0;
    }
  }
  // FreeImage counts scan lines from the bottom.
  for (const Glyph& g : glyphs)
    for (int gy = 0; gy < g.height; ++gy) {
      uint8_t* line = FreeImage_GetScanLine(image, size - 1 - (g.y + gy));
      for (int gx = 0; gx < g.width; ++gx)
        line[(g.x + gx) * 4 + FI_RGBA_ALPHA] = g.coverage[static_cast<size_t>(gy) * g.width + gx];
    }
  bool saved = FreeImage_Save(FIF_PNG, image, path.c_str(), PNG_Z_BEST_COMPRESSION) != 0;
  FreeImage_Unload(image);
  return saved;
}

bool write_metrics(const std::vector<Glyph>& glyphs, const std::vector<FontKerning>& pairs, int pixel_size,
                   int line_height, int base, int image_size, const char* family, const std::string& path) {
  std::vector<uint8_t> out = {'F', 'N', 'T', 1};  // header, not interpreted by the loader

  // 1: info (pixel size, family name); 2: common (line height, base, image
  // size). The engine skips both; they document the file.
  std::vector<uint8_t> info;
  put16(&info, pixel_size);
  for (const char* c = family; *c; ++c) info.push_back(static_cast<uint8_t>(*c));
  info.push_back(0);
  put_block(&out, 1, info);
  std::vector<uint8_t> common;
  put16(&common, line_height);
  put16(&common, base);
  put16(&common, image_size);
  put16(&common, image_size);
  put_block(&out, 2, common);

  std::vector<uint8_t> chars;
  for (const Glyph& g : glyphs) {
    put16(&chars, g.code);
    put16(&chars, g.x);
    put16(&chars, g.y);
    put16(&chars, g.width);
    put16(&chars, g.height);
    put16(&chars, g.left);         // x offset
    put16(&chars, base - g.top);   // y offset: from the line's top, y down
    put16(&chars, g.advance);
    put16(&chars, 0);
  }
  put_block(&out, FONT_BLOCK_CHARS, chars);

  if (!pairs.empty()) {
    std::vector<uint8_t> kerning;
    for (const FontKerning& pair : pairs) {
      put16(&kerning, pair.first);
      put16(&kerning, pair.second);
      put16(&kerning, pair.amount);
    }
    put_block(&out, FONT_BLOCK_KERNING, kerning);
  }

  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: font_tool FONT_FILE PIXEL_SIZE OUT_DIR\n");
    return 2;
  }
  const char* font_file = argv[1];
  const int pixel_size = std::atoi(argv[2]);
  std::string out_dir = argv[3];
  if (!out_dir.empty() && out_dir.back() != '/') out_dir += '/';
  if (pixel_size < 4 || pixel_size > 256) {
    std::fprintf(stderr, "font_tool: pixel size must be 4 to 256\n");
    return 2;
  }

  FT_Library library;
  FT_Face face;
  if (FT_Init_FreeType(&library) != 0) {
    std::fprintf(stderr, "font_tool: FreeType could not start\n");
    return 1;
  }
  if (FT_New_Face(library, font_file, 0, &face) != 0 || FT_Set_Pixel_Sizes(face, 0, pixel_size) != 0) {
    std::fprintf(stderr, "font_tool: cannot read %s\n", font_file);
    FT_Done_FreeType(library);
    return 1;
  }

  // FreeType metrics are 26.6 fixed point.
  const int base = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
  const int line_height = static_cast<int>((face->size->metrics.height + 63) >> 6);

  std::vector<Glyph> glyphs;
  for (int code = FIRST_CHAR; code <= LAST_CHAR; ++code) {
    unsigned index = FT_Get_Char_Index(face, static_cast<FT_ULong>(code));
    if (index == 0 || FT_Load_Glyph(face, index, FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    Glyph g{code,
            index,
            static_cast<int>(bitmap.width),
            static_cast<int>(bitmap.rows),
            slot->bitmap_left,
            slot->bitmap_top,
            static_cast<int>((slot->advance.x + 32) >> 6),
            {}};
    g.coverage.resize(static_cast<size_t>(g.width) * g.height);
    for (int y = 0; y < g.height; ++y)
      for (int x = 0; x < g.width; ++x)
        g.coverage[static_cast<size_t>(y) * g.width + x] = bitmap.buffer[y * bitmap.pitch + x];
    glyphs.push_back(std::move(g));
  }

  std::vector<FontKerning> pairs;
  if (FT_HAS_KERNING(face))
    for (const Glyph& a : glyphs)
      for (const Glyph& b : glyphs) {
        FT_Vector delta;
        if (FT_Get_Kerning(face, a.glyph_index, b.glyph_index, FT_KERNING_DEFAULT, &delta) != 0) continue;
        int amount = static_cast<int>(delta.x >> 6);
        if (amount != 0)
          pairs.push_back(FontKerning{static_cast<uint16_t>(a.code), static_cast<uint16_t>(b.code),
                                      static_cast<int16_t>(amount)});
      }

  int size = 64;
  while (size <= MAX_IMAGE_SIZE && !pack(&glyphs, size)) size *= 2;
  if (size > MAX_IMAGE_SIZE) {
    std::fprintf(stderr, "font_tool: glyphs do not fit a %d image\n", MAX_IMAGE_SIZE);
    return 1;
  }

  FreeImage_Initialise(FALSE);
  bool ok = write_image(glyphs, size, out_dir + "FONT.png") &&
            write_metrics(glyphs, pairs, pixel_size, line_height, base, size,
                          face->family_name ? face->family_name : "", out_dir + "FONT.fnt");
  FreeImage_DeInitialise();
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  if (!ok) {
    std::fprintf(stderr, "font_tool: cannot write into %s\n", out_dir.c_str());
    return 1;
  }
  std::printf("%zu glyphs, %zu kerning pairs, %dx%d image\n", glyphs.size(), pairs.size(), size, size);
  return 0;
}
