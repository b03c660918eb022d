// CSG: the difference A - B or the intersection A ∩ B of two closed mesh
// objects, shown with the stencil and depth buffers (two-object parity method)
// without changing any geometry. While an operation is active both objects are
// marked and left out of the opaque pass; the CSG pass draws them. Render
// thread only; runs after the shadow pass, whose stencil counts it shares.
#pragma once

#include <cstdint>

#include "core/element_class.h"

struct Engine;

struct cCSG {
  explicit cCSG(Engine* owner) : engine(owner) {}

  int32_t object1 = 0;  // A, the object cut or intersected
  int32_t object2 = 0;  // B, the cutting or intersecting object
  bool opmode = true;   // true: A ∩ B; false: A - B
  bool active = false;
  Engine* engine;
};

// Marks both objects and switches the operation on, when both exist.
void activateCSG(cCSG* csg);
// The CSG pass of the scene pass: every active operation in slot order.
void csgPass(Engine* engine);

extern const ClassType csg_class;
