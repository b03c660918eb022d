#include "commands/scene_commands.h"

#include <GL/gl.h>

#include <cmath>
#include <iterator>

#include "commands/destroy_scene.h"
#include "core/convert.h"
#include "core/engine.h"
#include "core/keyword_match.h"
#include "core/view.h"
#include "core/window.h"
#include "media/music.h"
#include "mesh/object.h"
#include "resources/fade.h"
#include "resources/font.h"
#include "resources/render_buffers.h"
#include "resources/screenshot.h"
#include "resources/texture_manager.h"

namespace {

// The five values a0..a4 of a scene command, in script order.
struct SceneArgs {
  float a0, a1, a2, a3, a4;
};

using SceneHandler = void (*)(const CommandContext& context, const SceneArgs& a);

// A scene flag is true when its truncation is not 0 (so 0.5 is false).
bool scene_flag(float value) { return float_to_int(value) != 0; }

constexpr double DEGREES_TO_RADIANS = 3.14159265359 / 180.0;

// ---- program control --------------------------------------------------------

void scene_start(const CommandContext& context, const SceneArgs&) { context.engine->pacing.running = 1; }

// No further frame is drawn: the frame that runs this drain sees running cleared.
void scene_stop(const CommandContext& context, const SceneArgs&) { context.engine->pacing.running = 0; }

// ---- drawing, fog and projection --------------------------------------------

void scene_draw(const CommandContext& context, const SceneArgs& a) {
  Engine* engine = context.engine;
  engine->settings.draw_mode = scene_flag(a.a0) ? GL_TRIANGLES : GL_LINES;
  for (cObject* object : engine->scene.objects.slots)
    if (object) object->primitive = engine->settings.draw_mode;
}

// Equal start and end switch fog off.
void scene_fogrange(const CommandContext& context, const SceneArgs& a) {
  context.engine->fog.fog_start = a.a0;
  context.engine->fog.fog_end = a.a1;
  apply_fog();
}

// Fog and clear colour; the alpha is 0 for both.
void scene_fogcolor(const CommandContext& context, const SceneArgs& a) {
  Engine* engine = context.engine;
  engine->fog.fog_color[0] = a.a0;
  engine->fog.fog_color[1] = a.a1;
  engine->fog.fog_color[2] = a.a2;
  engine->fog.fog_color[3] = 0.0f;
  if (engine->window.hglrc) {
    make_engine_current();
    glClearColor(a.a0, a.a1, a.a2, 0.0f);
  }
  if (engine->fog.fog_on) apply_fog();
}

void scene_fov(const CommandContext& context, const SceneArgs& a) {
  set_projection(context.engine->view.near_clip, context.engine->view.far_clip, a.a0);
}

void scene_clip(const CommandContext& context, const SceneArgs& a) {
  set_projection(a.a0, a.a1, context.engine->view.fov);
}

void scene_camera(const CommandContext&, const SceneArgs& a) { set_projection(a.a0, a.a1, a.a2); }

// A running fade is stepped once at once and keeps its own colour and step; its
// drawing is overwritten by the next frame's clear.
void scene_fade(const CommandContext& context, const SceneArgs& a) {
  Engine* engine = context.engine;
  if (engine->fog.fade_on) {
    draw_fade(engine);
    return;
  }
  engine->fog.fade_on = 1;
  engine->fog.fade_color[0] = a.a0;
  engine->fog.fade_color[1] = a.a1;
  engine->fog.fade_color[2] = a.a2;
  engine->fog.fade_color[3] = a.a3;
  engine->fog.fade_step = a.a4;
  engine->fog.fade_next = 0;
}

// The viewport (not the window) takes the size; the next resize event sets the
// client size again. A width or height of 0 or below gives the window's own
// size back (whatever a bake left behind, at any window size); sizes beyond
// the 16-bit fields are ignored.
void scene_size(const CommandContext& context, const SceneArgs& a) {
  if (!context.engine->window.hglrc) return;
  int w = float_to_int(a.a0), h = float_to_int(a.a1);
  if (w > INT16_MAX || h > INT16_MAX) return;
  if (w <= 0 || h <= 0) {
    set_viewport(0.0, -1, -1);
    return;
  }
  set_viewport(0.0, w, h);
}

// ---- work handed to resources -------------------------------------------------

void scene_save(const CommandContext& context, const SceneArgs&) { saveScreenshot(context.engine); }

// Reloads the font; the numbers are ignored.
void scene_loadfont(const CommandContext& context, const SceneArgs&) { loadFont(context.engine); }

// Exchanges two texture slots; numbers that name no in-use slot are ignored.
void scene_swaptex(const CommandContext& context, const SceneArgs& a) {
  swapTextureSlots(context.engine, a.a0, a.a1);
}

// A script's clean-up leaves the runner and its thread in place.
void scene_cleanup(const CommandContext& context, const SceneArgs&) {
  destroy_scene(context.classes, context.engine, /*at_shutdown=*/false);
}

// ---- pacing and debug displays ------------------------------------------------

void scene_geometry(const CommandContext& context, const SceneArgs& a) {
  context.engine->settings.geometry = float_to_int(a.a0);
}

void scene_wantfps(const CommandContext& context, const SceneArgs& a) {
  Engine* engine = context.engine;
  engine->pacing.wantfps = float_to_int(a.a0);
  engine->pacing.frame_delay = 0;
  engine->pacing.frame_count = 0;
  engine->pacing.fps = 0;
}

// ---- camera -----------------------------------------------------------------

void scene_setspin(const CommandContext& context, const SceneArgs& a) {
  place_on_orbit(context.engine, a.a0 + 90.0f, a.a1);
}

void scene_spincam(const CommandContext& context, const SceneArgs& a) {
  Engine* engine = context.engine;
  place_on_orbit(engine, engine->view.spin_yaw + a.a0, engine->view.spin_pitch + a.a1);
}

// The camera stands at -cam_pos; the script gives its own point with z flipped.
void scene_position(const CommandContext& context, const SceneArgs& a) {
  Engine* engine = context.engine;
  engine->view.cam_pos[0] = -a.a0;
  engine->view.cam_pos[1] = -a.a1;
  engine->view.cam_pos[2] = a.a2;
  mark_objects_dirty(engine);
}

void scene_rotation(const CommandContext& context, const SceneArgs& a) {
  Engine* engine = context.engine;
  engine->view.cam_rot[0] = -a.a0;
  engine->view.cam_rot[1] = a.a1;
  engine->view.cam_rot[2] = a.a2;
  mark_objects_dirty(engine);
}

// ---- textures and the transparent pass ----------------------------------------

// Modes 0..6 with their anisotropic and trilinear switches; every other value,
// negative ones included, is mode 2. Applies to textures loaded afterwards.
void scene_tfilter(const CommandContext& context, const SceneArgs& a) {
  setTextureFilter(context.engine, float_to_int(a.a0));
}

// 0 disables the alpha test of the transparent pass.
void scene_transp(const CommandContext& context, const SceneArgs& a) { context.engine->settings.transp = a.a0; }

// ---- camera control ---------------------------------------------------------

void scene_keybd(const CommandContext& context, const SceneArgs& a) {
  context.engine->input.keybd = scene_flag(a.a0) ? 1 : 0;
}

// Units per key step and degrees per key step or mouse pixel.
void scene_speed(const CommandContext& context, const SceneArgs& a) {
  context.engine->input.move_speed = a.a0;
  context.engine->input.turn_speed = a.a1;
}

void scene_focus(const CommandContext& context, const SceneArgs& a) {
  context.engine->input.focus = float_to_int(a.a0);
}

void scene_collide(const CommandContext& context, const SceneArgs& a) {
  context.engine->input.collide = scene_flag(a.a0) ? 1 : 0;
}

void scene_vertical(const CommandContext& context, const SceneArgs& a) {
  context.engine->input.vertical = scene_flag(a.a0) ? 1 : 0;
}

// Key codes are Win32 virtual-key numbers.
void scene_key_rt(const CommandContext& context, const SceneArgs& a) { context.engine->input.key_rt = float_to_int(a.a0); }
void scene_key_lf(const CommandContext& context, const SceneArgs& a) { context.engine->input.key_lf = float_to_int(a.a0); }
void scene_key_up(const CommandContext& context, const SceneArgs& a) { context.engine->input.key_up = float_to_int(a.a0); }
void scene_key_dn(const CommandContext& context, const SceneArgs& a) { context.engine->input.key_dn = float_to_int(a.a0); }

// The scene has no environment cube map and no GPU programs: these are accepted
// and change nothing.
void scene_no_effect(const CommandContext&, const SceneArgs&) {}

// ---- music ----------------------------------------------------------------------

// a0: the track's number from `load`; a1: where to begin, in milliseconds.
void scene_musicplay(const CommandContext&, const SceneArgs& a) { music().play(float_to_int(a.a0), a.a1); }
void scene_musicpause(const CommandContext&, const SceneArgs&) { music().pause(); }
void scene_musicresume(const CommandContext&, const SceneArgs&) { music().resume(); }
void scene_musicoff(const CommandContext&, const SceneArgs&) { music().halt(); }
// a0: the position in milliseconds.
void scene_musicseek(const CommandContext&, const SceneArgs& a) { music().seek(a.a0); }
// a0: from 0 (silent) to 1 (as recorded).
void scene_musicvolume(const CommandContext&, const SceneArgs& a) { music().set_volume(a.a0); }

// In test order; a name holding two keywords runs the earlier one, so
// "fogcolor" must stay ahead of "color" and the program keywords last.
constexpr Keyword<SceneHandler> SCENE_COMMANDS[] = {
    {"start", scene_start},
    {"stop", scene_stop},
    {"draw", scene_draw},
    {"fogrange", scene_fogrange},
    {"fogcolor", scene_fogcolor},
    {"fov", scene_fov},
    {"clip", scene_clip},
    {"camera", scene_camera},
    {"color", scene_fogcolor},
    {"fade", scene_fade},
    {"size", scene_size},
    {"save", scene_save},
    {"cleanup", scene_cleanup},
    {"loadfont", scene_loadfont},
    {"swaptex", scene_swaptex},
    {"geometry", scene_geometry},
    {"wantfps", scene_wantfps},
    {"setspin", scene_setspin},
    {"spincam", scene_spincam},
    {"position", scene_position},
    {"rotation", scene_rotation},
    {"tfilter", scene_tfilter},
    {"transp", scene_transp},
    {"keybd", scene_keybd},
    {"speed", scene_speed},
    {"focus", scene_focus},
    {"collide", scene_collide},
    {"vertical", scene_vertical},
    {"key_rt", scene_key_rt},
    {"key_lf", scene_key_lf},
    {"key_up", scene_key_up},
    {"key_dn", scene_key_dn},
    {"cubemap", scene_no_effect},
    {"shader", scene_no_effect},
    {"vprog", scene_no_effect},
    {"fprog", scene_no_effect},
    {"shadparm", scene_no_effect},
    {"vpparm", scene_no_effect},
    {"fpparm", scene_no_effect},
    // Added later, so after every existing keyword: no existing keyword occurs
    // in these names (so none is shadowed by them), and none of them occurs in
    // an existing keyword. "stop" would: the track is halted by "musicoff".
    {"musicplay", scene_musicplay},
    {"musicpause", scene_musicpause},
    {"musicresume", scene_musicresume},
    {"musicoff", scene_musicoff},
    {"musicseek", scene_musicseek},
    {"musicvolume", scene_musicvolume},
};

}  // namespace

int run_scene_command(const CommandContext& context, const char* name, const CommandArgs& args) {
  const auto* entry = match_keyword(SCENE_COMMANDS, name);
  if (!entry) return 1;
  entry->handler(context, SceneArgs{args.n, args.a, args.b, args.c, args.d});
  return 0;
}

const char* scene_command_keyword(int index) {
  constexpr int count = static_cast<int>(std::size(SCENE_COMMANDS));
  return index >= 0 && index < count ? SCENE_COMMANDS[index].keyword : nullptr;
}

void place_on_orbit(Engine* engine, float yaw, float pitch) {
  engine->view.spin_yaw = yaw;
  engine->view.spin_pitch = pitch;
  const float* p = engine->view.cam_pos;
  engine->view.spin_radius = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);

  double r = engine->view.spin_radius;
  double pitch_rad = pitch * DEGREES_TO_RADIANS;
  double yaw_rad = yaw * DEGREES_TO_RADIANS;
  engine->view.cam_pos[0] = static_cast<float>(r * std::cos(pitch_rad) * std::cos(yaw_rad));
  engine->view.cam_pos[1] = static_cast<float>(r * std::sin(pitch_rad));
  engine->view.cam_pos[2] = static_cast<float>(-r * std::cos(pitch_rad) * std::sin(yaw_rad));

  // Looking back at the origin from that point.
  engine->view.cam_rot[0] = -pitch;
  engine->view.cam_rot[1] = 90.0f - yaw;
  engine->view.cam_rot[2] = 0.0f;
  mark_objects_dirty(engine);
}
