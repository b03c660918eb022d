#include "mesh/scene_pass.h"

#include "core/engine.h"

void scene_pass(Engine*) {
  // No scene elements draw yet: objects, lights and the sky box plug in here.
}
