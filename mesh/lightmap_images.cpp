#include "mesh/lightmap_images.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>

#include "mesh/object.h"
#include "resources/texture_manager.h"

std::string lightmapName(const char* object_name, int part, int material) {
  char name[255];
  if (part >= 0 && part < 10 && material >= 0 && material < 10)
    std::snprintf(name, sizeof name, "%s_%d%d_lite", object_name, part, material);
  else
    std::snprintf(name, sizeof name, "%s_%d_%d_lite", object_name, part, material);
  return name;
}

int loadLightmapImages(cObject* object) {
  int loaded = 0;
  for (int p = 0; p < static_cast<int>(object->parts.size()); ++p) {
    MeshPart& part = object->parts[p];
    for (int m = 0; m < static_cast<int>(part.groups.size()); ++m) {
      MaterialGroup& material = part.groups[m];
      if (material.lightmapCoords.empty()) continue;
      const int slot = loadTexture(object->engine, lightmapName(object->name, p, m).c_str(), GL_CLAMP_TO_EDGE);
      if (slot <= 0) continue;
      material.lightmapTexture = static_cast<int16_t>(slot);
      ++loaded;
    }
  }
  return loaded;
}
