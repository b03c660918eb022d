// Object drawing helpers shared with other elements: the view-frustum planes,
// the box and point tests, and the per-frame triangle counter. Render thread
// only. The object draw itself is cObject::draw / drawGroup / drawGlowMask.
#pragma once

struct Engine;

// Six planes (a, b, c, d), each normalised by the length of (a, b, c), from
// clip = projection x modelview (column-major as GL gives them): the fourth
// row plus and minus each of the first three.
void frustumFromMatrices(const float projection[16], const float modelview[16], float planes[6][4]);
// Recomputes engine->view.frustum from the current GL matrices, so the planes are
// in whatever space the modelview matrix is at the moment.
void computeFrustum(Engine* engine);

// Visible unless all 8 corners lie on or behind one plane.
bool boxInFrustum(const float planes[6][4], const float corners[8][3]);
// Strictly on the positive side of all 6 planes.
bool pointInFrustum(const float planes[6][4], const float point[3]);

// Triangles drawn since the last reset (groups, text quads, shadow edges...).
void addFrameTriangles(Engine* engine, int count);
int frameTriangles(const Engine* engine);
void resetFrameTriangles(Engine* engine);

// Source and destination blend factors of a part's blendMode (tmode), for the
// object draw and for the glow mask.
void objectBlendFunction(int blend_mode, unsigned* source, unsigned* destination);
void glowBlendFunction(int blend_mode, unsigned* source, unsigned* destination);
