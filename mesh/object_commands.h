// The object commands (type code 1) as a class of the command frame: an ordered
// keyword table matched by substring, the first keyword found in the name wins.
// Render thread only.
#pragma once

#include "core/element_class.h"
#include "mesh/object.h"

struct ObjectClass {
  using Element = cObject;
  static constexpr const char* name = "cObject";
  static constexpr int type_code = CMD_OBJECT;
  static constexpr int capacity = MAX_ELEMENTS;
  static auto* table(Engine* engine) { return &engine->scene.objects; }
  // The 44 keywords in matching order; the order is part of the script interface.
  static const ClassKeyword<cObject> keywords[44];
  static void destroy(cObject* object);
  // The scene pass: opaque objects (CSG operands are drawn by their
  // operation), then blended ones, in slot order (no depth sorting).
  static void opaque(Engine* engine);
  static void blended(Engine* engine);
};

// Registered with the dispatcher in commands/class_registry.cpp.
extern const ClassType object_class;
