#include "mesh/scene_pass.h"

#include <GL/gl.h>

#include "core/engine.h"
#include "lighting/csg.h"
#include "lighting/light.h"
#include "lighting/shadow.h"
#include "mesh/object.h"
#include "resources/skybox.h"

void scene_pass(Engine* engine) {
  updateLights(engine);
  drawSkybox(engine);

  // arrays on, texturing on, blending off
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  if (engine->object_count == 0) return;

  // opaque pass: CSG operands are drawn by their operation
  for (int i = 0; i < engine->object_count; ++i) {
    cObject* object = engine->objects[i];
    if (object && !object->csgMark) object->draw(0);
  }

  // Shadow volumes, then CSG operations (which share the stencil counts).
  shadowPass(engine);
  csgPass(engine);

  // blended pass, in slot order (no depth sorting)
  for (int i = 0; i < engine->object_count; ++i) {
    cObject* object = engine->objects[i];
    if (object && object->blended) object->draw(1);
  }
}
