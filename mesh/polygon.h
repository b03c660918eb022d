// Polygons of more than three corners, split into triangles for the readers
// (the OBJ reader's faces). Pure computation: any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Splits the polygon whose `count` corners are `corners` (x, y, z each, in
// order) into count - 2 triangles, appended to `triangles` as corner numbers
// 0 .. count - 1, three a triangle, each wound like the polygon.
//
// A convex polygon gives the fan from its first corner: (0, 1, 2), (0, 2, 3),
// and so on. Any other is cut by ear clipping in the plane that fits it best,
// so that its notches stay empty. A polygon with no area, with corners that
// are not finite, or that crosses itself still gives count - 2 triangles (its
// shape has no right answer), and the work is bounded whatever the corners.
void triangulatePolygon(const float* corners, size_t count, std::vector<uint32_t>* triangles);
