// Reading frames back through the ring of pixel buffer objects, in a real GL
// context: frames come out whole, in order, with their stamps, however many
// are in flight; and the headless platform hands its own copy to an observer.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "media/frame_grabber.h"
#include "platform/gl_api.h"
#include "platform/platform.h"
#include "tests/support/gl_fixture.h"

namespace {

class Grabber : public EngineTest {
 protected:
  void SetUp() override {
    window_width = 64;
    window_height = 48;
    EngineTest::SetUp();
    start();
  }
  // A frame in the back buffer: all `shade` red, with a blue 8 x 4 block in
  // the lower-left corner so that upside-down reads show.
  static void draw(int shade) {
    glDisable(GL_SCISSOR_TEST);
    glClearColor(shade / 255.0f, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 8, 4);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
  }
  // BGRA of pixel (x, y) from the bottom-left.
  static const uint8_t* at(const CapturedFrame& frame, int x, int y) {
    return frame.pixels.data() + (static_cast<size_t>(y) * frame.width + x) * 4;
  }
};

TEST_F(Grabber, FramesComeOutWholeAndInOrder) {
  FrameGrabber grabber(3);
  EXPECT_TRUE(grabber.uses_buffer_objects());  // Mesa offers pixel buffer objects
  std::vector<CapturedFrame> out;
  for (int k = 0; k < 7; ++k) {
    draw(30 * k + 10);
    CapturedFrame done;
    if (grabber.read(64, 48, 100 + k, 10 * k, &done)) out.push_back(done);
    // The ring holds three: the first frame comes out with the fourth read.
    EXPECT_EQ(out.size(), static_cast<size_t>(k < 3 ? 0 : k - 2)) << k;
  }
  CapturedFrame done;
  while (grabber.complete_oldest(&done)) out.push_back(done);
  EXPECT_FALSE(grabber.complete_oldest(&done));
  ASSERT_EQ(out.size(), 7u);
  for (int k = 0; k < 7; ++k) {
    const CapturedFrame& frame = out[k];
    EXPECT_EQ(frame.number, 100 + k);
    EXPECT_EQ(frame.engine_ms, static_cast<uint32_t>(10 * k));
    EXPECT_EQ(frame.channels, 4);
    ASSERT_EQ(frame.pixels.size(), 64u * 48 * 4);
    const uint8_t* corner = at(frame, 2, 1);  // inside the blue block
    EXPECT_EQ(corner[0], 255);
    EXPECT_EQ(corner[2], 0);
    const uint8_t* top = at(frame, 60, 45);
    EXPECT_EQ(top[0], 0);
    EXPECT_NEAR(top[2], 30 * k + 10, 1) << k;
  }
  grabber.release();
}

TEST_F(Grabber, TheHeadlessSwapHandsItsCopyToTheObserver) {
  struct Seen {
    int calls = 0, width = 0, height = 0;
    std::vector<uint8_t> first_pixel;
  } seen;
  platform::set_swap_observer(
      [](void* context, int width, int height, const uint8_t* rgb) {
        auto* s = static_cast<Seen*>(context);
        ++s->calls;
        s->width = width;
        s->height = height;
        if (rgb) s->first_pixel.assign(rgb, rgb + 3);
      },
      &seen);
  draw(200);
  platform::swap_buffers(engine->window.hwnd);
  // Frames that are not presented reach no observer.
  platform::set_presenting(false);
  platform::swap_buffers(engine->window.hwnd);
  platform::set_presenting(true);
  platform::set_swap_observer(nullptr, nullptr);
  platform::swap_buffers(engine->window.hwnd);
  EXPECT_EQ(seen.calls, 1);
  EXPECT_EQ(seen.width, 64);
  EXPECT_EQ(seen.height, 48);
  ASSERT_EQ(seen.first_pixel.size(), 3u);  // the lower-left pixel: blue
  EXPECT_EQ(seen.first_pixel[0], 0);
  EXPECT_EQ(seen.first_pixel[2], 255);
}

}  // namespace
