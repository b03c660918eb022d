#include "mesh/buffer_refresh.h"

#include "core/engine.h"
#include "mesh/object.h"

void markBuffersStale(cObject* object) {
  if (object) object->buffersStale = 1;
}

void refreshStaleBuffers(Engine* engine) {
  int count = engine->scene.objects.count < MAX_ELEMENTS ? engine->scene.objects.count : MAX_ELEMENTS;
  for (int slot = 0; slot < count; ++slot) {
    cObject* object = engine->scene.objects[slot];
    if (!object || !object->buffersStale) continue;
    object->refreshBuffers();
    object->buffersStale = 0;
  }
}
