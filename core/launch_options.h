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
  double fixed_step_ms = 0;   // > 0: the engine clock moves this much per drawn frame (lock-step)
  uint32_t seed = 1;          // random seed of the script and the effects: when given, or on the fixed-step clock
  bool seed_given = false;    // --seed was given: runs repeat on either clock
  std::string record;         // a video file (.mp4, .mkv, .webm), or a folder for frameNNNNNN.png; empty: off
  int record_fps = 60;        // frames per second of the recording (its fixed step is 1000 / fps)
  int crf = -1;               // the video's quality (lower is better); -1: the codec's default here
  double start_at_ms = 0;     // > 0: run up to this engine time unseen, then draw and record (fixed step)
  bool watch = false;         // reload script.txt when it changes on disk
  bool vsync = true;          // swaps wait for the display (headless: a 60 Hz stand-in, off on the fixed-step clock)
  bool stats = false;         // frame rate and time per frame stage on standard error, once a second
};

extern LaunchOptions g_launch;
