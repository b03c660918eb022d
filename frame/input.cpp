#include "frame/input.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "commands/corner_box.h"
#include "commands/scene_commands.h"
#include "core/engine.h"
#include "core/view.h"
#include "frame/frame_stats.h"
#include "mesh/object.h"
#include "resources/screenshot.h"

namespace {

constexpr double DEGREES_TO_RADIANS = 3.14159265359 / 180.0;

void set_mouse(Engine* engine, const platform::Event& event) {
  engine->input.mouse_x = event.x;
  engine->input.mouse_y = event.y;
}

// Forward (+1) or backward (-1) along the view direction; the camera stands at
// -cam_pos, so the scene moves the other way.
void step_camera(Engine* engine, float direction) {
  float old[3] = {engine->view.cam_pos[0], engine->view.cam_pos[1], engine->view.cam_pos[2]};
  double pitch = engine->view.cam_rot[0] * DEGREES_TO_RADIANS;
  double yaw = engine->view.cam_rot[1] * DEGREES_TO_RADIANS;
  double s = engine->input.move_speed * direction;
  engine->view.cam_pos[0] -= static_cast<float>(std::sin(yaw) * s * std::cos(pitch));
  engine->view.cam_pos[2] += static_cast<float>(std::cos(yaw) * s * std::cos(pitch));
  if (engine->input.vertical) engine->view.cam_pos[1] += static_cast<float>(s * std::sin(pitch));
  mark_objects_dirty(engine);
  if (engine->input.collide) collide_camera(engine, old);
}

// One of the keys the camera actions test (the script may rebind them).
bool camera_key(const Engine* engine, int key) {
  const InputState& input = engine->input;
  return key == input.key_dn || key == input.key_up || key == input.key_rt || key == input.key_lf ||
         key == input.key_shot || key == input.key_quit;
}

}  // namespace

int window_procedure(const platform::Event& event) {
  Engine* engine = g_engine;
  // Before start-up has finished and after running was cleared, every event
  // gets default handling only.
  if (!engine || !engine->pacing.running) return 0;

  switch (event.type) {
    case platform::EventType::SizeChanged:
      glFlush();
      if (engine->window.hglrc) set_viewport(0.0, -1, -1);
      return 0;
    case platform::EventType::Close:
      engine->pacing.running = 0;
      platform::post_quit();
      return 1;
    case platform::EventType::KeyDown:
      // Auto-repeated presses step again, so a held key keeps moving.
      key_action(engine, event.key);
      if (event.key == STATS_OVERLAY_KEY && !event.repeat && engine->input.keybd && !camera_key(engine, event.key))
        frame_stats().toggle_overlay();
      engine->input.input_state = event.key;
      return 0;
    case platform::EventType::MouseMove:
      if (engine->input.input_state < 0) {  // only while a button is held
        set_mouse(engine, event);
        if (engine->input.keybd) mouse_look(engine);
      }
      return 0;
    case platform::EventType::LeftDown:
    case platform::EventType::RightDown:
      engine->input.input_state = event.type == platform::EventType::LeftDown ? -1 : -2;
      set_mouse(engine, event);
      engine->input.mouse_last_x = event.x;
      engine->input.mouse_last_y = event.y;
      return 0;
    case platform::EventType::LeftUp:
    case platform::EventType::RightUp:
      engine->input.input_state = 0;
      return 0;
    case platform::EventType::Wheel:
      if (event.wheel > 0) key_action(engine, engine->input.key_dn);
      if (event.wheel < 0) key_action(engine, engine->input.key_up);
      return 0;
    default:
      return 0;
  }
}

// Tested in this order: when two fields hold the same key, only the first acts.
void key_action(Engine* engine, int key) {
  if (!engine->pacing.running || !engine->input.keybd) return;
  if (key == engine->input.key_dn) {
    step_camera(engine, 1.0f);
  } else if (key == engine->input.key_up) {
    step_camera(engine, -1.0f);
  } else if (key == engine->input.key_rt) {
    engine->view.cam_rot[1] += engine->input.turn_speed;
    mark_objects_dirty(engine);
  } else if (key == engine->input.key_lf) {
    engine->view.cam_rot[1] -= engine->input.turn_speed;
    mark_objects_dirty(engine);
  } else if (key == engine->input.key_shot) {
    // The person pressing the key learns where the picture went.
    std::string path = writeScreenshot(engine);
    if (path.empty())
      std::fprintf(stderr, "talpine: the screenshot could not be written (no frame drawn yet?)\n");
    else
      std::fprintf(stderr, "talpine: screenshot saved as %s\n", path.c_str());
  } else if (key == engine->input.key_quit) {
    platform::post_close();  // comes back as the close event
  }
}

void mouse_look(Engine* engine) {
  int x = engine->input.mouse_x, y = engine->input.mouse_y;
  int last_x = engine->input.mouse_last_x, last_y = engine->input.mouse_last_y;
  if (x == last_x && y == last_y) return;
  float t = engine->input.turn_speed;

  if (engine->input.focus == -2) {
    if (x != last_x) place_on_orbit(engine, engine->view.spin_yaw + (last_x - x) * t, engine->view.spin_pitch);
    if (y != last_y) place_on_orbit(engine, engine->view.spin_yaw, engine->view.spin_pitch + (last_y - y) * t);
  } else if (engine->input.focus == -1) {
    engine->view.cam_rot[0] += (y - last_y) * t;
    engine->view.cam_rot[1] += (x - last_x) * t;
    mark_objects_dirty(engine);
  } else if (engine->input.focus >= 0 && engine->input.focus < MAX_ELEMENTS) {
    // Any other focus names no object: the mouse turns nothing.
    if (cObject* object = engine->scene.objects[engine->input.focus]) {
      float turn_x = (y - last_y) * t, turn_y = (x - last_x) * t;
      object->rotation[0] += turn_x;
      object->rotation[1] += turn_y;
      if (turn_x != 0.0f || turn_y != 0.0f) {
        object->updateTransform();
        object->dirty = 1;
      }
    }
  }

  engine->input.mouse_last_x = static_cast<int16_t>(x);
  engine->input.mouse_last_y = static_cast<int16_t>(y);
}

void collide_camera(Engine* engine, const float old_cam_pos[3]) {
  // World points: the camera stands at -cam_pos.
  const float p[3] = {-engine->view.cam_pos[0], -engine->view.cam_pos[1], -engine->view.cam_pos[2]};
  const float q[3] = {-old_cam_pos[0], -old_cam_pos[1], -old_cam_pos[2]};
  for (int slot = 0; slot < engine->scene.objects.count && slot < MAX_ELEMENTS; ++slot) {
    const cObject* object = engine->scene.objects[slot];
    if (!object || !object->active || !object->visible) continue;
    for (const MeshPart& part : object->parts) {
      if (!part.visible) continue;
      CornerBox box(part.worldCorners, 1.0f);
      if (!box.holds_open(p[0], p[1], p[2])) continue;
      // Each coordinate that alone would bring the camera inside is undone.
      if (box.holds_open(p[0], q[1], q[2])) engine->view.cam_pos[0] = old_cam_pos[0];
      if (box.holds_open(q[0], p[1], q[2])) engine->view.cam_pos[1] = old_cam_pos[1];
      if (box.holds_open(q[0], q[1], p[2])) engine->view.cam_pos[2] = old_cam_pos[2];
      return;  // only the first box that holds the camera
    }
  }
}
