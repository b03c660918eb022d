// Hostile images, end to end: every kind of PNG and JPEG a user may drop into
// the data folder, loaded as a texture by `load` and as the font image at
// start-up. A readable image of any depth gives a texture slot (print 1); a
// file that is not one gives 0; nothing else is printed and the status is 0.
#include <FreeImage.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/engine.h"
#include "resources/texture_manager.h"
#include "tests/resources/image_files.h"
#include "tests/support/e2e.h"

namespace {

// An image of FreeImage type `type` and depth `bpp`, every byte of its pixels
// set from a running pattern, with a colour palette when it has one.
bool write_typed(const std::string& path, FREE_IMAGE_TYPE type, int width, int height, int bpp,
                 FREE_IMAGE_FORMAT format = FIF_PNG) {
  FIBITMAP* image = FreeImage_AllocateT(type, width, height, bpp);
  if (!image) return false;
  if (RGBQUAD* palette = FreeImage_GetPalette(image)) {
    for (unsigned i = 0; i < FreeImage_GetColorsUsed(image); ++i) {
      palette[i].rgbRed = static_cast<BYTE>(i * 7);
      palette[i].rgbGreen = static_cast<BYTE>(255 - i);
      palette[i].rgbBlue = static_cast<BYTE>(i * 3);
    }
  }
  unsigned pitch = FreeImage_GetPitch(image);
  for (int y = 0; y < height; ++y) {
    BYTE* row = FreeImage_GetScanLine(image, y);
    for (unsigned x = 0; x < pitch; ++x) row[x] = static_cast<BYTE>(x * 13 + y);
  }
  bool saved = FreeImage_Save(format, image, path.c_str(), 0);
  FreeImage_Unload(image);
  return saved;
}

std::string source_file(const std::string& relative) {
  std::ifstream in(std::string(TALPINE_SOURCE_DIR) + "/" + relative, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct ImageCase {
  std::string name;  // file name in the data folder
  bool loads;        // a texture slot (1) or 0
};

// Writes every case into the folder; returns them.
std::vector<ImageCase> write_cases(const DataFolder& data) {
  const std::string& d = data.path();
  std::vector<ImageCase> cases;
  auto add = [&](const std::string& file, bool written, bool loads) {
    EXPECT_TRUE(written) << file;
    cases.push_back({file, loads});
  };
  add("one.png", write_image(d + "one.png", 1, 1, 24, 200, 10, 10), true);
  add("grey.png", write_image(d + "grey.png", 30, 20, 8, 90, 0, 0), true);
  add("grey16.png", write_image(d + "grey16.png", 33, 17, 16, 120, 0, 0), true);
  add("rgb16.png", write_typed(d + "rgb16.png", FIT_RGB16, 40, 24, 48), true);
  add("rgba16.png", write_typed(d + "rgba16.png", FIT_RGBA16, 24, 40, 64), true);
  add("palette.png", write_typed(d + "palette.png", FIT_BITMAP, 50, 10, 8), true);
  add("nibbles.png", write_typed(d + "nibbles.png", FIT_BITMAP, 37, 9, 4), true);
  add("bits.png", write_typed(d + "bits.png", FIT_BITMAP, 70, 3, 1), true);
  add("alpha.png", write_image(d + "alpha.png", 65, 65, 32, 1, 2, 3, 4), true);
  add("wide.png", write_image(d + "wide.png", 20000, 2, 24, 5, 6, 7), true);
  add("tall.jpg", write_image(d + "tall.jpg", 3, 20000, 24, 5, 6, 7, 255, FIF_JPEG), true);
  data.write("cmyk.jpg", source_file("tests/robust/data/cmyk.jpg"));
  add("cmyk.jpg", file_bytes(d + "cmyk.jpg").size() > 100, true);

  // Not images: garbage, empty, a PNG cut in half, a JPEG without its end.
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 2654435761u) >> 13));
  data.write("garbage.png", garbage);
  add("garbage.png", true, false);
  data.write("empty.png", "");
  add("empty.png", true, false);
  std::string png = file_bytes(d + "alpha.png");
  data.write("halfpng.png", png.substr(0, png.size() / 2));
  add("halfpng.png", png.size() > 64, false);
  data.write("header.png", png.substr(0, 8));
  add("header.png", png.size() > 8, false);
  return cases;
}

std::string stem(const std::string& file) { return file.substr(0, file.find('.')); }

TEST(HostileImages, EveryKindLoadsAsATextureOrGivesNoSlot) {
  DataFolder data;
  std::vector<ImageCase> cases = write_cases(data);
  std::string script, expected;
  for (const ImageCase& c : cases) {
    script += "t = load(\"" + stem(c.name) + "\");\nprint t > 0;\n";
    expected += std::string("Talpine Engine 2.02: script print: ") + (c.loads ? "1" : "0") + ".000000\n";
  }
  data.write("script.txt", script);
  RunResult run = run_talpine(data, {"--frames", "2"}, false, 180);
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.exit_status, 0) << run.errors;
  EXPECT_EQ(run.output, expected);
}

TEST(HostileImages, AnyKindAsTheFontImageStartsQuietly) {
  // The demo's metrics with each image (or non-image) as FONT: start-up loads
  // it, and text would be drawn with whatever texture resulted.
  DataFolder source;
  std::vector<ImageCase> cases = write_cases(source);
  std::string metrics = source_file("demo/Data/FONT.fnt");
  ASSERT_FALSE(metrics.empty());
  for (const ImageCase& c : cases) {
    DataFolder data;
    std::string extension = c.name.substr(c.name.find('.'));
    data.write("FONT" + extension, file_bytes(source.path() + c.name));
    data.write("FONT.fnt", metrics);
    data.write("script.txt", "scene loadfont;\nprint 1;\n");
    RunResult run = run_talpine(data, {"--frames", "2"}, false, 120);
    EXPECT_EQ(run.exit_status, 0) << c.name << run.errors;
    EXPECT_EQ(run.output, "Talpine Engine 2.02: script print: 1.000000\n") << c.name;
  }
}

// Big-endian bytes for the hand-made headers below.
std::string be(uint32_t value, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<char>(value >> (8 * i)));
  return out;
}

std::string png_chunk(const std::string& type, const std::string& body) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : type + body) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return be(static_cast<uint32_t>(body.size()), 4) + type + body + be(~crc, 4);
}

// A PNG that says it is width x height (colour type 2: RGB, 6: RGBA) and holds
// a few bytes of pixel data at most.
std::string png_header(uint32_t width, uint32_t height, int depth, int colour_type) {
  std::string ihdr = be(width, 4) + be(height, 4) + static_cast<char>(depth) + static_cast<char>(colour_type) +
                     std::string(3, '\0');
  return "\x89PNG\r\n\x1a\n" + png_chunk("IHDR", ihdr) + png_chunk("IDAT", "\x78\x01garbage") +
         png_chunk("IEND", "");
}

// A baseline JPEG of three components that says it is width x height, with
// a quantisation table, the scan header and a few bytes of scan.
std::string jpeg_header(uint16_t width, uint16_t height) {
  auto segment = [](int marker, const std::string& body) {
    return std::string("\xFF") + static_cast<char>(marker) + be(static_cast<uint32_t>(body.size() + 2), 2) + body;
  };
  std::string components;
  for (char id : {1, 2, 3}) components += std::string{id, '\x11', '\0'};
  std::string scan = "\x03";
  for (char id : {1, 2, 3}) scan += std::string{id, '\0'};
  scan += std::string("\0\x3F\0", 3);
  return "\xFF\xD8" + segment(0xDB, std::string(1, '\0') + std::string(64, '\1')) +
         segment(0xC0, "\x08" + be(height, 2) + be(width, 2) + "\x03" + components) + segment(0xDA, scan) +
         std::string(64, '\0') + "\xFF\xD9";
}

TEST(HostileImages, GiantHeadersFailAtOnce) {
  // Headers of a few dozen bytes that ask for 30 GB, 3.6 GB, 3.2 GB and
  // 12.7 GB of pixels: refused before anything is allocated or decoded, each
  // in well under a second. The decoder would clear the whole bitmap first
  // (seconds to minutes) or fail to allocate it.
  DataFolder data;
  data.write("huge.png", png_header(100000, 100000, 8, 2));
  data.write("square.png", png_header(30000, 30000, 8, 6));
  data.write("deep.png", png_header(20000, 20000, 16, 6));
  data.write("vast.jpg", jpeg_header(65000, 65000));
  auto engine = std::make_unique<Engine>();
  std::snprintf(engine->paths.data_path, sizeof engine->paths.data_path, "%s", data.path().c_str());
  for (const char* name : {"huge", "square", "deep", "vast"}) {
    int width = 0, height = 0, bytes = 0;
    auto begun = std::chrono::steady_clock::now();
    std::unique_ptr<uint8_t[]> pixels = loadImagePixels(engine.get(), name, &width, &height, &bytes);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
    EXPECT_EQ(pixels, nullptr) << name;
    EXPECT_LT(seconds, 0.5) << name;
  }

  // A header of a size that fits still loads.
  ASSERT_TRUE(write_image(data.path() + "fits.png", 300, 200, 24, 1, 2, 3));
  int width = 0, height = 0, bytes = 0;
  EXPECT_NE(loadImagePixels(engine.get(), "fits", &width, &height, &bytes), nullptr);
  EXPECT_EQ(width, 256);
  EXPECT_EQ(height, 128);
}

}  // namespace
