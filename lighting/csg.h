// CSG: the difference A - B or the intersection A ∩ B of two closed mesh
// objects, shown with the stencil and depth buffers (two-object parity method)
// without changing any geometry. While an operation is active both objects are
// marked and left out of the opaque pass; the CSG pass draws them. Render
// thread only; runs after the shadow pass, whose stencil counts it shares.
//
// What activation changes it gives back: when the operation is deleted, when
// it takes other operands, and when one of its operands is deleted, both
// operands lose their mark and B its borrowed active flag.
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

  // The operands activation marked, by slot and object serial, and B's own
  // active flag, which the CSG pass overwrites every frame.
  struct Operand {
    int slot = -1;
    uint32_t serial = 0;
  };
  bool claimed = false;
  Operand claimedA, claimedB;
  bool bActive = false;
};

// Marks both objects and switches the operation on, when both exist; the
// operands of an earlier activation are given back first.
void activateCSG(cCSG* csg);
// Gives the claimed operands that still exist their marks and B its active
// flag back; the operation stays as it is otherwise.
void releaseCSGOperands(cCSG* csg);
// The CSG pass of the scene pass: every active operation in slot order.
void csgPass(Engine* engine);

extern const ClassType csg_class;
