// The platform layer: message records, data-file lookup, key numbers, clock.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/platform.h"
#include "tests/support/e2e.h"

TEST(MessageBox, HeadlessPrintsOneRecordPerMessage) {
  platform::set_print_messages(true);
  testing::internal::CaptureStdout();
  platform::message_box("Talpine Engine 2.02", "script print: 0.250000");
  platform::message_box("Test", "Script error\nline 3: syntax error");
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out,
            "Talpine Engine 2.02: script print: 0.250000\n"
            "Test: Script error\nline 3: syntax error\n");
}

TEST(DataFiles, NamesMatchWithoutRegardToCase) {
  DataFolder data;
  data.write("Font.PNG", "x");
  data.write("sub/Crate.obj", "y");
  EXPECT_EQ(platform::resolve_file(data.path() + "font.png"), data.path() + "Font.PNG");
  EXPECT_EQ(platform::resolve_file(data.path() + "FONT.png"), data.path() + "Font.PNG");
  EXPECT_EQ(platform::resolve_file(data.path() + "sub/CRATE.OBJ"), data.path() + "sub/Crate.obj");
  // Only the file name is matched loosely, not the folders.
  EXPECT_EQ(platform::resolve_file(data.path() + "SUB/crate.obj"), data.path() + "SUB/crate.obj");

  FILE* file = platform::open_file(data.path() + "fOnT.pNg", "rb");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(std::fgetc(file), 'x');
  std::fclose(file);
  EXPECT_EQ(platform::open_file(data.path() + "missing.png", "rb"), nullptr);
}

TEST(DataFiles, ExactNameWinsOverALooseMatch) {
  DataFolder data;
  data.write("a.txt", "lower");
  data.write("A.txt", "upper");
  EXPECT_EQ(platform::resolve_file(data.path() + "A.txt"), data.path() + "A.txt");
  EXPECT_EQ(platform::resolve_file(data.path() + "a.txt"), data.path() + "a.txt");
}

TEST(Keys, SdlKeysCarryWin32VirtualKeyNumbers) {
  EXPECT_EQ(platform::virtual_key_from_sdl(SDLK_a), 65);
  EXPECT_EQ(platform::virtual_key_from_sdl(SDLK_g), 71);
  EXPECT_EQ(platform::virtual_key_from_sdl(SDLK_z), 90);
  EXPECT_EQ(platform::virtual_key_from_sdl(SDLK_0), 48);
  EXPECT_EQ(platform::virtual_key_from_sdl(SDLK_9), 57);
  EXPECT_EQ(platform::virtual_key_from_sdl(SDLK_LEFT), 37);
  EXPECT_EQ(platform::virtual_key_from_sdl(SDLK_UP), 38);
  EXPECT_EQ(platform::virtual_key_from_sdl(SDLK_RIGHT), 39);
  EXPECT_EQ(platform::virtual_key_from_sdl(SDLK_DOWN), 40);
  EXPECT_EQ(platform::virtual_key_from_sdl(SDLK_ESCAPE), 27);
  EXPECT_EQ(platform::virtual_key_from_sdl(SDLK_RETURN), 13);
  EXPECT_EQ(platform::virtual_key_from_sdl(SDLK_F1), 112);
  EXPECT_EQ(platform::virtual_key_from_sdl(SDLK_F12), 123);
  EXPECT_EQ(platform::virtual_key_from_sdl(SDLK_RSHIFT), 16);
  EXPECT_EQ(platform::virtual_key_from_sdl(SDLK_LCTRL), 17);
}

TEST(Clock, MonotonicMilliseconds) {
  uint32_t before = platform::ticks_ms();
  platform::sleep_ms(20);
  uint32_t elapsed = platform::ticks_ms() - before;
  EXPECT_GE(elapsed, 20u);
  EXPECT_LT(elapsed, 5000u);
}
