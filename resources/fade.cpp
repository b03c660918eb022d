#include "resources/fade.h"

#include <GL/gl.h>

#include "core/engine.h"
#include "platform/gl_api.h"

void draw_fade(Engine* engine) {
  // Alpha-blended full-screen quad
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glFrontFace(GL_CW);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);

  begin_identity_matrices();
  glColor4fv(engine->fog.fade_color);
  gl_screen_quad();
  end_identity_matrices();

  // One step at most per frame, and only 10 ms after the last step's time + 10.
  if (engine->pacing.now > engine->fog.fade_next + 10) {
    engine->fog.fade_next = engine->pacing.now + 10;
    engine->fog.fade_color[3] += engine->fog.fade_step;
    if (engine->fog.fade_color[3] <= 0.0f || engine->fog.fade_color[3] >= 1.0f) engine->fog.fade_on = 0;
  }

  // Restore; GL_TEXTURE_2D stays disabled until the next pass enables it.
  glDisable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);
}
