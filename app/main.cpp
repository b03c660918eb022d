// Program entry: command line, start-up, the main loop, shut-down.
#include <cstdio>

#include "app/options.h"
#include "core/engine.h"
#include "core/exit_status.h"
#include "frame/engine_start.h"
#include "frame/main_loop.h"
#include "frame/presented_frame.h"
#include "platform/platform.h"
#include "script/script_check.h"

// The data folder as start-up forms it: --data, else Data/ beside the executable.
static std::string data_folder() {
  std::string folder = g_launch.data_dir;
  if (folder.empty()) {
    std::string executable = platform::executable_path();
    folder = executable.substr(0, executable.rfind('/') + 1) + "Data/";
  } else if (folder.back() != '/') {
    folder += '/';
  }
  return folder;
}

int main(int argc, char** argv) {
  std::string error;
  switch (parse_command_line(argc, argv, &g_launch, &error)) {
    case CommandLineAction::Help:
      std::fputs(usage_text(), stdout);
      return 0;
    case CommandLineAction::Version:
      std::printf("talpine %s\n", TALPINE_VERSION);
      return 0;
    case CommandLineAction::Error:
      std::fprintf(stderr, "talpine: %s\n%s", error.c_str(), usage_text());
      return 1;
    case CommandLineAction::Check:
      return check_script_file(data_folder() + "script.txt");
    case CommandLineAction::Run:
      break;
  }

  if (!start_engine()) {
    const std::string& why = platform::video_error();
    std::fprintf(stderr, "talpine: %s\n", why.empty() ? "cannot open the window and its OpenGL context" : why.c_str());
    stop_engine();
    return 1;
  }

  run_main_loop(g_engine);

  if (!g_launch.screenshot.empty() && !save_presented_frame(g_launch.screenshot.c_str()))
    std::fprintf(stderr, "talpine: could not write the screenshot %s\n", g_launch.screenshot.c_str());

  stop_engine();
  platform::shutdown_video();
  return script_error_noted() ? 1 : 0;
}
