#include "commands/destroy_scene.h"

#include "core/element_class.h"
#include "core/engine.h"
#include "core/window.h"
#include "media/music.h"
#include "resources/font.h"
#include "resources/texture_manager.h"
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

  // Every slot is empty now; a table a test filled by hand is emptied too.
  SceneTables& scene = engine->scene;
  for (auto* table_count : {&scene.objects.count, &scene.shadows.count, &scene.csgs.count, &scene.flares.count,
                            &scene.waters.count, &scene.fluides.count, &scene.texgfxs.count, &scene.particles.count,
                            &scene.deforms.count, &scene.framers.count, &scene.lights.count})
    *table_count = 0;

  // The font: its character and kerning tables and its texture.
  freeFont(engine);

  // Music outlives a script's clean-up, as textures do, so that one track
  // can run under every section of a scene.
  if (at_shutdown) music().unload_all();

  if (at_shutdown && engine->scene.script_runner) {
    delete engine->scene.script_runner;
    engine->scene.script_runner = nullptr;
  }
}

void destroyScene(Engine* engine, bool at_shutdown) {
  destroy_scene(engine_classes(), engine, at_shutdown);
}

// An engine going away (shut-down, or a record a test made) releases its
// scene and, in its own context, its textures.
static void release_scene(Engine* engine) {
  if (engine->window.hglrc) make_engine_current();
  destroyScene(engine, /*at_shutdown=*/true);
  if (engine->window.hglrc) clearTextures(engine);
}
[[maybe_unused]] static const bool releaser_installed = (set_scene_releaser(&release_scene), true);
