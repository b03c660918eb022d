#include "app/options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

const char* usage_text() {
  return "usage: talpine [--data DIR] [--headless] [--size WxH] [--frames N] [--max-frames N]\n"
         "               [--screenshot FILE] [--fixed-step MS] [--seed N]\n"
         "               [--record FILE|DIR [--fps N] [--crf N]] [--start-at SECONDS]\n"
         "               [--watch] [--no-vsync] [--stats] [--check] [--help] [--version]\n"
         "\n"
         "  --data DIR         data folder with script.txt, meshes, images and the font\n"
         "                     (default: Data/ beside the executable)\n"
         "  --headless         no display needed: offscreen GL, messages printed to stdout;\n"
         "                     frames are paced as a 60 Hz display would pace them (at most\n"
         "                     60 a second), except on the fixed-step clock and with --no-vsync\n"
         "  --size WxH         initial window and viewport size (default 1200x800)\n"
         "  --frames N         after the script has ended and its commands ran, draw N frames and quit\n"
         "  --max-frames N     quit after N frames, whatever the script is doing\n"
         "  --screenshot FILE  at a normal shut-down, write the last frame as a PNG\n"
         "  --fixed-step MS    the engine clock moves MS per drawn frame and the script runs in\n"
         "                     lock-step with the frames: the same script gives the same frames\n"
         "  --seed N           seed of `random` and of the effects: the same on every run\n"
         "                     (on the fixed-step clock 1 unless given; else the time)\n"
         "  --record FILE      encode every drawn frame and the music into a video file\n"
         "                     (.mp4, .mkv: H.264 and AAC; .webm: VP9 and Opus); implies\n"
         "                     --fixed-step 1000/FPS; without --frames or --max-frames it\n"
         "                     ends one frame after the script ends\n"
         "  --record DIR       the same as PNG files DIR/frame000001.png ...\n"
         "  --fps N            frames per second of --record (default 60)\n"
         "  --crf N            video quality, lower is better (default 20 for H.264, 31 for VP9)\n"
         "  --start-at SECONDS on the fixed-step clock: run the script up to that time without\n"
         "                     showing it, then draw and record from there (for splitting a recording)\n"
         "  --watch            reload script.txt whenever it changes, without closing the window\n"
         "  --no-vsync         swaps do not wait for the display (headless: no 60 Hz pacing)\n"
         "  --stats            once a second on stderr: frames per second and milliseconds per\n"
         "                     frame stage; at the end, the run's median and slowest frame\n"
         "  --check            only parse script.txt and report its errors and warnings on\n"
         "                     standard error (FILE:LINE:COLUMN); exit 0 when it has no error\n"
         "  --help             this text\n"
         "  --version          the version\n";
}

static bool parse_count(const char* text, int* value) {
  char* end = nullptr;
  errno = 0;
  long n = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || n < 0 || n > 1000000000L) return false;
  *value = static_cast<int>(n);
  return true;
}

// Sizes are kept within what the engine's 16-bit width and height hold.
static bool parse_size(const char* text, int* width, int* height) {
  const char* x = std::strchr(text, 'x');
  if (!x) return false;
  std::string w(text, x);
  int wv = 0, hv = 0;
  if (!parse_count(w.c_str(), &wv) || !parse_count(x + 1, &hv)) return false;
  if (wv < 1 || hv < 1 || wv > 16384 || hv > 16384) return false;
  *width = wv;
  *height = hv;
  return true;
}

CommandLineAction parse_command_line(int argc, const char* const* argv, LaunchOptions* options, std::string* error) {
  bool check = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](const char** out) {
      if (i + 1 >= argc) {
        *error = "option " + arg + " needs a value";
        return false;
      }
      *out = argv[++i];
      return true;
    };
    const char* text = nullptr;
    if (arg == "--help" || arg == "-h") return CommandLineAction::Help;
    if (arg == "--version") return CommandLineAction::Version;
    if (arg == "--headless") {
      options->headless = true;
    } else if (arg == "--data") {
      if (!value(&text)) return CommandLineAction::Error;
      options->data_dir = text;
    } else if (arg == "--size") {
      if (!value(&text)) return CommandLineAction::Error;
      if (!parse_size(text, &options->width, &options->height)) {
        *error = "--size wants WIDTHxHEIGHT, each 1 to 16384, not '" + std::string(text) + "'";
        return CommandLineAction::Error;
      }
    } else if (arg == "--frames" || arg == "--max-frames") {
      if (!value(&text)) return CommandLineAction::Error;
      int* target = arg == "--frames" ? &options->frames : &options->max_frames;
      if (!parse_count(text, target)) {
        *error = arg + " wants a whole number of frames, not '" + std::string(text) + "'";
        return CommandLineAction::Error;
      }
    } else if (arg == "--screenshot") {
      if (!value(&text)) return CommandLineAction::Error;
      options->screenshot = text;
    } else if (arg == "--fixed-step") {
      if (!value(&text)) return CommandLineAction::Error;
      char* end = nullptr;
      double step = std::strtod(text, &end);
      if (end == text || *end != '\0' || !(step > 0.0) || step > 3600000.0) {
        *error = "--fixed-step wants a number of milliseconds above 0, not '" + std::string(text) + "'";
        return CommandLineAction::Error;
      }
      options->fixed_step_ms = step;
    } else if (arg == "--seed") {
      if (!value(&text)) return CommandLineAction::Error;
      int seed = 0;
      if (!parse_count(text, &seed)) {
        *error = "--seed wants a whole number, not '" + std::string(text) + "'";
        return CommandLineAction::Error;
      }
      options->seed = static_cast<uint32_t>(seed);
      options->seed_given = true;
    } else if (arg == "--record") {
      if (!value(&text)) return CommandLineAction::Error;
      options->record = text;
    } else if (arg == "--fps") {
      if (!value(&text)) return CommandLineAction::Error;
      if (!parse_count(text, &options->record_fps) || options->record_fps < 1 || options->record_fps > 1000) {
        *error = "--fps wants 1 to 1000 frames per second, not '" + std::string(text) + "'";
        return CommandLineAction::Error;
      }
    } else if (arg == "--crf") {
      if (!value(&text)) return CommandLineAction::Error;
      if (!parse_count(text, &options->crf) || options->crf > 63) {
        *error = "--crf wants a quality from 0 to 63, not '" + std::string(text) + "'";
        return CommandLineAction::Error;
      }
    } else if (arg == "--start-at") {
      if (!value(&text)) return CommandLineAction::Error;
      char* end = nullptr;
      double seconds = std::strtod(text, &end);
      // Within the 32-bit millisecond clock.
      if (end == text || *end != '\0' || !(seconds >= 0.0) || seconds > 4000000.0) {
        *error = "--start-at wants a number of seconds from 0, not '" + std::string(text) + "'";
        return CommandLineAction::Error;
      }
      options->start_at_ms = seconds * 1000.0;
    } else if (arg == "--watch") {
      options->watch = true;
    } else if (arg == "--no-vsync") {
      options->vsync = false;
    } else if (arg == "--stats") {
      options->stats = true;
    } else if (arg == "--check") {
      check = true;
    } else {
      *error = "unknown option '" + arg + "'";
      return CommandLineAction::Error;
    }
  }
  // A recording plays on the fixed-step clock of its frame rate, unless a step
  // was given outright, and without a length of its own it ends with the
  // script: one frame more once the script has ended and its commands ran.
  if (!options->record.empty() && options->fixed_step_ms <= 0.0)
    options->fixed_step_ms = 1000.0 / options->record_fps;
  if (!options->record.empty() && options->frames < 0 && options->max_frames < 0) options->frames = 1;
  if (options->start_at_ms > 0.0 && options->fixed_step_ms <= 0.0) {
    *error = "--start-at needs the fixed-step clock: give --fixed-step or --record";
    return CommandLineAction::Error;
  }
  if (options->start_at_ms > 0.0 && options->watch) {
    *error = "--start-at and --watch do not go together";
    return CommandLineAction::Error;
  }
  return check ? CommandLineAction::Check : CommandLineAction::Run;
}
