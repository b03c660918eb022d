#include "core/view.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "core/engine.h"
#include "core/window.h"

void set_projection(float near_clip, float far_clip, float fov) {
  Engine* engine = g_engine;
  engine->view.fov = fov == 0.0f ? 60.0f : fov;
  engine->view.near_clip = near_clip < 1.0f ? 1.0f : near_clip;
  engine->view.far_clip = far_clip;

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(engine->view.fov, static_cast<float>(engine->view.width) / static_cast<float>(engine->view.height),
                 engine->view.near_clip, engine->view.far_clip);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();

  engine->view.serial += 1;
}

void apply_fog() {
  Engine* engine = g_engine;
  set_projection(engine->view.near_clip, engine->view.far_clip, engine->view.fov);

  if (engine->fog.fog_start != engine->fog.fog_end) {
    engine->fog.fog_on = 1;
    GLfloat color[4] = {engine->fog.fog_color[0], engine->fog.fog_color[1], engine->fog.fog_color[2], 0.0f};
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogf(GL_FOG_START, engine->fog.fog_start);
    glFogf(GL_FOG_END, engine->fog.fog_end);
    glFogf(GL_FOG_DENSITY, 0.035f);
    glFogfv(GL_FOG_COLOR, color);
    glHint(GL_FOG_HINT, GL_DONT_CARE);
    glEnable(GL_FOG);
  } else {
    engine->fog.fog_on = 0;
    glDisable(GL_FOG);
  }

  glClearColor(engine->fog.fog_color[0], engine->fog.fog_color[1], engine->fog.fog_color[2], 0.0f);
  glClearStencil(0);
}

void set_viewport(double aspect, int w, int h) {
  Engine* engine = g_engine;
  make_engine_current();

  if (w != -1 && h != -1) {
    engine->view.width = static_cast<int16_t>(w);
    engine->view.height = static_cast<int16_t>(h);
  } else if (!engine->window.fullscreen && engine->window.hwnd) {
    int cw = 0, ch = 0;
    platform::client_size(engine->window.hwnd, &cw, &ch);
    engine->view.width = static_cast<int16_t>(cw);
    engine->view.height = static_cast<int16_t>(ch);
  }

  glViewport(0, 0, engine->view.width, engine->view.height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  double ratio = aspect != 0.0 ? aspect : static_cast<double>(engine->view.width) / static_cast<double>(engine->view.height);
  gluPerspective(engine->view.fov, ratio, engine->view.near_clip, engine->view.far_clip);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();

  glGetIntegerv(GL_VIEWPORT, engine->view.viewport);

  engine->view.serial += 1;
}

View window_view(const Engine* engine) {
  View view;
  for (int axis = 0; axis < 3; ++axis) {
    view.eye[axis] = engine->view.cam_pos[axis];
    view.angles[axis] = engine->view.cam_rot[axis];
  }
  view.scene_scale = true;
  view.clear = false;  // the frame clears before its background pass
  return view;
}

static ViewDraw scene_drawer = nullptr;

void set_scene_drawer(ViewDraw draw) { scene_drawer = draw; }

void draw_scene(Engine* engine) {
  if (scene_drawer) scene_drawer(engine);
}

void render_view(Engine* engine, const View& view, ViewDraw draw, ViewDraw then) {
  ViewState& state = engine->view;
  float saved_pos[3], saved_rot[3];
  for (int axis = 0; axis < 3; ++axis) {
    saved_pos[axis] = state.cam_pos[axis];
    saved_rot[axis] = state.cam_rot[axis];
    state.cam_pos[axis] = view.eye[axis];
    state.cam_rot[axis] = view.look_at ? view.look_at[axis] : view.angles[axis];
  }
  const int16_t saved_width = state.width, saved_height = state.height;
  const float saved_fov = state.fov;
  const bool sized = view.width > 0 && view.height > 0;

  // Viewport and projection of the pass
  if (sized) {
    state.width = static_cast<int16_t>(view.width);
    state.height = static_cast<int16_t>(view.height);
    if (engine->window.hglrc) set_viewport(view.aspect, view.width, view.height);
  }
  if (view.fov != VIEW_SCENE_FOV) set_projection(state.near_clip, state.far_clip, view.fov);

  // Camera transform
  if (view.clear) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  glLoadIdentity();
  if (view.look_at) {
    gluLookAt(view.eye[0], view.eye[1], view.eye[2], view.look_at[0], view.look_at[1], view.look_at[2], 0, 1, 0);
  } else {
    if (view.scene_scale) glScalef(state.scale[0], state.scale[1], state.scale[2]);
    glRotatef(view.angles[0], 1.0f, 0.0f, 0.0f);
    glRotatef(view.angles[1], 0.0f, 1.0f, 0.0f);
    glRotatef(view.angles[2], 0.0f, 0.0f, 1.0f);
    glTranslatef(view.eye[0], view.eye[1], view.eye[2]);
  }

  // The scene
  if (view.target_pass) state.target_pass = 1;
  if (draw)
    draw(engine);
  else
    draw_scene(engine);
  if (view.target_pass) state.target_pass = 0;
  if (then) then(engine);

  // Restore
  if (!view.keep_camera) {
    for (int axis = 0; axis < 3; ++axis) {
      state.cam_pos[axis] = saved_pos[axis];
      state.cam_rot[axis] = saved_rot[axis];
    }
  }
  if (sized) {
    state.width = saved_width;
    state.height = saved_height;
    if (engine->window.hglrc) set_viewport(0.0, state.width, state.height);
  }
  if (view.fov != VIEW_SCENE_FOV) set_projection(state.near_clip, state.far_clip, saved_fov);
}
