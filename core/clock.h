// The engine clock: the one place engine time is read. Milliseconds, 32 bits.
// Safe from any thread (the script's `time` and `sleep` read it too).
#pragma once

#include <cstdint>

// The tick count a frame takes as `now`.
uint32_t engine_clock_now();

// Milliseconds since the engine clock was started (engine start-up). What the
// script's `time` reports: small numbers stay exact in a 32-bit float.
uint32_t engine_clock_since_start();

// Marks the start of engine time; called when the engine record is built.
void engine_clock_start();
