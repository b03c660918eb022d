// The full-screen fade: a quad of the fade colour over the finished frame,
// its alpha stepped toward 0 or 1. Render thread only.
#pragma once

struct Engine;

// Draws the full-screen fade quad and steps its alpha (at most once per frame,
// steps at least 20 ms apart). Leaves GL_TEXTURE_2D disabled.
void draw_fade(Engine* engine);
