#include "commands/destroy_scene.h"

#include "commands/class_table.h"
#include "core/engine.h"
#include "resources/font.h"
#include "script/command_ring.h"
#include "script/script_runner.h"

namespace {

void destroy_single(const ClassRegistry& classes, Engine* engine, int type_code) {
  if (const ClassType* type = classes.find(type_code)) type->destroy(engine, 0);
}

void destroy_slot(const ClassRegistry& classes, Engine* engine, int type_code, int slot) {
  const ClassType* type = classes.find(type_code);
  if (type && slot < type->capacity) type->destroy(engine, slot);
}

// Within one slot number, in this order; a CSG operation goes before the
// objects it marks, and clears the marks of operands that still exist.
constexpr int PER_SLOT_ORDER[] = {
    CMD_TEXGFX, CMD_FLARE, CMD_PARTICLE, CMD_DEFORM, CMD_WATER,
    CMD_FLUIDE, CMD_SHADOW, CMD_CSG, CMD_OBJECT, CMD_FRAMER,
};

}  // namespace

void destroy_scene(const ClassRegistry& classes, Engine* engine, bool at_shutdown) {
  destroy_single(classes, engine, CMD_RADIO);
  destroy_single(classes, engine, CMD_SKYBOX);
  destroy_single(classes, engine, CMD_BLUR);
  destroy_single(classes, engine, CMD_GLOW);
  destroy_single(classes, engine, CMD_BLOOM);

  for (int slot = 0; slot < MAX_ELEMENTS; ++slot)
    for (int type_code : PER_SLOT_ORDER) destroy_slot(classes, engine, type_code, slot);

  for (int light = 0; light < MAX_LIGHTS; ++light) destroy_slot(classes, engine, CMD_LIGHT, light);

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

  // The font: its character and kerning tables and its texture.
  freeFont(engine);

  if (at_shutdown && engine->script_runner) {
    delete engine->script_runner;
    engine->script_runner = nullptr;
  }
}

void destroyScene(Engine* engine, bool at_shutdown) {
  destroy_scene(engine_classes(), engine, at_shutdown);
}
