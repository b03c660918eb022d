#include "resources/skybox.h"

#include <GL/gl.h>

#include <cstdio>

#include "core/convert.h"
#include "core/engine.h"
#include "resources/texture_manager.h"

namespace {

// Load order, which is also the order of `faces`.
constexpr const char* FACE_SUFFIXES[SKYBOX_FACES] = {"%s_top", "%s_bottom", "%s_left",
                                                     "%s_right", "%s_back", "%s_front"};

// Each face's four corners as signs of the half size; texture coordinates
// (0, 1), (1, 1), (1, 0), (0, 0) go with them in order.
constexpr int FACE_CORNERS[SKYBOX_FACES][4][3] = {
    {{-1, 1, 1}, {1, 1, 1}, {1, 1, -1}, {-1, 1, -1}},       // top
    {{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}},   // bottom
    {{-1, 1, 1}, {-1, 1, -1}, {-1, -1, -1}, {-1, -1, 1}},   // left
    {{1, 1, -1}, {1, 1, 1}, {1, -1, 1}, {1, -1, -1}},       // right
    {{1, 1, 1}, {-1, 1, 1}, {-1, -1, 1}, {1, -1, 1}},       // back
    {{-1, 1, -1}, {1, 1, -1}, {1, -1, -1}, {-1, -1, -1}},   // front
};
constexpr int FACE_TEXCOORDS[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};

// ---- the commands; the sky box has no number, so args.n is the first value ----

void skybox_active(cSkybox& sky, const CommandArgs& args) { sky.active = float_to_int(args.n) != 0; }
void skybox_size(cSkybox& sky, const CommandArgs& args) { sky.halfSize = float_to_int(args.n) / 2; }
void skybox_rotation(cSkybox& sky, const CommandArgs& args) {
  sky.rotation[0] = args.n;
  sky.rotation[1] = args.a;
  sky.rotation[2] = args.b;
}
void skybox_color(cSkybox& sky, const CommandArgs& args) {
  sky.color[0] = args.n;
  sky.color[1] = args.a;
  sky.color[2] = args.b;
  sky.color[3] = 1.0f;
}

struct SkyboxClass {
  using Element = cSkybox;
  static constexpr const char* name = "cSkybox";
  static constexpr int type_code = CMD_SKYBOX;
  static constexpr int capacity = 1;
  static cSkybox** slots(Engine* e) { return &e->scene.skybox; }
  // Drawn first of the surfaces, behind everything.
  static void opaque(Engine* e) { drawSkybox(e); }
  // A base name that contains one of these cannot be loaded.
  static constexpr ClassKeyword<cSkybox> keywords[] = {
      {"active", skybox_active},
      {"size", skybox_size},
      {"rotation", skybox_rotation},
      {"color", skybox_color},
  };
  // The face textures stay loaded.
  static void destroy(cSkybox* sky) {
    sky->active = false;
    delete sky;
  }
  static cSkybox* construct(Engine* e, int, const CommandArgs&) { return new cSkybox(e); }
  // Any other name is the base name of the six faces.
  static int unmatched(cSkybox& sky, const char* name, const CommandArgs&, int32_t*) {
    sky.topFace = loadSkyboxFaces(sky.engine, name, sky.faces);
    return sky.topFace == 0 ? 1 : 0;
  }
};

void bind_slot(const Engine* engine, int slot) {
  glBindTexture(GL_TEXTURE_2D, slot >= 0 && slot < MAX_TEXTURES ? engine->resources.textures[slot].glName : 0);
}

}  // namespace

// The half size follows the far clip of the moment of creation.
cSkybox::cSkybox(Engine* owner) : engine(owner), halfSize(float_to_int(owner->view.far_clip) / 2) {}

int16_t loadSkyboxFaces(Engine* engine, const char* name, int16_t faces[SKYBOX_FACES]) {
  for (int k = 0; k < SKYBOX_FACES; ++k) {
    char face_name[TEXTURE_NAME_SIZE];
    std::snprintf(face_name, sizeof face_name, FACE_SUFFIXES[k], name);
    faces[k] = static_cast<int16_t>(loadTexture(engine, face_name, GL_CLAMP_TO_EDGE));
  }
  return faces[0];
}

void drawSkybox(Engine* engine) {
  const cSkybox* sky = engine->scene.skybox;
  if (!sky || !sky->active) return;
  const float s = static_cast<float>(sky->halfSize);

  // State: inside faces, unlit, behind everything, textured, tinted. Seen
  // from the eye every face below winds clockwise, so counter-clockwise is the
  // front that is culled (with clockwise fronts the whole cube would go).
  glFrontFace(GL_CCW);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_FRONT);
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_FOG);
  glColor4fv(sky->color);

  // Centred on the eye: only the rotations, the camera's then the box's
  glPushMatrix();
  glLoadIdentity();
  glRotatef(engine->view.cam_rot[0], 1.0f, 0.0f, 0.0f);
  glRotatef(engine->view.cam_rot[1], 0.0f, 1.0f, 0.0f);
  glRotatef(engine->view.cam_rot[2], 0.0f, 0.0f, 1.0f);
  glRotatef(sky->rotation[0], 1.0f, 0.0f, 0.0f);
  glRotatef(sky->rotation[1], 0.0f, 1.0f, 0.0f);
  glRotatef(sky->rotation[2], 0.0f, 0.0f, 1.0f);

  // The six faces
  for (int k = 0; k < SKYBOX_FACES; ++k) {
    bind_slot(engine, sky->faces[k]);
    glBegin(GL_QUADS);
    for (int corner = 0; corner < 4; ++corner) {
      glTexCoord2i(FACE_TEXCOORDS[corner][0], FACE_TEXCOORDS[corner][1]);
      glVertex3f(FACE_CORNERS[k][corner][0] * s, FACE_CORNERS[k][corner][1] * s, FACE_CORNERS[k][corner][2] * s);
    }
    glEnd();
  }

  // Restore; culling stays on with front faces culled
  glPopMatrix();
  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
  glFrontFace(GL_CCW);
}

const ClassType skybox_class = class_type<SkyboxClass>();
