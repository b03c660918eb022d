#include "core/clock.h"

#include <atomic>
#include <cmath>
#include <mutex>

#include "platform/platform.h"

static std::atomic<uint32_t> clock_origin{0};
static std::atomic<bool> fixed_mode{false};
static double fixed_step_ms = 0.0;
static std::atomic<uint64_t> fixed_frames{0};
static std::atomic<uint32_t> fixed_now{0};

// The system clock once a source has been followed: ticks + offset, or, while
// a source is followed, anchor_now + (position - anchor_position).
static std::atomic<bool> adjusted{false};
static std::mutex follow_mutex;
static ClockSource follow_source = nullptr;
static uint32_t system_offset = 0, anchor_now = 0, anchor_position = 0;

// Under follow_mutex.
static uint32_t followed_now() {
  if (follow_source) {
    uint32_t position = 0;
    if (follow_source(&position)) return anchor_now + (position - anchor_position);
    // Ended: the system clock goes on from the last position.
    uint32_t now = anchor_now + (position - anchor_position);
    follow_source = nullptr;
    system_offset = now - platform::ticks_ms();
    return now;
  }
  return platform::ticks_ms() + system_offset;
}

uint32_t engine_clock_now() {
  if (fixed_mode.load(std::memory_order_acquire)) return fixed_now.load(std::memory_order_acquire);
  if (!adjusted.load(std::memory_order_acquire)) return platform::ticks_ms();
  std::lock_guard<std::mutex> lock(follow_mutex);
  return followed_now();
}

void engine_clock_follow(ClockSource source) {
  if (fixed_mode.load()) return;
  std::lock_guard<std::mutex> lock(follow_mutex);
  uint32_t now = adjusted.load() ? followed_now() : platform::ticks_ms();
  follow_source = nullptr;
  system_offset = now - platform::ticks_ms();
  uint32_t position = 0;
  if (source && source(&position)) {
    follow_source = source;
    anchor_now = now;
    anchor_position = position;
  }
  adjusted.store(true, std::memory_order_release);
}

uint32_t engine_clock_since_start() { return engine_clock_now() - clock_origin.load(std::memory_order_relaxed); }

void engine_clock_start() {
  if (fixed_mode.load()) {
    fixed_frames.store(0);
    fixed_now.store(0);
  }
  clock_origin.store(engine_clock_now(), std::memory_order_relaxed);
}

void engine_clock_set_fixed_step(double step_ms) {
  if (!(step_ms > 0.0)) {
    fixed_mode.store(false);
    return;
  }
  fixed_step_ms = step_ms;
  fixed_frames.store(0);
  fixed_now.store(0);
  fixed_mode.store(true, std::memory_order_release);
  clock_origin.store(0);
}

bool engine_clock_fixed() { return fixed_mode.load(std::memory_order_acquire); }

void engine_clock_advance_frame() {
  if (!fixed_mode.load()) return;
  uint64_t frames = fixed_frames.load() + 1;
  // Frame k stands at k * step, rounded: fractional steps (1000 / 60) do not drift.
  double at = std::llround(static_cast<double>(frames) * fixed_step_ms);
  fixed_now.store(static_cast<uint32_t>(static_cast<uint64_t>(at)), std::memory_order_release);
  fixed_frames.store(frames, std::memory_order_release);
}

uint64_t engine_clock_frames() { return fixed_frames.load(std::memory_order_acquire); }
