// The whole engine up and down: the record, the window and its context, the
// texture table and the font, and the script runner. Main thread only.
#pragma once

// Creates and starts the engine; false when one already exists or when the
// window or GL context cannot be created.
bool start_engine();
// Tears the engine down and destroys it; does nothing when none exists.
void stop_engine();
