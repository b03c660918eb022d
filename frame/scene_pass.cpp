#include "frame/scene_pass.h"

#include "core/element_class.h"
#include "frame/frame_stats.h"

void scene_pass(Engine* engine) {
  const ClassRegistry& classes = engine_classes();
  run_timed_stage(classes, STAGE_OPAQUE, engine, PART_SCENE);
  run_timed_stage(classes, STAGE_BLENDED, engine, PART_SCENE);
}
