// Screenshots in a started engine: the numbering of the files, the viewport's
// size with padded rows, an upright picture, and the `save` command and the
// screenshot key that take them.
#include <FreeImage.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "commands/dispatch.h"
#include "core/engine.h"
#include "frame/input.h"
#include "platform/platform.h"
#include "resources/screenshot.h"
#include "script/command_ring.h"
#include "tests/support/gl_fixture.h"

namespace {

class Screenshots : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    start();
  }
  bool exists(const std::string& name) {
    FILE* file = std::fopen((data->path() + name).c_str(), "rb");
    if (file) std::fclose(file);
    return file != nullptr;
  }
  // Presents black with a red column at x = 50 and a green block in the top
  // left corner of a 101 x 60 area.
  void present_pattern() {
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(50, 0, 1, 60);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glScissor(0, 50, 10, 10);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    platform::swap_buffers(engine->window.hwnd);
  }
};

TEST_F(Screenshots, NumberingTakesTheFirstFreeName) {
  EXPECT_EQ(nextScreenshotPath(engine), data->path() + "screen1.png");
  data->write("screen1.png", "x");
  data->write("screen3.png", "x");
  EXPECT_EQ(nextScreenshotPath(engine), data->path() + "screen2.png");
  data->write("screen2.png", "x");
  EXPECT_EQ(nextScreenshotPath(engine), data->path() + "screen4.png");
}

TEST_F(Screenshots, TheViewportsSizeWithPaddedRowsUpright) {
  EXPECT_EQ(screenshotRowSize(101), 304);
  EXPECT_EQ(screenshotRowSize(100), 300);
  EXPECT_EQ(screenshotRowSize(1), 4);

  present_pattern();
  // A render pass's viewport, smaller than the window and not a multiple of 4.
  glViewport(0, 0, 101, 60);
  std::vector<uint8_t> bgr;
  ASSERT_TRUE(readFrontBuffer(101, 60, &bgr));
  ASSERT_EQ(bgr.size(), 304u * 60u);
  EXPECT_EQ(bgr[59 * 304 + 50 * 3 + 2], 255);  // red of the top row's column

  EXPECT_EQ(saveScreenshot(engine), 1);
  ASSERT_TRUE(exists("screen1.png"));
  std::string path = data->path() + "screen1.png";
  ASSERT_EQ(FreeImage_GetFileType(path.c_str(), 0), FIF_PNG);
  FIBITMAP* image = FreeImage_Load(FIF_PNG, path.c_str(), 0);
  ASSERT_TRUE(image);
  EXPECT_EQ(FreeImage_GetWidth(image), 101u);
  EXPECT_EQ(FreeImage_GetHeight(image), 60u);
  EXPECT_EQ(FreeImage_GetBPP(image), 24u);
  // FreeImage counts rows from the bottom: the column stays straight from the
  // bottom row to the top one, and the green block is at the top.
  RGBQUAD colour;
  for (unsigned y : {0u, 30u, 59u}) {
    ASSERT_TRUE(FreeImage_GetPixelColor(image, 50, y, &colour));
    EXPECT_EQ(colour.rgbRed, 255) << y;
    EXPECT_EQ(colour.rgbGreen, 0) << y;
    ASSERT_TRUE(FreeImage_GetPixelColor(image, 51, y, &colour));
    EXPECT_EQ(colour.rgbRed, 0) << y;
  }
  ASSERT_TRUE(FreeImage_GetPixelColor(image, 5, 55, &colour));
  EXPECT_EQ(colour.rgbGreen, 255);
  ASSERT_TRUE(FreeImage_GetPixelColor(image, 5, 5, &colour));
  EXPECT_EQ(colour.rgbGreen, 0);
  FreeImage_Unload(image);
}

TEST_F(Screenshots, SaveCommandAndScreenshotKeyWriteTheNextFiles) {
  draw_frames(1);
  int32_t result = -1;
  EXPECT_EQ(dispatch_command(CommandContext{engine, engine_classes()}, CMD_SCENE, "save", CommandArgs{}, &result),
            0);
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(exists("screen1.png"));

  platform::Event key;
  key.type = platform::EventType::KeyDown;
  key.key = engine->input.key_shot;
  window_procedure(key);
  EXPECT_TRUE(exists("screen2.png"));
}

TEST_F(Screenshots, AnUnwritableFileIsLostButStillSucceeds) {
  draw_frames(1);
  std::snprintf(engine->paths.data_path, sizeof engine->paths.data_path, "%s", (data->path() + "missing/").c_str());
  EXPECT_EQ(saveScreenshot(engine), 1);
  EXPECT_FALSE(exists("missing/screen1.png"));
}

}  // namespace
