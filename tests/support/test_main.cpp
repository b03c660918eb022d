// The entry of every test program. Run directly (not through ctest), a test
// program sets up the same headless environment ctest gives it: Mesa's
// software renderer and SDL's offscreen driver, no display server. Values
// already in the environment are kept.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
