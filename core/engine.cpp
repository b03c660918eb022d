#include "core/engine.h"

#include <FreeImage.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "core/clock.h"
#include "core/launch_options.h"
#include "core/window.h"

Engine* g_engine = nullptr;
LaunchOptions g_launch;

// FreeImage is initialised once per engine record and shut down with the last.
static int image_library_users = 0;

static SceneReleaser scene_releaser = nullptr;

void set_scene_releaser(SceneReleaser releaser) { scene_releaser = releaser; }

void release_engine(Engine* engine) {
  engine->pacing.running = 0;
  if (scene_releaser) scene_releaser(engine);
}

Engine::Engine() {
  // The effects' random draws repeat run after run with a given seed, and on
  // the fixed-step clock.
  std::srand(g_launch.seed_given || engine_clock_fixed() ? g_launch.seed : static_cast<unsigned>(std::time(nullptr)));
  engine_clock_start();
  pacing.now = engine_clock_now();
  if (image_library_users++ == 0) FreeImage_Initialise(FALSE);
}

Engine::~Engine() {
  release_engine(this);
  close_context(this);
  if (image_library_users > 0 && --image_library_users == 0) FreeImage_DeInitialise();
}

void set_path(char (&field)[PATH_SIZE], const char* path) {
  size_t n = std::strlen(path);
  if (n > PATH_SIZE - 1) n = PATH_SIZE - 1;
  std::memcpy(field, path, n);
  field[n] = '\0';
}

void find_program_paths(Engine* engine, const char* executable) {
  // Drive and directory of the executable: everything up to the last separator.
  const char* slash = std::strrchr(executable, '/');
  size_t folder_length = slash ? static_cast<size_t>(slash - executable) + 1 : 0;
  if (folder_length >= PATH_SIZE) folder_length = PATH_SIZE - 1;
  std::memcpy(engine->paths.exe_path, executable, folder_length);
  engine->paths.exe_path[folder_length] = '\0';
  if (folder_length == 0) std::snprintf(engine->paths.exe_path, PATH_SIZE, "./");
  char data[PATH_SIZE + 8];
  std::snprintf(data, sizeof data, "%sData/", engine->paths.exe_path);
  set_path(engine->paths.data_path, data);
}
