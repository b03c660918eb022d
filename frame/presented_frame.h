// Writing the last presented frame to a file. Render thread only (it may read
// the front buffer); needs the image library initialised (an Engine exists).
#pragma once

// Writes the whole last presented frame as a 24-bit PNG. False when there is
// no frame or the file cannot be written.
bool save_presented_frame(const char* path);
