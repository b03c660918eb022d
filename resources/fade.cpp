#include "resources/fade.h"

#include <GL/gl.h>

#include "core/engine.h"

void draw_fade(Engine* engine) {
  // Alpha-blended full-screen quad
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glFrontFace(GL_CW);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);

  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();

  glColor4f(engine->fog.fade_color[0], engine->fog.fade_color[1], engine->fog.fade_color[2], engine->fog.fade_color[3]);
  glBegin(GL_QUADS);
  glVertex3f(-1.0f, 1.0f, 0.0f);
  glVertex3f(1.0f, 1.0f, 0.0f);
  glVertex3f(1.0f, -1.0f, 0.0f);
  glVertex3f(-1.0f, -1.0f, 0.0f);
  glEnd();

  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();

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
