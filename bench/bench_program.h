// The whole-program rows: `talpine` run as its users run it, on scripts in data
// folders written here, beside the peers' own programs run in the same rounds
// (the standalone GL program bench/peer_gl, and lua5.4). Headless unless
// `window` is set, where a display is.
#pragma once

#include <string>

struct ProgramBench {
  std::string work_dir;   // data folders and outputs go here
  std::string talpine;    // the program
  std::string peer_gl;    // the standalone GL program
  std::string demo;       // the demo's data folder
  bool quick = false;     // fewer rounds
  bool window = false;    // in a window instead of headless
};

// Each adds its rows (and notes) to the table.
void frame_rate_rows(const ProgramBench& bench);
void script_loop_rows(const ProgramBench& bench);
void start_up_rows(const ProgramBench& bench);
void demo_tour_row(const ProgramBench& bench);

// "2 cores (CPU model), 23 GiB memory"
std::string machine_description();
// The one-minute load average, or -1.
double load_average();
