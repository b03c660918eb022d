#include "lighting/light.h"

#include "core/convert.h"
#include "core/engine.h"
#include "mesh/object.h"

namespace {

bool driven_by_live_light(const Engine* engine, GLenum gl_light) {
  for (int i = 0; i < MAX_LIGHTS; ++i)
    if (engine->scene.lights[i] && engine->scene.lights[i]->glLight == gl_light) return true;
  return false;
}

void set_colour(float* colour, const CommandArgs& args) {
  colour[0] = args.a;
  colour[1] = args.b;
  colour[2] = args.c;
  colour[3] = 1.0f;
}

// ---- the commands; the light number is args.n, the values args.a .. args.d ----

void light_active(cLight& light, const CommandArgs& args) { setLightEnabled(&light, float_flag(args.a)); }

void light_diffuse(cLight& light, const CommandArgs& args) {
  set_colour(light.diffuse, args);
  glLightfv(light.glLight, GL_DIFFUSE, light.diffuse);
}

void light_ambient(cLight& light, const CommandArgs& args) {
  set_colour(light.ambient, args);
  glLightfv(light.glLight, GL_AMBIENT, light.ambient);
}

void light_specular(cLight& light, const CommandArgs& args) {
  set_colour(light.specular, args);
  glLightfv(light.glLight, GL_SPECULAR, light.specular);
}

void light_position(cLight& light, const CommandArgs& args) { setLightPosition(&light, args.a, args.b, args.c); }

void light_object(cLight& light, const CommandArgs& args) { light.object = float_to_int(args.a); }

void light_exponent(cLight& light, const CommandArgs& args) { glLightf(light.glLight, GL_SPOT_EXPONENT, args.a); }

void light_cutoff(cLight& light, const CommandArgs& args) { glLightf(light.glLight, GL_SPOT_CUTOFF, args.a); }

void light_attenuation(cLight& light, const CommandArgs& args) {
  glLightf(light.glLight, GL_CONSTANT_ATTENUATION, args.a);
}

void light_direction(cLight& light, const CommandArgs& args) {
  const float direction[3] = {args.a, args.b, args.c};
  glLightfv(light.glLight, GL_SPOT_DIRECTION, direction);
}

// A new light is dark until `active`: its GL light is set up but not enabled.
cLight* make_light(Engine* engine) {
  cLight* light = new cLight(engine);
  light->glLight = chooseGLLight(engine);
  glLightfv(light->glLight, GL_AMBIENT, light->ambient);
  glLightfv(light->glLight, GL_DIFFUSE, light->diffuse);
  glLightfv(light->glLight, GL_SPECULAR, light->specular);
  glLightfv(light->glLight, GL_POSITION, light->glPosition);
  glLightModelf(GL_LIGHT_MODEL_LOCAL_VIEWER, 1.0f);
  return light;
}

struct LightClass {
  using Element = cLight;
  static constexpr const char* name = "cLight";
  static constexpr int type_code = CMD_LIGHT;
  static constexpr int capacity = MAX_LIGHTS;
  static auto* table(Engine* e) { return &e->scene.lights; }
  static constexpr ClassKeyword<cLight> keywords[] = {
      {"active", light_active},       {"diffuse", light_diffuse},   {"ambient", light_ambient},
      {"specular", light_specular},   {"position", light_position}, {"object", light_object},
      {"exponent", light_exponent},   {"cutoff", light_cutoff},     {"attenuation", light_attenuation},
      {"direction", light_direction},
  };
  static void destroy(cLight* light) {
    light->enabled = false;
    glDisable(light->glLight);
    delete light;
  }
  // `new cLight(n)`: n is the object to follow, -1 (no argument) for none.
  // Positions are given under the camera, first in the scene pass.
  static void opaque(Engine* e) { updateLights(e); }
  static cLight* construct(Engine* e, int, const CommandArgs& args) {
    cLight* light = make_light(e);
    light->object = float_to_int(args.n);
    return light;
  }
  static bool is_active(const cLight& light) { return light.enabled; }
};

}  // namespace

GLenum chooseGLLight(const Engine* engine) {
  if (engine->scene.lights.count >= 0 && engine->scene.lights.count < MAX_LIGHTS) {
    GLenum counted = GL_LIGHT0 + static_cast<GLenum>(engine->scene.lights.count);
    if (!driven_by_live_light(engine, counted)) return counted;
  }
  // At most seven lights live when one is made, so one GL light is always free.
  for (int i = 0; i < MAX_LIGHTS; ++i) {
    GLenum candidate = GL_LIGHT0 + static_cast<GLenum>(i);
    if (!driven_by_live_light(engine, candidate)) return candidate;
  }
  return GL_LIGHT0 + MAX_LIGHTS - 1;
}

int newLight(Engine* engine) {
  auto& lights = engine->scene.lights;
  int slot = lights.lowest_free();
  if (slot < 0) return -1;
  lights[slot] = make_light(engine);
  lights.raise(slot);
  return slot;
}

void deleteLight(Engine* engine, int slot) { light_class.remove(engine, slot); }

void setLightPosition(cLight* light, float x, float y, float z) {
  if (light->object == -1) z = -z;
  bool changed = x != light->position[0] || y != light->position[1] || z != light->position[2];
  light->position[0] = x;
  light->position[1] = y;
  light->position[2] = z;
  light->glPosition[0] = x;
  light->glPosition[1] = y;
  light->glPosition[2] = z;
  light->glPosition[3] = 1.0f;
  glLightfv(light->glLight, GL_POSITION, light->glPosition);
  // Shadow volumes rebuild from dirty objects when a light moves.
  if (changed) mark_objects_dirty(light->engine);
}

void setLightEnabled(cLight* light, bool on) {
  light->enabled = on;
  if (on)
    glEnable(light->glLight);
  else
    glDisable(light->glLight);
  mark_objects_dirty(light->engine);
}

void updateLights(Engine* engine) {
  for (int i = 0; i < engine->scene.lights.count && i < MAX_LIGHTS; ++i) {
    cLight* light = engine->scene.lights[i];
    if (!light) continue;
    if (light->object == -1) {
      glLightfv(light->glLight, GL_POSITION, light->glPosition);
      continue;
    }
    if (light->object < 0 || light->object >= MAX_ELEMENTS) continue;
    const cObject* object = engine->scene.objects[light->object];
    // The object's stored position (z already negated), taken as it stands.
    if (object && object->active && object->visible)
      setLightPosition(light, object->position[0], object->position[1], object->position[2]);
  }
}

const ClassType light_class = class_type<LightClass>();
