// The whole-program rows. Every figure comes from running the program as a
// user would, on a data folder written here:
//
// - Frame rate: a script builds the scene (its objects loaded inactive, then
//   switched on at once), lets it draw for two seconds and ends; the program
//   then draws --frames N more, and its --stats summary gives the rate of
//   those N frames ("after the script ended"). The standalone GL program draws
//   the same scene from one buffer, warm-up frames first, and times N frames
//   the same way. --no-vsync for both: the rows measure drawing, not pacing.
//   The last pictures of both are compared pixel by pixel.
// - Script loop: the same 10,000,000-round loop in the running program (its
//   own `time` around the loop, the program's defaults otherwise) and in the
//   lua5.4 program (its wall time, less that of lua5.4 running nothing).
// - Start-up and memory: the program and the standalone one from their start
//   to their exit after the first presented frame of an empty scene; peak
//   resident memory of each process.
// - Demo tour: the demo as it plays (real time, paced as a 60 Hz display
//   paces it), the slowest frame against the median, both without the time
//   the script's own commands take (loading, the bake).
//
// Rounds alternate which program runs first, so that both see the same load.
#include "bench/bench_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_files.h"
#include "bench/mesh_gen.h"
#include "bench/results.h"
#include "mesh/loader_obj.h"
#include "mesh/object.h"

namespace {

// ---- running a program ----------------------------------------------------------

struct ProcessRun {
  int status = -1;          // exit status; -1 when it did not exit normally
  double seconds = 0;       // wall time from fork to exit
  double peak_mib = 0;      // peak resident memory
  std::string out, err;
};

std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

ProcessRun run_process(const ProgramBench& bench, const std::vector<std::string>& argv, int timeout_s = 600) {
  const std::string out_path = bench.work_dir + "/run.out", err_path = bench.work_dir + "/run.err";
  ProcessRun run;
  auto start = std::chrono::steady_clock::now();
  pid_t child = fork();
  if (child == 0) {
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0) _exit(126);
    dup2(out, 1);
    dup2(err, 2);
    // In a window the programs choose their video driver; headless they are
    // told (talpine by --headless, the peer by its own --headless).
    if (bench.window) unsetenv("SDL_VIDEODRIVER");
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  for (;;) {
    pid_t done = wait4(child, &status, WNOHANG, &usage);
    if (done == child) break;
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(timeout_s)) {
      kill(child, SIGKILL);
      wait4(child, &status, 0, &usage);
      break;
    }
    usleep(2000);
  }
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.peak_mib = usage.ru_maxrss / 1024.0;
  run.out = read_text(out_path);
  run.err = read_text(err_path);
  return run;
}

// talpine's own arguments: headless or not, then the rest.
std::vector<std::string> talpine_args(const ProgramBench& bench, const std::string& data,
                                      std::vector<std::string> rest) {
  std::vector<std::string> args = {bench.talpine, "--data", data};
  if (!bench.window) args.push_back("--headless");
  args.insert(args.end(), rest.begin(), rest.end());
  return args;
}

std::vector<std::string> peer_args(const ProgramBench& bench, std::vector<std::string> rest) {
  std::vector<std::string> args = {bench.peer_gl};
  if (!bench.window) args.push_back("--headless");
  args.insert(args.end(), rest.begin(), rest.end());
  return args;
}

void complain(const char* what, const ProcessRun& run) {
  std::fprintf(stderr, "\n%s failed (status %d):\n%s%s\n", what, run.status, run.out.c_str(), run.err.c_str());
}

// ---- what the programs print ------------------------------------------------------

// "...after the script ended: N frames in T s, F fps, M ms a frame: script drain
// D, updates U, ... ms" from talpine --stats.
struct AfterScript {
  bool found = false;
  int frames = 0;
  double seconds = 0;
  std::string parts;  // from "script drain" to the end of the line
};

AfterScript after_script(const std::string& err) {
  AfterScript result;
  const std::string key = "after the script ended: ";
  size_t at = err.find(key);
  if (at == std::string::npos) return result;
  result.found = std::sscanf(err.c_str() + at + key.size(), "%d frames in %lf s", &result.frames,
                             &result.seconds) == 2;
  size_t parts = err.find("script drain", at), end = err.find('\n', at);
  if (parts != std::string::npos && parts < end) result.parts = err.substr(parts, end - parts);
  return result;
}

// "peer: N frames in T s, F fps"
bool peer_frames(const std::string& err, int* frames, double* seconds) {
  size_t at = err.find("peer: ");
  return at != std::string::npos && std::sscanf(err.c_str() + at, "peer: %d frames in %lf s", frames, seconds) == 2;
}

// The number after `key`, or -1.
double number_after(const std::string& text, const std::string& key) {
  size_t at = text.find(key);
  return at == std::string::npos ? -1.0 : std::atof(text.c_str() + at + key.size());
}

std::string one_decimal(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

// ---- frame rate -------------------------------------------------------------------

struct FrameScene {
  const char* label;
  const char* mesh;  // in the scene folder
  int count, columns;
  float spacing, depth;
  int triangles_each;
  int frames, rounds, quick_rounds;
};

// The loaded sphere as the peer reads it: the engine's own reader gives the
// positions, normals, texture coordinates and indices it draws, so both
// programs draw the same triangles.
bool write_peer_mesh(const std::string& obj, const std::string& path) {
  cObject object(nullptr);
  if (!readObj(&object, obj.c_str()) || object.parts.size() != 1 || object.parts[0].groups.size() != 1) return false;
  const MeshPart& part = object.parts[0];
  const std::vector<uint16_t>& indices = part.groups[0].drawIndices;
  uint32_t vertices = static_cast<uint32_t>(part.positions.size() / 3), count = static_cast<uint32_t>(indices.size());
  std::string bytes = "PEER";
  bytes.append(reinterpret_cast<const char*>(&vertices), 4);
  bytes.append(reinterpret_cast<const char*>(&count), 4);
  bytes.append(reinterpret_cast<const char*>(part.positions.data()), vertices * 3 * sizeof(float));
  bytes.append(reinterpret_cast<const char*>(part.normals.data()), vertices * 3 * sizeof(float));
  std::vector<float> coords(part.texCoords);
  coords.resize(vertices * 2, 0.0f);
  bytes.append(reinterpret_cast<const char*>(coords.data()), vertices * 2 * sizeof(float));
  bytes.append(reinterpret_cast<const char*>(indices.data()), count * sizeof(uint16_t));
  return write_file(path, bytes);
}

// The texture as the peer reads it: width, height, RGB rows bottom first.
bool write_peer_texture(const std::string& png, const std::string& path) {
  Picture picture;
  if (!read_png(png, &picture)) return false;
  uint32_t size[2] = {static_cast<uint32_t>(picture.width), static_cast<uint32_t>(picture.height)};
  std::string bytes(reinterpret_cast<const char*>(size), 8);
  for (int y = picture.height - 1; y >= 0; --y)
    bytes.append(reinterpret_cast<const char*>(&picture.rgb[static_cast<size_t>(y) * picture.width * 3]),
                 picture.width * 3);
  return write_file(path, bytes);
}

std::string frame_script(const FrameScene& scene) {
  char text[2048];
  int rows = (scene.count + scene.columns - 1) / scene.columns;
  std::snprintf(text, sizeof text,
                "// %s, built by the benchmark: the objects are loaded switched off\n"
                "// (each load waits for a frame), then switched on together.\n"
                "tex = load(\"tex\");\n"
                "sun = new cLight(-1);\n"
                "light sun position (0, 10, 5);\n"
                "light sun active 1;\n"
                "array o[%d];\n"
                "for (i = 0; i < %d; i++) {\n"
                "  o[i] = load(\"%s\");\n"
                "  object o[i] texture tex;\n"
                "  object o[i] diffuse (1, 1, 1);\n"
                "  object o[i] ambient (0.2, 0.2, 0.2);\n"
                "  object o[i] lighted 1;\n"
                "  object o[i] position ((i %% %d - %g) * %g, (int(i / %d) - %g) * %g, %g);\n"
                "}\n"
                "for (i = 0; i < %d; i++) { object o[i] active 1; }\n"
                "sleep 2000;  // the full scene draws a while before the timed frames\n",
                scene.label, scene.count, scene.count, scene.mesh, scene.columns, (scene.columns - 1) * 0.5,
                scene.spacing, scene.columns, (rows - 1) * 0.5, scene.spacing, scene.depth, scene.count);
  return text;
}

void frame_rate_row(const ProgramBench& bench, const FrameScene& scene, const std::string& folder) {
  const std::string data = bench.work_dir + "/" + folder;
  make_folder(data);
  write_file(data + "/script.txt", frame_script(scene));
  const std::string size = "640x480";
  const std::string frames = std::to_string(scene.frames);
  const std::vector<std::string> ours = talpine_args(
      bench, data, {"--size", size, "--no-vsync", "--stats", "--frames", frames, "--screenshot", data + "/ours.png"});
  char grid[4][32];
  std::snprintf(grid[0], 32, "%d", scene.count);
  std::snprintf(grid[1], 32, "%d", scene.columns);
  std::snprintf(grid[2], 32, "%g", scene.spacing);
  std::snprintf(grid[3], 32, "%g", scene.depth);
  const std::vector<std::string> peer =
      peer_args(bench, {"--size", size, "--no-vsync", "--mesh", bench.work_dir + "/" + scene.mesh + ".peer",
                        "--texture", bench.work_dir + "/tex.peer", "--grid", grid[0], grid[1], grid[2], grid[3],
                        "--warmup", "5", "--frames", frames, "--picture", data + "/peer.ppm"});

  std::vector<double> ours_ms, peer_ms;
  std::string parts;
  int rounds = bench.quick ? scene.quick_rounds : scene.rounds;
  for (int r = 0; r < rounds; ++r) {
    for (int turn = 0; turn < 2; ++turn) {
      bool ours_turn = (turn == 0) == (r % 2 == 0);
      ProcessRun run = run_process(bench, ours_turn ? ours : peer);
      std::fprintf(stderr, ".");
      if (ours_turn) {
        AfterScript after = after_script(run.err);
        if (run.status != 0 || !after.found || after.frames <= 0) {
          complain("talpine", run);
          continue;
        }
        ours_ms.push_back(after.seconds / after.frames);
        if (parts.empty()) parts = after.parts;
      } else {
        int n = 0;
        double seconds = 0;
        if (run.status != 0 || !peer_frames(run.err, &n, &seconds) || n <= 0) {
          complain("the standalone GL program", run);
          continue;
        }
        peer_ms.push_back(seconds / n);
      }
    }
  }

  Row row;
  row.figure = std::string("frame: ") + scene.label;
  row.reference = "standalone SDL2 + GL 1.x program";
  row.figure_runs = ours_ms;
  row.reference_runs = peer_ms;
  row.scale = 1e3;
  row.unit = "ms";
  row.target = Target::ratio(1.0 / 0.95);  // at least 95 % of its frame rate
  add_row(row);

  Picture ours_picture, peer_picture;
  bool pictures = read_png(data + "/ours.png", &ours_picture) && read_ppm(data + "/peer.ppm", &peer_picture);
  double ours_fps = ours_ms.empty() ? 0 : 1.0 / median(ours_ms), peer_fps = peer_ms.empty() ? 0 : 1.0 / median(peer_ms);
  char note[512];
  std::snprintf(note, sizeof note,
                "%s: %.1f fps against %.1f fps (%.0f %%); %.2f M triangles/s; pictures differ in %s of pixels; "
                "where a frame goes (ms): %s",
                scene.label, ours_fps, peer_fps, peer_fps > 0 ? 100.0 * ours_fps / peer_fps : 0.0,
                ours_fps * scene.count * scene.triangles_each / 1e6,
                pictures ? (one_decimal(100.0 * differing_share(ours_picture.rgb, peer_picture.rgb)) + " %").c_str()
                         : "(no pictures)",
                parts.empty() ? "-" : parts.c_str());
  add_note(note);
}

// ---- the script's loop --------------------------------------------------------------

const char* const LOOP_BODY_OURS = "x = x + i * 0.5 - x / 3; if (x > 1000) { x = x - 1000; }";
const char* const LOOP_BODY_LUA = "x = x + i * 0.5 - x / 3; if x > 1000 then x = x - 1000 end";

struct LoopForm {
  const char* label;
  std::string ours, lua;
};

std::vector<LoopForm> loop_forms() {
  return {
      {"for",
       std::string("x = 0;\nt0 = time;\nfor (i = 0; i < 10000000; i++) { ") + LOOP_BODY_OURS +
           " }\nprint time - t0;\n",
       std::string("local x = 0\nfor i = 0, 9999999 do ") + LOOP_BODY_LUA + " end\n"},
      {"while",
       std::string("x = 0;\ni = 0;\nt0 = time;\nwhile (i < 10000000) { ") + LOOP_BODY_OURS +
           " i = i + 1; }\nprint time - t0;\n",
       std::string("local x = 0\nlocal i = 0\nwhile i < 10000000 do ") + LOOP_BODY_LUA + " i = i + 1 end\n"},
  };
}

// ---- the demo -------------------------------------------------------------------------

std::string machine_line() {
  std::string cpu = "?";
  std::ifstream info("/proc/cpuinfo");
  for (std::string line; std::getline(info, line);)
    if (line.rfind("model name", 0) == 0) {
      cpu = line.substr(line.find(':') + 2);
      break;
    }
  long cores = sysconf(_SC_NPROCESSORS_ONLN);
  double memory = static_cast<double>(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGE_SIZE) / (1024.0 * 1024 * 1024);
  char text[256];
  std::snprintf(text, sizeof text, "%ld cores (%s), %.0f GiB memory", cores, cpu.c_str(), memory);
  return text;
}

}  // namespace

void frame_rate_rows(const ProgramBench& bench) {
  const std::string scenes = bench.work_dir;
  write_file(scenes + "/sphere2000.obj", sphere_obj(20, 50));
  write_file(scenes + "/sphere200.obj", sphere_obj(10, 10));
  write_checker_png(scenes + "/tex.png");
  if (!write_peer_mesh(scenes + "/sphere2000.obj", scenes + "/sphere2000.peer") ||
      !write_peer_mesh(scenes + "/sphere200.obj", scenes + "/sphere200.peer") ||
      !write_peer_texture(scenes + "/tex.png", scenes + "/tex.peer")) {
    std::fprintf(stderr, "cannot write the peer's inputs\n");
    return;
  }
  // The large scene draws about 8 frames a second on two quiet cores under
  // llvmpipe: 40 frames a run. The small one draws many more.
  const FrameScene large{"100 spheres x 2,000 triangles", "sphere2000", 100, 10, 2.2f, 30.0f, 2000, 40, 3, 2};
  // The small scene stands far enough away to cover a tenth of the picture:
  // what it measures is the cost of each object, not of filling the screen.
  const FrameScene small{"199 objects x 200 triangles", "sphere200", 199, 20, 1.1f, 60.0f, 200, 300, 3, 2};
  for (const FrameScene* scene : {&large, &small}) {
    const std::string folder = scene == &large ? "spheres" : "objects";
    make_folder(bench.work_dir + "/" + folder);
    for (const char* file : {"tex.png", "sphere2000.obj", "sphere200.obj"})
      write_file(bench.work_dir + "/" + folder + "/" + file, read_text(scenes + "/" + file));
    frame_rate_row(bench, *scene, folder);
  }
}

void script_loop_rows(const ProgramBench& bench) {
  // lua5.4 running nothing: its start-up and exit, taken off its loop runs.
  const std::string empty = bench.work_dir + "/empty.lua";
  write_file(empty, "");
  std::vector<double> lua_empty;
  for (int i = 0; i < 5; ++i) lua_empty.push_back(run_process(bench, {"lua5.4", empty}).seconds);
  const double lua_start = median(lua_empty);

  int rounds = bench.quick ? 3 : 5;
  for (const LoopForm& form : loop_forms()) {
    const std::string data = bench.work_dir + "/loop_" + form.label;
    make_folder(data);
    write_file(data + "/script.txt", form.ours);
    const std::string lua = data + "/loop.lua";
    write_file(lua, form.lua);
    std::vector<double> ours, theirs;
    for (int r = 0; r < rounds; ++r) {
      for (int turn = 0; turn < 2; ++turn) {
        bool ours_turn = (turn == 0) == (r % 2 == 0);
        ProcessRun run = ours_turn ? run_process(bench, talpine_args(bench, data, {"--frames", "1"}))
                                   : run_process(bench, {"lua5.4", lua});
        std::fprintf(stderr, ".");
        if (run.status != 0) {
          complain(ours_turn ? "talpine" : "lua5.4", run);
          continue;
        }
        if (ours_turn) {
          double ms = number_after(run.out, "script print: ");
          if (ms > 0) ours.push_back(ms / 1000.0);
        } else {
          theirs.push_back(std::max(0.0, run.seconds - lua_start));
        }
      }
    }
    Row row;
    row.figure = std::string("script: 10M-round ") + form.label + " loop in the program";
    row.reference = std::string("lua5.4, same ") + form.label + " loop";
    row.figure_runs = ours;
    row.reference_runs = theirs;
    row.scale = 1e3;
    // Against Lua's `while`; its `for` is a counted loop of its own kind.
    if (std::string(form.label) == "while") row.target = Target::ratio(1.0);
    add_row(row);
  }
}

void start_up_rows(const ProgramBench& bench) {
  const std::string empty = bench.work_dir + "/empty_scene";
  make_folder(empty);
  int rounds = bench.quick ? 3 : 5;
  std::vector<double> ours_s, peer_s, ours_mib, peer_mib, demo_s, demo_mib;
  for (int r = 0; r < rounds; ++r) {
    for (int turn = 0; turn < 2; ++turn) {
      bool ours_turn = (turn == 0) == (r % 2 == 0);
      ProcessRun run = ours_turn ? run_process(bench, talpine_args(bench, empty, {"--max-frames", "1"}))
                                 : run_process(bench, peer_args(bench, {"--size", "1200x800", "--frames", "1"}));
      std::fprintf(stderr, ".");
      if (run.status != 0) {
        complain(ours_turn ? "talpine" : "the standalone GL program", run);
        continue;
      }
      (ours_turn ? ours_s : peer_s).push_back(run.seconds);
      (ours_turn ? ours_mib : peer_mib).push_back(run.peak_mib);
    }
    ProcessRun demo = run_process(bench, talpine_args(bench, bench.demo, {"--max-frames", "1"}));
    if (demo.status == 0) {
      demo_s.push_back(demo.seconds);
      demo_mib.push_back(demo.peak_mib);
    }
  }
  Row start;
  start.figure = "start-up to the first frame, empty scene";
  start.reference = "standalone SDL2 + GL 1.x program";
  start.figure_runs = ours_s;
  start.reference_runs = peer_s;
  start.scale = 1e3;
  start.target = Target::ratio(1.2);
  add_row(start);
  Row memory;
  memory.figure = "peak memory, empty scene";
  memory.reference = "standalone SDL2 + GL 1.x program";
  memory.figure_runs = ours_mib;
  memory.reference_runs = peer_mib;
  memory.unit = "MiB";
  memory.target = Target::margin(30);
  add_row(memory);
  Row demo_start;
  demo_start.figure = "start-up to the first frame, the demo";
  demo_start.reference = "-";
  demo_start.figure_runs = demo_s;
  demo_start.scale = 1e3;
  add_row(demo_start);
  Row demo_memory;
  demo_memory.figure = "peak memory, the demo's first frame";
  demo_memory.reference = "-";
  demo_memory.figure_runs = demo_mib;
  demo_memory.unit = "MiB";
  add_row(demo_memory);
}

void demo_tour_row(const ProgramBench& bench) {
  // The tour as it plays, in real time and paced as a 60 Hz display paces it:
  // one pass of its nine sections (and the bake) is about 3,900 frames.
  const int frames = bench.quick ? 1200 : 3900;
  ProcessRun run = run_process(
      bench, talpine_args(bench, bench.demo, {"--size", "640x480", "--max-frames", std::to_string(frames), "--stats"}));
  std::fprintf(stderr, ".");
  if (run.status != 0) {
    complain("the demo tour", run);
    return;
  }
  const std::string drawing_key = "drawing, without the script's commands: median ";
  double median_ms = -1, slowest_ms = -1;
  size_t at = run.err.find(drawing_key);
  if (at != std::string::npos)
    std::sscanf(run.err.c_str() + at + drawing_key.size(), "%lf ms, slowest %lf ms", &median_ms, &slowest_ms);
  Row row;
  row.figure = "demo tour: slowest frame";
  row.reference = "median frame of the same tour";
  if (slowest_ms > 0) row.figure_runs = {slowest_ms / 1000.0};
  if (median_ms > 0) row.reference_runs = {median_ms / 1000.0};
  row.scale = 1e3;
  row.target = Target::ratio(5.0);
  add_row(row);
  // The run's own summary lines, for where the worst frames were.
  std::istringstream lines(run.err);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("talpine: stats: ", 0) == 0) add_note("demo tour (" + std::to_string(frames) + " frames): " + line.substr(16));
}

std::string machine_description() { return machine_line(); }

double load_average() {
  double one = -1;
  if (FILE* file = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(file, "%lf", &one) != 1) one = -1;
    std::fclose(file);
  }
  return one;
}
