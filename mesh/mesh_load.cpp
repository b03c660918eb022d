// Loading a mesh by name: the .gfx cache first, then the 3D Studio source,
// then the OBJ source, then glTF (.gltf, then .glb), each falling through to
// the next when absent or unreadable; a source load never writes a cache. A
// cache with lightmap coordinates loads the baked images named after the
// object, part and material. Render thread only (the
// buffers are created in the engine's context).
#include <cstdio>
#include <string>

#include "core/engine.h"
#include "mesh/lightmap_images.h"
#include "mesh/loader_3ds.h"
#include "mesh/loader_gltf.h"
#include "mesh/loader_obj.h"
#include "mesh/object.h"
#include "platform/platform.h"

static std::string mesh_file(const Engine* engine, const char* name, const char* extension) {
  return std::string(engine->paths.data_path) + name + "." + extension;
}

static bool load_3ds(cObject* object, const std::string& path) {
  FILE* file = platform::open_file(path, "rb");
  if (!file) return false;
  std::unique_ptr<Scene3ds> scene = read3ds(file);
  std::fclose(file);
  return scene && convert3ds(object, *scene);
}

bool cObject::load(const char* mesh_name) {
  std::snprintf(name, sizeof name, "%s", mesh_name);

  bool loaded = readGfx(mesh_file(engine, name, "gfx").c_str());
  // A cache the lightmap baker wrote brings its lightmaps back.
  if (loaded) loadLightmapImages(this);
  if (!loaded) loaded = load_3ds(this, mesh_file(engine, name, "3ds"));
  if (!loaded) loaded = readObj(this, mesh_file(engine, name, "obj").c_str());
  if (!loaded) loaded = readGltf(this, mesh_file(engine, name, "gltf").c_str());
  if (!loaded) loaded = readGltf(this, mesh_file(engine, name, "glb").c_str());
  if (!loaded) {
    clearMesh();
    return false;
  }

  computeBounds();
  for (int axis = 0; axis < 3; ++axis) {
    position[axis] = 0.0f;
    rotation[axis] = 0.0f;
  }
  position[2] = -0.0f;  // z stored negated
  rotation[2] = -0.0f;
  updateTransform();
  dirty = 1;
  createBuffers();
  return true;
}
