// The object commands (type code 1) as a class of the command frame: an ordered
// keyword table matched by substring, the first keyword found in the name wins.
// Render thread only.
#pragma once

#include "commands/class_table.h"
#include "mesh/object.h"
#include "script/command_ring.h"

struct ObjectClass {
  using Element = cObject;
  static constexpr const char* name = "cObject";
  static constexpr int type_code = CMD_OBJECT;
  static constexpr int capacity = MAX_ELEMENTS;
  static cObject** slots(Engine* engine) { return engine->objects; }
  static int32_t* count(Engine* engine) { return &engine->object_count; }
  // The 44 keywords in matching order; the order is part of the script interface.
  static const ClassKeyword<cObject> keywords[44];
  static void destroy(cObject* object);
};

// Registered with the dispatcher in commands/class_registry.cpp.
extern const ClassType object_class;
