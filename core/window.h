// The window and its GL context: opening with the initial GL state and the
// extension probe, closing, and making the context current. Render thread only.
#pragma once

struct Engine;

// The window rectangle as four 16-bit values: top, left, height, width.
struct WindowRect {
  short top, left, height, width;
};

// Opens the "Test" window and its context with the initial GL state, the fog
// and the viewport; false on any failure (what was created stays in the Engine
// for shut-down to release). The texture table and the font are started by the
// caller.
bool open_window_and_context(const WindowRect& rect);

// Loads the GL entry points and clears the engine's switches for what the
// context lacks. False when multitexturing (3 units, multitexture,
// texture_env_combine) is missing.
bool load_extensions();

// Releases the context and window the Engine holds.
void close_context(Engine* engine);

// Makes the engine's context current on the calling (render) thread.
void make_engine_current();
