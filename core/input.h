// The window procedure: turns the platform's events into engine actions.
// Main thread only, between frames (inside the main loop's event dispatch).
#pragma once

#include "platform/platform.h"

// Handles one event. Returns 1 when the event was consumed without default
// handling (the close request), 0 otherwise.
int window_procedure(const platform::Event& event);
