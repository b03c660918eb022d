// The axis-aligned box around eight world corners, widened on every side: what
// `selection` picks with (bounds inclusive) and what camera collision slides
// along (bounds open).
#pragma once

struct CornerBox {
  float min[3], max[3];

  CornerBox(const float corners[8][3], float widen) {
    for (int axis = 0; axis < 3; ++axis) min[axis] = max[axis] = corners[0][axis];
    for (int corner = 1; corner < 8; ++corner)
      for (int axis = 0; axis < 3; ++axis) {
        if (corners[corner][axis] < min[axis]) min[axis] = corners[corner][axis];
        if (corners[corner][axis] > max[axis]) max[axis] = corners[corner][axis];
      }
    for (int axis = 0; axis < 3; ++axis) {
      min[axis] -= widen;
      max[axis] += widen;
    }
  }

  bool holds_inclusive(double x, double y, double z) const {
    return x >= min[0] && x <= max[0] && y >= min[1] && y <= max[1] && z >= min[2] && z <= max[2];
  }
  bool holds_open(float x, float y, float z) const {
    return x > min[0] && x < max[0] && y > min[1] && y < max[1] && z > min[2] && z < max[2];
  }
};
