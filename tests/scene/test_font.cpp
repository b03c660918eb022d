// The bitmap font: reading the metrics file, drawing text (lookup, kerning,
// texture orientation) in pixels, loading at start-up, by `loadfont` and
// release by `cleanup`, and the font tool's output drawn as readable text.
#include <FreeImage.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "commands/dispatch.h"
#include "core/engine.h"
#include "platform/platform.h"
#include "resources/font.h"
#include "script/command_ring.h"
#include "tests/support/gl_fixture.h"

namespace {

// ---- writing test fonts -------------------------------------------------------

struct Metrics {
  std::string bytes = std::string("HDR\0", 4);

  void u16(int v) {
    bytes += static_cast<char>(v & 0xFF);
    bytes += static_cast<char>((v >> 8) & 0xFF);
  }
  void block(int type, const std::string& data) {
    bytes += static_cast<char>(type);
    int32_t size = static_cast<int32_t>(data.size()) + 4;
    for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((size >> shift) & 0xFF);
    bytes += data;
  }
  static std::string chr(int id, int x, int y, int w, int h, int xoff, int yoff, int advance) {
    Metrics m;
    m.bytes.clear();
    for (int v : {id, x, y, w, h, xoff, yoff, advance, 0}) m.u16(v);
    return m.bytes;
  }
  static std::string pair(int first, int second, int amount) {
    Metrics m;
    m.bytes.clear();
    for (int v : {first, second, amount}) m.u16(v);
    return m.bytes;
  }
};

void write_image(const DataFolder& data, const std::string& name, int size,
                 const std::function<bool(int x, int y)>& white_at) {
  FIBITMAP* image = FreeImage_Allocate(size, size, 24, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK);
  for (int y = 0; y < size; ++y) {
    // Scan lines count from the bottom; y here from the top, as glyph records do.
    uint8_t* line = FreeImage_GetScanLine(image, size - 1 - y);
    for (int x = 0; x < size; ++x) {
      uint8_t v = white_at(x, y) ? 255 : 0;
      line[x * 3] = line[x * 3 + 1] = line[x * 3 + 2] = v;
    }
  }
  FreeImage_Save(FIF_PNG, image, (data.path() + name).c_str(), 0);
  FreeImage_Unload(image);
}

class Font : public EngineTest {
 protected:
  int32_t run(int type, const char* name, float n = 0, float a = 0) {
    int32_t result = -7;
    EXPECT_EQ(dispatch_command(CommandContext{engine, engine_classes()}, type, name, CommandArgs{n, a, 0, 0, 0},
                               &result),
              0)
        << name;
    return result;
  }

  // "A" and "V": 8 x 8 white cells advancing 10; "T": white in its top half
  // only. Kerning (A, V, -2).
  void write_block_font() {
    write_image(*data, "FONT.png", 64, [](int x, int y) { return (x < 16 && y < 8) || (x >= 16 && x < 24 && y < 4); });
    Metrics m;
    m.block(4, Metrics::chr('A', 0, 0, 8, 8, 0, 0, 10) + Metrics::chr('V', 8, 0, 8, 8, 0, 0, 10) +
                   Metrics::chr('T', 16, 0, 8, 8, 0, 0, 10));
    m.block(5, Metrics::pair('A', 'V', -2));
    data->write("FONT.fnt", m.bytes);
  }

  // One frame with the text drawn in a y-down pixel space at (100, 100), scale 4.
  void present_text(const char* text, float scale = 4) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, window_width, window_height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    drawText(engine, 100, 100, 0, scale, scale, text, 1, 1, 1, 1);
    platform::swap_buffers(engine->window.hwnd);
  }

  // Brightness at (x, y) counted from the top-left, as the text space counts.
  int lit(int x, int y) {
    int r = 0, g = 0, b = 0;
    presented_pixel(x, window_height - 1 - y, &r, &g, &b);
    return r;
  }
};

TEST_F(Font, MetricsBlocksAreReadSkippedAndBounded) {
  Metrics m;
  m.block(1, "info that is skipped");
  m.block(2, "common");
  m.bytes += '\x09';  // an unknown type byte: the next byte is a new block type
  m.block(4, Metrics::chr('A', 1, 2, 3, 4, -5, 6, 7) + Metrics::chr(200, 0, 0, 0, 0, 0, 0, 0) + "xy");
  m.block(5, Metrics::pair('A', 'V', -2) + Metrics::pair('L', 'T', -3));
  std::vector<FontChar> chars;
  std::vector<FontKerning> kerning;
  auto parse = [&](const std::string& bytes) {
    chars.clear();
    kerning.clear();
    parseFontMetrics(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &chars, &kerning);
  };
  parse(m.bytes);
  ASSERT_EQ(chars.size(), 2u);
  EXPECT_EQ(chars[0].id, 'A');
  EXPECT_EQ(chars[0].y, 2);
  EXPECT_EQ(chars[0].height, 4);
  EXPECT_EQ(chars[0].xOffset, -5);
  EXPECT_EQ(chars[0].xAdvance, 7);
  EXPECT_EQ(chars[1].id, 200);
  ASSERT_EQ(kerning.size(), 2u);
  EXPECT_EQ(kerning[1].first, 'L');
  EXPECT_EQ(kerning[1].amount, -3);

  // A block running beyond the file ends the reading before its records.
  Metrics cut;
  cut.block(4, Metrics::chr('A', 0, 0, 1, 1, 0, 0, 1));
  cut.bytes += '\x05';
  for (char c : {'\x40', '\0', '\0', '\0'}) cut.bytes += c;  // 64 bytes announced
  cut.bytes += Metrics::pair('A', 'V', -2);
  parse(cut.bytes);
  EXPECT_EQ(chars.size(), 1u);
  EXPECT_TRUE(kerning.empty());

  // A size below its own 4 bytes ends the reading too; so does a file cut in a size.
  Metrics bad;
  bad.bytes += std::string("\x01\x02\0\0\0", 5);
  bad.block(4, Metrics::chr('A', 0, 0, 1, 1, 0, 0, 1));
  parse(bad.bytes);
  EXPECT_TRUE(chars.empty());
  parse(std::string("HDR\0\x04\x16\0", 7));
  EXPECT_TRUE(chars.empty());
  parse("HD");
  EXPECT_TRUE(chars.empty());
}

TEST_F(Font, KerningMovesTheSecondCharacterOnlyAfterTheFirst) {
  write_block_font();
  start();
  ASSERT_EQ(engine->resources.font_char_count, 3);  // loaded at GL start-up
  ASSERT_EQ(engine->resources.font_kerning_count, 1);

  // A at 100..132, V pulled 2 units (8 pixels) left: 132..164.
  present_text("AV");
  EXPECT_GT(lit(116, 116), 200);
  EXPECT_GT(lit(136, 116), 200);
  EXPECT_LT(lit(168, 116), 50);

  // V then A: no pair, A at 140..172 after a gap.
  present_text("VA");
  EXPECT_LT(lit(136, 116), 50);
  EXPECT_GT(lit(168, 116), 200);

  // A character without a record draws and advances nothing.
  present_text("?A");
  EXPECT_GT(lit(116, 116), 200);
  EXPECT_LT(lit(136, 116), 50);
  // Nor does a byte above 127, compared as a negative number.
  present_text("\xC1" "A");
  EXPECT_GT(lit(116, 116), 200);
}

TEST_F(Font, GlyphsAreUprightInAYDownSpace) {
  write_block_font();
  start();
  present_text("T");
  EXPECT_GT(lit(116, 104), 200);  // the top half of the cell is white
  EXPECT_LT(lit(116, 126), 50);
  // Additive: colour scales the glyph.
  glClear(GL_COLOR_BUFFER_BIT);
  drawText(engine, 100, 100, 0, 4, 4, "A", 0.5f, 0, 0, 1);
  platform::swap_buffers(engine->window.hwnd);
  EXPECT_NEAR(lit(116, 116), 128, 10);
}

TEST_F(Font, NothingIsDrawnWithoutCharacters) {
  write_block_font();
  start();
  present_text("");
  EXPECT_LT(lit(116, 116), 50);

  // Only blocks 1 to 3: the tables stay empty and text is invisible.
  Metrics m;
  m.block(1, "info");
  m.block(2, "common");
  m.block(3, "pages");
  data->write("FONT.fnt", m.bytes);
  run(CMD_SCENE, "loadfont");
  EXPECT_EQ(engine->resources.font_chars, nullptr);
  EXPECT_EQ(engine->resources.font_char_count, 0);
  present_text("AV");
  EXPECT_LT(lit(116, 116), 50);

  // No metrics file at all: the same.
  std::remove((data->path() + "FONT.fnt").c_str());
  run(CMD_SCENE, "loadfont");
  EXPECT_EQ(engine->resources.font_chars, nullptr);
}

TEST_F(Font, LoadfontReplacesTheFontAndCleanupReleasesIt) {
  start();
  EXPECT_EQ(engine->resources.font_chars, nullptr);
  write_block_font();
  engine->pacing.running = 1;
  run(CMD_SCENE, "loadfont");
  EXPECT_EQ(engine->pacing.running, 1);
  EXPECT_EQ(engine->resources.font_char_count, 3);
  ASSERT_TRUE(engine->resources.textures[engine->resources.font_texture].inUse);
  EXPECT_EQ(engine->resources.textures[engine->resources.font_texture].width, 64);

  run(CMD_SCENE, "cleanup");
  EXPECT_EQ(engine->resources.font_chars, nullptr);
  EXPECT_EQ(engine->resources.font_kerning, nullptr);
  EXPECT_EQ(engine->resources.font_char_count, 0);
  EXPECT_FALSE(engine->resources.textures[engine->resources.font_texture].inUse);
  present_text("AV");
  EXPECT_LT(lit(116, 116), 50);
}

TEST_F(Font, TheToolsFontDrawsReadableText) {
  std::string tool = std::string(TALPINE_BINARY);
  tool = tool.substr(0, tool.rfind('/')) + "/tools/font_tool";
  const char* dejavu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  std::string command = tool + " " + dejavu + " 24 " + data->path() + " > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  std::string image_path = data->path() + "FONT.png";
  FIBITMAP* image = FreeImage_Load(FIF_PNG, image_path.c_str(), 0);
  ASSERT_TRUE(image);
  unsigned size = FreeImage_GetWidth(image);
  EXPECT_EQ(FreeImage_GetHeight(image), size);
  EXPECT_EQ(size & (size - 1), 0u);
  EXPECT_EQ(FreeImage_GetBPP(image), 32u);
  FreeImage_Unload(image);

  start();
  ASSERT_EQ(engine->resources.font_char_count, 95);  // 32 to 126
  EXPECT_GT(engine->resources.font_kerning_count, 0);

  present_text("HELLO", 2);
  // The H's left stem is solid, the middle of its upper half is dark; nothing
  // lies above the line or beyond the word.
  int stem = 0, inside = 0, above = 0, beyond = 0;
  for (int y = 110; y < 140; ++y) stem = std::max(stem, lit(106, y));
  for (int y = 106; y < 118; ++y) inside = std::max(inside, lit(116, y));
  for (int x = 90; x < 320; ++x) above = std::max(above, lit(x, 95));
  for (int y = 100; y < 160; ++y) beyond = std::max(beyond, lit(300, y));
  EXPECT_GT(stem, 200);
  EXPECT_LT(inside, 60);
  EXPECT_LT(above, 30);
  EXPECT_LT(beyond, 30);
}

}  // namespace
