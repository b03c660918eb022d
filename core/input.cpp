#include "core/input.h"

#include <GL/gl.h>

#include "core/engine.h"
#include "core/gl_context.h"

int window_procedure(const platform::Event& event) {
  Engine* engine = g_engine;
  // Before start-up has finished and after running was cleared, every event
  // gets default handling only.
  if (!engine || !engine->running) return 0;

  switch (event.type) {
    case platform::EventType::SizeChanged:
      glFlush();
      if (engine->hglrc) set_viewport(0.0, -1, -1);
      return 0;
    case platform::EventType::Close:
      engine->running = 0;
      platform::post_quit();
      return 1;
    default:
      return 0;
  }
}
