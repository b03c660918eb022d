#include "commands/destroy_scene.h"

#include "core/engine.h"
#include "script/script_runner.h"

void destroyScene(Engine* engine, bool at_shutdown) {
  engine->object_count = 0;
  engine->shadow_count = 0;
  engine->csg_count = 0;
  engine->light_count = 0;
  engine->flare_count = 0;
  engine->water_count = 0;
  engine->fluide_count = 0;
  engine->texgfx_count = 0;
  engine->particle_count = 0;
  engine->deform_count = 0;
  engine->framer_count = 0;

  if (at_shutdown && engine->script_runner) {
    delete engine->script_runner;
    engine->script_runner = nullptr;
  }
}
