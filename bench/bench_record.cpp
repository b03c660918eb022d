#include "bench/bench_record.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "bench/results.h"

namespace {

// Frames of each run: the demo's first one and a half seconds, which load,
// fade in and animate the first section.
constexpr int FRAMES = 90;

// Wall seconds of one run of the program with `extra` arguments; < 0 when it failed.
double timed_run(const std::string& program, const std::string& demo, const std::vector<std::string>& extra) {
  std::vector<std::string> args = {program, "--headless", "--data", demo, "--size", "1280x720", "--max-frames",
                                   std::to_string(FRAMES)};
  args.insert(args.end(), extra.begin(), extra.end());
  auto start = std::chrono::steady_clock::now();
  pid_t child = fork();
  if (child == 0) {
    FILE* quiet = std::freopen("/dev/null", "w", stdout);
    quiet = std::freopen("/dev/null", "w", stderr);
    (void)quiet;
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

void recording_overhead(const ProgramBench& bench) {
  namespace fs = std::filesystem;
  const std::string &program = bench.talpine, &demo = bench.demo, &dir = bench.work_dir;
  const bool quick = bench.quick;
  const std::string video = dir + "/record_bench.mp4", frames = dir + "/record_bench_frames";
  std::vector<double> plain, mp4, png;
  // Rounds of the three runs one after the other, so that each sees the same load.
  for (int round = 0; round < (quick ? 1 : 3); ++round) {
    plain.push_back(timed_run(program, demo, {"--fixed-step", "16.666666666667"}));
    mp4.push_back(timed_run(program, demo, {"--record", video, "--fps", "60"}));
    fs::remove_all(frames);
    png.push_back(timed_run(program, demo, {"--record", frames, "--fps", "60"}));
    std::fprintf(stderr, ".");
  }
  fs::remove(video);
  fs::remove_all(frames);
  if (*std::min_element(plain.begin(), plain.end()) < 0 || *std::min_element(mp4.begin(), mp4.end()) < 0) {
    add_note("recording: a run failed; no figures");
    return;
  }
  Row row;
  row.figure = "recording: demo 1280x720, 90 frames, MP4";
  row.reference = "same run, not recording";
  row.figure_runs = mp4;
  row.reference_runs = plain;
  row.scale = 1e3;
  row.target = Target::ratio(1.25);
  add_row(row);
  row.figure = "recording: same, PNG frames";
  row.figure_runs = png;
  row.target = {};
  add_row(row);
}
