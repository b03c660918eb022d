// Reading finished frames back for the recorder without waiting for them: each
// frame is read into the next of a small ring of pixel buffer objects, and
// mapped only when the ring comes round to it again, by which time the GPU has
// long finished it. Without pixel buffer objects the read is immediate. Render
// thread only, with the context current.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One frame as it came from GL: rows bottom row first, no padding, of BGRA
// (read back here) or RGB (the headless platform's own copy).
struct CapturedFrame {
  int width = 0, height = 0;
  int channels = 4;        // 4: BGRA, 3: RGB
  int64_t number = 0;      // frames drawn since the engine started, from 0
  uint32_t engine_ms = 0;  // the engine time it was drawn at (since start)
  std::vector<uint8_t> pixels;
};

class FrameGrabber {
 public:
  // `depth` frames in flight at most (1 reads at once).
  explicit FrameGrabber(int depth = 3);
  ~FrameGrabber();  // the buffers must have been released with the context current
  FrameGrabber(const FrameGrabber&) = delete;
  FrameGrabber& operator=(const FrameGrabber&) = delete;

  // Starts reading the back buffer's lower-left width x height. When the ring
  // is full, first completes the oldest read into `done` and returns true.
  bool read(int width, int height, int64_t number, uint32_t engine_ms, CapturedFrame* done);
  // Completes the oldest read still in flight into `done`; false when none is.
  bool complete_oldest(CapturedFrame* done);
  // Deletes the buffers; reads still in flight are dropped.
  void release();

  bool uses_buffer_objects() const { return use_buffers_; }

 private:
  struct Slot {
    unsigned buffer = 0;     // GL name of the pixel buffer object
    size_t capacity = 0;     // bytes it holds
    bool pending = false;
    CapturedFrame frame;     // size and stamps; pixels here when read at once
  };
  std::vector<Slot> ring_;
  int next_ = 0;             // slot the next read goes into
  int oldest_ = 0;           // oldest pending slot
  int in_flight_ = 0;
  bool use_buffers_ = false;
};
