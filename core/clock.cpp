#include "core/clock.h"

#include <atomic>

#include "platform/platform.h"

static std::atomic<uint32_t> clock_origin{0};

uint32_t engine_clock_now() { return platform::ticks_ms(); }

uint32_t engine_clock_since_start() { return engine_clock_now() - clock_origin.load(std::memory_order_relaxed); }

void engine_clock_start() { clock_origin.store(engine_clock_now(), std::memory_order_relaxed); }
