#include "media/frame_grabber.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>

#include "platform/gl_api.h"

FrameGrabber::FrameGrabber(int depth) : ring_(depth < 1 ? 1 : depth) {
  use_buffers_ = gl_capabilities().pixel_buffer_object;
}

FrameGrabber::~FrameGrabber() = default;

// The read state of GL that the grab changes, put back afterwards.
namespace {
struct PackState {
  GLint read_buffer = 0, alignment = 0;
  PackState() {
    glGetIntegerv(GL_READ_BUFFER, &read_buffer);
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
  }
  ~PackState() {
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    glReadBuffer(static_cast<GLenum>(read_buffer));
  }
};
}  // namespace

bool FrameGrabber::read(int width, int height, int64_t number, uint32_t engine_ms, CapturedFrame* done) {
  bool completed = false;
  if (in_flight_ == static_cast<int>(ring_.size())) completed = complete_oldest(done);

  Slot& slot = ring_[next_];
  slot.frame.width = width;
  slot.frame.height = height;
  slot.frame.number = number;
  slot.frame.engine_ms = engine_ms;
  const size_t bytes = static_cast<size_t>(width) * height * 4;
  PackState state;
  if (use_buffers_) {
    if (!slot.buffer) glGenBuffersARB_(1, &slot.buffer);
    glBindBufferARB_(GL_PIXEL_PACK_BUFFER_ARB, slot.buffer);
    if (slot.capacity != bytes) {
      glBufferDataARB_(GL_PIXEL_PACK_BUFFER_ARB, static_cast<GLsizeiptrARB>(bytes), nullptr, GL_STREAM_READ_ARB);
      slot.capacity = bytes;
    }
    // Into the buffer object: returns before the pixels are there.
    glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glBindBufferARB_(GL_PIXEL_PACK_BUFFER_ARB, 0);
  } else {
    slot.frame.pixels.resize(bytes);
    glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, slot.frame.pixels.data());
  }
  slot.pending = true;
  next_ = (next_ + 1) % static_cast<int>(ring_.size());
  ++in_flight_;
  return completed;
}

bool FrameGrabber::complete_oldest(CapturedFrame* done) {
  if (in_flight_ == 0) return false;
  Slot& slot = ring_[oldest_];
  oldest_ = (oldest_ + 1) % static_cast<int>(ring_.size());
  --in_flight_;
  slot.pending = false;
  done->width = slot.frame.width;
  done->height = slot.frame.height;
  done->number = slot.frame.number;
  done->engine_ms = slot.frame.engine_ms;
  done->channels = 4;
  const size_t bytes = static_cast<size_t>(done->width) * done->height * 4;
  done->pixels.resize(bytes);
  if (!use_buffers_) {
    std::memcpy(done->pixels.data(), slot.frame.pixels.data(), bytes);
    return true;
  }
  glBindBufferARB_(GL_PIXEL_PACK_BUFFER_ARB, slot.buffer);
  const void* pixels = glMapBufferARB_(GL_PIXEL_PACK_BUFFER_ARB, GL_READ_ONLY_ARB);
  if (pixels) {
    std::memcpy(done->pixels.data(), pixels, bytes);
    glUnmapBufferARB_(GL_PIXEL_PACK_BUFFER_ARB);
  } else {
    std::memset(done->pixels.data(), 0, bytes);  // a lost mapping: a black frame keeps the count
  }
  glBindBufferARB_(GL_PIXEL_PACK_BUFFER_ARB, 0);
  return true;
}

void FrameGrabber::release() {
  for (Slot& slot : ring_) {
    if (slot.buffer && glDeleteBuffersARB_) glDeleteBuffersARB_(1, &slot.buffer);
    slot = Slot{};
  }
  in_flight_ = 0;
  next_ = oldest_ = 0;
}
