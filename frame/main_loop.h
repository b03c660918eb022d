// The main loop: a waiting event goes to the window procedure, otherwise one
// frame runs. Ends when `running` is cleared, on the quit request, or when the
// command line's frame limits are reached. Main thread only.
#pragma once

struct Engine;

// Returns the number of frames drawn.
int run_main_loop(Engine* engine);
