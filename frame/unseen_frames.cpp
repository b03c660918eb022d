#include "frame/unseen_frames.h"

#include <GL/gl.h>

#include "core/engine.h"

static bool unseen = false;
static bool limited = false;

void set_unseen_frames(bool on) { unseen = on; }
bool unseen_frames() { return unseen; }

// Whether pictures of this frame reach a later frame: the blur draws its last
// capture, the full-window bloom computes the next frame's bloom after the
// swap, a render target shows its texture (even in its own view), and a flare
// in read-back mode keeps the fade that the depth at its pixel decided.
static bool pictures_carry_over(const Engine* engine) {
  const SceneTables& scene = engine->scene;
  return scene.blur || scene.bloom || scene.texgfxs.count > 0 || scene.flares.count > 0;
}

void limit_unseen_drawing(const Engine* engine) {
  if (!unseen || pictures_carry_over(engine)) return;
  // The scissor test limits clears, drawing and copies alike; every pass
  // that saves and restores GL state gets it back as it was.
  glEnable(GL_SCISSOR_TEST);
  glScissor(engine->view.width / 2, engine->view.height / 2, 1, 1);
  limited = true;
}

void end_unseen_drawing() {
  if (!limited) return;
  glDisable(GL_SCISSOR_TEST);
  limited = false;
}
