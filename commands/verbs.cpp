#include "commands/verbs.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <string>

#include "commands/corner_box.h"
#include "commands/destroy_scene.h"
#include "core/convert.h"
#include "core/engine.h"
#include "core/keyword_match.h"
#include "media/music.h"
#include "mesh/object.h"
#include "platform/platform.h"
#include "resources/texture_manager.h"
#include "script/command_ring.h"
#include "script/messages.h"

namespace {

using VerbHandler = int32_t (*)(const CommandContext& context, const CommandArgs& args);

// ---- load --------------------------------------------------------------------

// A mesh goes into the lowest free object slot. The slot is the result even
// when the mesh fails to load: the object then stays empty.
int32_t load_mesh(Engine* engine, const char* name) {
  auto& objects = engine->scene.objects;
  int slot = objects.lowest_free();
  if (slot < 0) return -1;
  objects[slot] = new cObject(engine);
  objects.raise(slot);
  objects[slot]->load(name);
  return slot;
}

// GPU programs are read and dropped: the scene has no programs.
int32_t load_program(Engine* engine, const char* name, const char* extension) {
  std::string path = std::string(engine->paths.data_path) + name + "." + extension;
  if (FILE* file = platform::open_file(path, "rb")) {
    char buffer[4096];
    while (std::fread(buffer, 1, sizeof buffer, file) == sizeof buffer) {
    }
    std::fclose(file);
  }
  return -1;
}

// ---- new, delete, status of a class --------------------------------------------

// A class that is not registered has no elements and cannot make one.
template <int TypeCode>
int32_t new_element(const CommandContext& context, const CommandArgs& args) {
  const ClassType* type = context.classes.find(TypeCode);
  if (!type || !type->create) return -1;
  return type->create(context.engine, args);
}

template <int TypeCode>
int32_t delete_element(const CommandContext& context, const CommandArgs& args) {
  const ClassType* type = context.classes.find(TypeCode);
  if (!type) return 1;
  return type->remove(context.engine, float_to_int(args.n));
}

// The whole scene; the runner and its thread stay.
int32_t delete_all(const CommandContext& context, const CommandArgs&) {
  destroy_scene(context.classes, context.engine, /*at_shutdown=*/false);
  return 1;
}

template <int TypeCode>
int32_t status_active(const CommandContext& context, const CommandArgs& args) {
  const ClassType* type = context.classes.find(TypeCode);
  if (!type) return 0;
  return type->status(context.engine, float_to_int(args.n));
}

// ---- status of objects, the camera and the input --------------------------------

cObject* object_at(Engine* engine, float number) {
  int slot = float_to_int(number);
  if (slot < 0 || slot >= MAX_ELEMENTS) return nullptr;
  return engine->scene.objects[slot];
}

int32_t status_object(const CommandContext& context, const CommandArgs& args) {
  const cObject* object = object_at(context.engine, args.n);
  return object && object->active ? 1 : 0;
}

// Stored values: the z of position and rotation is the script's z negated.
template <int Axis>
int32_t status_object_position(const CommandContext& context, const CommandArgs& args) {
  const cObject* object = object_at(context.engine, args.n);
  return object ? float_to_int(object->position[Axis]) : 0;
}

template <int Axis>
int32_t status_object_rotation(const CommandContext& context, const CommandArgs& args) {
  const cObject* object = object_at(context.engine, args.n);
  return object ? float_to_int(object->rotation[Axis]) : 0;
}

template <int Axis>
int32_t status_camera_position(const CommandContext& context, const CommandArgs&) {
  return float_to_int(context.engine->view.cam_pos[Axis]);
}

template <int Axis>
int32_t status_camera_rotation(const CommandContext& context, const CommandArgs&) {
  return float_to_int(context.engine->view.cam_rot[Axis]);
}

// The last key code, or -1 / -2 while the left / right button is held.
int32_t status_keystate(const CommandContext& context, const CommandArgs& args) {
  return context.engine->input.input_state == float_to_int(args.n) ? 1 : 0;
}

int32_t status_selection(const CommandContext& context, const CommandArgs&) {
  return select_object_at_centre(context.engine);
}

// Where the current music track is, in milliseconds (0 without one).
int32_t status_music(const CommandContext&, const CommandArgs&) {
  return static_cast<int32_t>(music().position_ms());
}

// While a fade runs, its alpha in hundredths (at least 1); 0 when none runs. A
// script waits for a fade to end, or to be nearly black, before it goes on.
int32_t status_fading(const CommandContext& context, const CommandArgs&) {
  const Engine* engine = context.engine;
  if (!engine->fog.fade_on) return 0;
  const int32_t alpha = float_to_int(engine->fog.fade_color[3] * 100.0f);
  return alpha < 1 ? 1 : (alpha > 100 ? 100 : alpha);
}

// ---- the verb tables, in test order ------------------------------------------------

constexpr Keyword<VerbHandler> NEW_CLASSES[] = {
    {"cFramer", new_element<CMD_FRAMER>},
    {"cDeform", new_element<CMD_DEFORM>},
    {"cParticle", new_element<CMD_PARTICLE>},
    {"cLight", new_element<CMD_LIGHT>},
    {"cFlare", new_element<CMD_FLARE>},
    {"cWater", new_element<CMD_WATER>},
    {"cBloom", new_element<CMD_BLOOM>},
    {"cGlow", new_element<CMD_GLOW>},
    {"cBlur", new_element<CMD_BLUR>},
    {"cShadow", new_element<CMD_SHADOW>},
    {"cCSG", new_element<CMD_CSG>},
    {"cFluide", new_element<CMD_FLUIDE>},
    {"cTexgfx", new_element<CMD_TEXGFX>},
    {"cSkybox", new_element<CMD_SKYBOX>},
    {"cRad", new_element<CMD_RADIO>},  // also matches "cRadio"
};

constexpr Keyword<VerbHandler> DELETE_CLASSES[] = {
    {"cObject", delete_element<CMD_OBJECT>},
    {"cShadow", delete_element<CMD_SHADOW>},
    {"cBlur", delete_element<CMD_BLUR>},
    {"cGlow", delete_element<CMD_GLOW>},
    {"cBloom", delete_element<CMD_BLOOM>},
    {"cCSG", delete_element<CMD_CSG>},
    {"cLight", delete_element<CMD_LIGHT>},
    {"cFlare", delete_element<CMD_FLARE>},
    {"cWater", delete_element<CMD_WATER>},
    {"cFluide", delete_element<CMD_FLUIDE>},
    {"cTexgfx", delete_element<CMD_TEXGFX>},
    {"cParticle", delete_element<CMD_PARTICLE>},
    {"cSkybox", delete_element<CMD_SKYBOX>},
    {"cDeform", delete_element<CMD_DEFORM>},
    {"cFramer", delete_element<CMD_FRAMER>},
    {"cRadio", delete_element<CMD_RADIO>},
    {"all", delete_all},
};

constexpr Keyword<VerbHandler> STATUS_QUERIES[] = {
    {"cFramer", status_active<CMD_FRAMER>},
    {"cDeform", status_active<CMD_DEFORM>},
    {"cParticle", status_active<CMD_PARTICLE>},
    {"cLight", status_active<CMD_LIGHT>},
    {"cFlare", status_active<CMD_FLARE>},
    {"cWater", status_active<CMD_WATER>},
    {"cFluide", status_active<CMD_FLUIDE>},
    {"cBloom", status_active<CMD_BLOOM>},
    {"cGlow", status_active<CMD_GLOW>},
    {"cBlur", status_active<CMD_BLUR>},
    {"cShadow", status_active<CMD_SHADOW>},
    {"cCSG", status_active<CMD_CSG>},
    {"cTextgfx", status_active<CMD_TEXGFX>},  // spelled so by existing scripts
    {"cSkybox", status_active<CMD_SKYBOX>},
    {"cObject", status_object},
    {"cObjPX", status_object_position<0>},
    {"cObjPY", status_object_position<1>},
    {"cObjPZ", status_object_position<2>},
    {"cObjRX", status_object_rotation<0>},
    {"cObjRY", status_object_rotation<1>},
    {"cObjRZ", status_object_rotation<2>},
    {"cCamPX", status_camera_position<0>},
    {"cCamPY", status_camera_position<1>},
    {"cCamPZ", status_camera_position<2>},
    {"cCamRX", status_camera_rotation<0>},
    {"cCamRY", status_camera_rotation<1>},
    {"cCamRZ", status_camera_rotation<2>},
    {"keystate", status_keystate},
    {"selection", status_selection},
    // The class's own name, after every other query, so that a script spelling
    // it like every other class keeps running.
    {"cTexgfx", status_active<CMD_TEXGFX>},
    // Added later: after every existing query, matching none of them.
    {"cMusic", status_music},
    {"fading", status_fading},
};

int run_verb(std::span<const Keyword<VerbHandler>> table, const CommandContext& context,
             const char* name, const CommandArgs& args, int32_t* result) {
  const auto* entry = match_keyword(table, name);
  if (!entry) {
    *result = 0;
    return 1;
  }
  *result = entry->handler(context, args);
  return 0;
}

}  // namespace

int verb_load(const CommandContext& context, const char* name, const CommandArgs&, int32_t* result) {
  Engine* engine = context.engine;
  *result = 0;
  switch (classifyLoadFile(engine, name)) {
    case LoadKind::Mesh:
      *result = load_mesh(engine, name);
      return 0;
    case LoadKind::Texture:
      // Texture slots are 16-bit signed numbers.
      *result = static_cast<int16_t>(loadTexture(engine, name, GL_REPEAT));
      return 0;
    case LoadKind::VertexProgram:
      *result = load_program(engine, name, "vp");
      return 0;
    case LoadKind::FragmentProgram:
      *result = load_program(engine, name, "fp");
      return 0;
    case LoadKind::Music:
      *result = music().load(name, find_track_file(engine->paths.data_path, name));
      return 0;
    case LoadKind::NotFound:
      break;
  }
  // Unrecognised, as described; the diagnostic says what was looked for where.
  note_command_failure("load: no file for '" + std::string(name) + "' in " + engine->paths.data_path +
                       " (tried " + loadProbeNames(name) + ")");
  return 1;
}

const char* verb_keyword(int type_code, int index) {
  std::span<const Keyword<VerbHandler>> table;
  switch (type_code) {
    case CMD_NEW: table = NEW_CLASSES; break;
    case CMD_DELETE: table = DELETE_CLASSES; break;
    case CMD_STATUS: table = STATUS_QUERIES; break;
    default: return nullptr;
  }
  return index >= 0 && static_cast<size_t>(index) < table.size() ? table[index].keyword : nullptr;
}

int verb_delete(const CommandContext& context, const char* name, const CommandArgs& args, int32_t* result) {
  return run_verb(DELETE_CLASSES, context, name, args, result);
}

int verb_new(const CommandContext& context, const char* name, const CommandArgs& args, int32_t* result) {
  return run_verb(NEW_CLASSES, context, name, args, result);
}

int verb_status(const CommandContext& context, const char* name, const CommandArgs& args, int32_t* result) {
  return run_verb(STATUS_QUERIES, context, name, args, result);
}

int32_t select_object_at_centre(Engine* engine) {
  GLdouble modelview[16], projection[16];
  glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);

  GLfloat depth = 1.0f;
  glReadPixels(engine->view.width / 2, engine->view.height / 2, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);

  // Through the viewport saved at the last projection set-up, not GL's current one.
  GLint viewport[4];
  for (int i = 0; i < 4; ++i) viewport[i] = engine->view.viewport[i];
  GLdouble x = 0, y = 0, z = 0;
  if (gluUnProject(engine->view.width / 2.0, engine->view.height / 2.0, depth, modelview, projection, viewport,
                   &x, &y, &z) != GL_TRUE)
    return -1;

  for (int slot = 0; slot < engine->scene.objects.count && slot < MAX_ELEMENTS; ++slot) {
    const cObject* object = engine->scene.objects[slot];
    if (!object || !object->active || !object->visible) continue;
    if (CornerBox(object->worldCorners, 1.0f).holds_inclusive(x, y, z)) return slot;
  }
  return -1;
}
