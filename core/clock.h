// The engine clock: the one place engine time is read. Milliseconds, 32 bits.
// It follows the monotonic system clock, or, in fixed-step mode, advances by an
// exact step per drawn frame so that a script plays the same on every run.
// Reading is safe from any thread; start, fixed-step set-up and advancing belong
// to the render thread.
#pragma once

#include <cstdint>

// The tick count a frame takes as `now`.
uint32_t engine_clock_now();

// Milliseconds since the engine clock was started (engine start-up). What the
// script's `time` reports: small numbers stay exact in a 32-bit float.
uint32_t engine_clock_since_start();

// Marks the start of engine time; called when the engine record is built.
void engine_clock_start();

// Fixed-step mode: from now on the clock starts at 0 and moves only by
// engine_clock_advance_frame, `step_ms` (which may be fractional) per frame.
// A step of 0 or below returns to the system clock.
void engine_clock_set_fixed_step(double step_ms);
bool engine_clock_fixed();

// Fixed-step mode: one frame was drawn; the clock moves to the next frame's time.
void engine_clock_advance_frame();

// Frames drawn since the fixed-step clock started (0 on the system clock).
uint64_t engine_clock_frames();

// A position in milliseconds that the clock can follow (a music track playing
// on the system clock); false once it no longer advances (the track ended),
// with its last position written all the same.
// Called from any thread that reads the clock.
using ClockSource = bool (*)(uint32_t* position_ms);

// On the system clock: from now on engine time moves as the source's position
// does, starting from the engine time of this call, so the scene keeps to the
// track when frames drop. Null, or a source that reports false, hands the clock
// back to the system clock where it stands: engine time never jumps. Ignored
// on the fixed-step clock, where the track follows the clock instead.
void engine_clock_follow(ClockSource source);
