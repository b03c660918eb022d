// What the command line asks of the engine. Set by the program entry before
// start-up; read on the render thread only.
#pragma once

#include <string>

struct LaunchOptions {
  std::string data_dir;       // empty: Data/ beside the executable
  bool headless = false;      // offscreen context, message boxes printed
  int width = 1200;           // initial window and viewport size
  int height = 800;
  int frames = -1;            // after the script ended and its commands ran, draw N more; -1: off
  int max_frames = -1;        // shut down after N frames from the first; -1: off
  std::string screenshot;     // written at every normal shut-down; empty: none
};

extern LaunchOptions g_launch;
