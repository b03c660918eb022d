#include "core/engine.h"

#include <FreeImage.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "commands/destroy_scene.h"
#include "core/clock.h"
#include "core/gl_context.h"
#include "core/launch_options.h"
#include "resources/texture_manager.h"
#include "script/script_runner.h"

Engine* g_engine = nullptr;
LaunchOptions g_launch;

// FreeImage is initialised once per engine record and shut down with the last.
static int image_library_users = 0;

static void set_identity(float m[16]) {
  for (int i = 0; i < 16; ++i) m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

Engine::Engine() {
  for (int i = 0; i < 3; ++i) scale[i] = cam_pos[i] = cam_rot[i] = 0.0f;
  spin_pitch = spin_yaw = spin_radius = 0.0f;
  for (int i = 0; i < 4; ++i) fog_color[i] = fade_color[i] = 1.0f;
  set_identity(modelview);
  reset();
}

Engine::~Engine() {
  teardown();
  close_context();
}

void Engine::reset() {
  running = 0;
  // The effects' random draws repeat run after run on the fixed-step clock.
  std::srand(engine_clock_fixed() ? g_launch.seed : static_cast<unsigned>(std::time(nullptr)));
  engine_clock_start();

  input_state = 0;
  mouse_last_y = mouse_last_x = mouse_y = mouse_x = 0;
  height = 480;
  width = 640;
  window_y = window_x = 0;

  wantfps = 1000;
  frame_delay = 0;
  fps = 0;
  frame_count = 0;

  fullscreen = 0;
  max_texture_size = 0;
  move_speed = 10.0f;
  turn_speed = 1.0f;
  tfilter = 2;
  anisotropic = 1;
  anisotropy = 2;
  trilinear = 0;
  swap_interval = 0;
  multisample = 0;
  samples = 0;
  fog_on = 0;
  flare_quality = 1;
  target_pass = 0;
  transp = 0.0f;
  keybd = 0;
  geometry = 0;
  collide = 0;
  focus = -1;
  key_up = 40;  // the Down arrow: key_up moves backward
  key_dn = 38;  // the Up arrow: key_dn moves forward
  key_lf = 37;
  key_rt = 39;
  key_shot = 71;  // G
  key_quit = 27;  // Escape
  vertical = 1;
  hwnd = nullptr;

  fov = 60.0f;
  for (int i = 0; i < 3; ++i) scale[i] = 1.0f;
  for (int i = 0; i < 3; ++i) cam_pos[i] = cam_rot[i] = 0.0f;
  spin_pitch = 0.0f;
  spin_yaw = 90.0f;
  spin_radius = 0.0f;

  now = engine_clock_now();
  fps_time = 0;
  frame_time = 0;

  draw_mode = 4;  // GL_TRIANGLES
  std::memset(frustum, 0, sizeof(frustum));
  fog_start = fog_end = 1.0f;
  fog_color[0] = fog_color[1] = fog_color[2] = 0.0f;
  fog_color[3] = 1.0f;
  far_clip = 8000.0f;
  near_clip = 1.0f;
  std::memset(viewport, 0, sizeof(viewport));
  set_identity(modelview);

  fade_next = 0;
  fade_step = 0.0f;
  fade_on = 0;

  radio = nullptr;
  skybox = nullptr;
  blur = nullptr;
  glow = nullptr;
  bloom = nullptr;
  script_runner = nullptr;
  for (int i = 0; i < MAX_ELEMENTS; ++i) {
    objects[i] = nullptr;
    shadows[i] = nullptr;
    flares[i] = nullptr;
    csgs[i] = nullptr;
    waters[i] = nullptr;
    fluides[i] = nullptr;
    texgfxs[i] = nullptr;
    particles[i] = nullptr;
    deforms[i] = nullptr;
    framers[i] = nullptr;
  }
  for (int i = 0; i < MAX_LIGHTS; ++i) lights[i] = nullptr;
  hglrc = nullptr;
  hdc = nullptr;
  font_chars = nullptr;
  font_kerning = nullptr;
  font_char_count = font_kerning_count = 0;
  font_texture = 0;
  object_count = shadow_count = csg_count = light_count = flare_count = 0;
  water_count = fluide_count = texgfx_count = particle_count = deform_count = framer_count = 0;

  std::snprintf(data_path, sizeof(data_path), "/");
  std::snprintf(exe_path, sizeof(exe_path), "/");

  if (image_library_users++ == 0) FreeImage_Initialise(FALSE);
}

void Engine::teardown() {
  running = 0;
  // GL objects are deleted only in their own context; without one there is
  // nothing of GL left to delete.
  if (hglrc) make_engine_current();
  destroyScene(this, /*at_shutdown=*/true);
  if (hglrc) clearTextures(this);
  // The font blocks are freed by destroyScene; nothing else holds heap blocks.
  if (image_library_users > 0 && --image_library_users == 0) FreeImage_DeInitialise();
  image_library_users = image_library_users < 0 ? 0 : image_library_users;
}

// Paths longer than the record's fields are cut, never overrun.
static void copy_path(char* field, const std::string& path) {
  size_t n = path.size() < PATH_SIZE - 1 ? path.size() : PATH_SIZE - 1;
  std::memcpy(field, path.data(), n);
  field[n] = '\0';
}

void find_program_paths(Engine* engine, const char* executable) {
  // Drive and directory of the executable: everything up to the last separator.
  const char* slash = std::strrchr(executable, '/');
  size_t folder_length = slash ? static_cast<size_t>(slash - executable) + 1 : 0;
  if (folder_length >= PATH_SIZE) folder_length = PATH_SIZE - 1;
  std::memcpy(engine->exe_path, executable, folder_length);
  engine->exe_path[folder_length] = '\0';
  if (folder_length == 0) std::snprintf(engine->exe_path, PATH_SIZE, "./");
  copy_path(engine->data_path, std::string(engine->exe_path) + "Data/");
}

bool start_engine() {
  if (g_engine) return false;
  engine_clock_set_fixed_step(g_launch.fixed_step_ms);
  g_engine = new Engine();
  Engine* engine = g_engine;

  engine->running = 0;
  engine->swap_interval = 1;
  engine->multisample = 1;
  engine->samples = 2;
  engine->max_texture_size = 0;
  engine->fov = 40.0f;
  engine->keybd = 1;
  engine->flare_quality = 1;
  engine->trilinear = 1;
  engine->anisotropic = 1;
  engine->anisotropy = 2;
  engine->tfilter = 6;
  engine->wantfps = 1000;
  engine->geometry = 0;
  engine->fullscreen = 0;

  find_program_paths(engine, platform::executable_path().c_str());
  if (!g_launch.data_dir.empty()) {
    std::string dir = g_launch.data_dir;
    if (dir.back() != '/') dir += '/';
    copy_path(engine->data_path, dir);
  }

  if (!platform::init_video(g_launch.headless)) return false;
  WindowRect rect{140, 360, static_cast<short>(g_launch.height), static_cast<short>(g_launch.width)};
  if (!open_window_and_context(rect)) return false;

  engine->running = 0;
  delete engine->script_runner;
  engine->script_runner = new ScriptRunner(engine);

  engine->running = 1;
  return true;
}

void stop_engine() {
  Engine* engine = g_engine;
  if (!engine) return;
  engine->running = 0;
  engine->teardown();
  close_context();
  delete engine;  // its destructor repeats the releases; each is guarded
  g_engine = nullptr;
}
