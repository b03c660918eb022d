#include "frame/scene_pass.h"

#include "core/element_class.h"

void scene_pass(Engine* engine) {
  const ClassRegistry& classes = engine_classes();
  classes.run_stage(STAGE_OPAQUE, engine);
  classes.run_stage(STAGE_BLENDED, engine);
}
