// The geometry debug displays, drawn after the scene when the `geometry` mode
// is set: 1 part and object boxes with part numbers, 2 vertex labels, 3
// triangle labels, 4 keyframe paths. World space, over everything; expects the
// camera on the modelview stack and the geometry pass's state (depth test,
// culling and lighting off, blending on). Render thread only. Leaves
// GL_TEXTURE_2D enabled.
#pragma once

struct Engine;

// Draws display `mode`; other modes draw nothing.
void drawDebugDisplay(Engine* engine, int mode);
