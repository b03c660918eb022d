// `talpine_bench WORKDIR [--quick] [--only=cpu|gl]`: writes the inputs into
// WORKDIR, runs every benchmark and prints the one table.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_cpu.h"
#include "bench/bench_frame.h"
#include "bench/bench_record.h"
#include "bench/bench_scaling.h"
#include "bench/results.h"

namespace {

// Keeps the medians of the repeated runs; prints a dot per benchmark.
class MedianReporter : public benchmark::BenchmarkReporter {
 public:
  bool ReportContext(const Context&) override { return true; }
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median") continue;
      if (run.error_occurred) continue;
      medians()[run.run_name.function_name] =
          run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      std::fprintf(stderr, ".");
    }
  }
};

double value(const char* name) {
  auto it = medians().find(name);
  return it == medians().end() ? 0.0 : it->second;
}

void pair(const char* figure, const char* ref_label, const char* a, const char* b, const char* target,
          double limit, double scale = 1e3, const char* unit = "ms") {
  Row row;
  row.figure = figure;
  row.reference = ref_label;
  row.figure_s = value(a);
  row.reference_s = value(b);
  row.scale = scale;
  row.unit = unit;
  row.target = target;
  row.limit = limit;
  add_row(row);
}

// Per-element time at 1,000,000 against 10,000 elements (or the counts the
// benchmark really used, when it cannot hit them exactly).
void scaling(const char* figure, const char* topic, double large = 1e6, double small = 1e4) {
  Row row;
  row.figure = figure;
  row.reference = "same, per element at 10,000";
  row.figure_s = value((std::string(topic) + "/1000000").c_str()) / large;
  row.reference_s = value((std::string(topic) + "/10000").c_str()) / small;
  row.scale = 1e9;
  row.unit = "ns";
  row.target = "<= 2.00";
  row.limit = 2.0;
  add_row(row);
}

// The demo until its first presented frame (and its shut-down): wall time and
// the peak resident memory of the process.
void startup(const std::string& program, const std::string& demo, int runs) {
  std::vector<double> seconds;
  long peak_kb = 0;
  for (int r = 0; r < runs; ++r) {
    auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
      FILE* quiet = std::freopen("/dev/null", "w", stdout);
      (void)quiet;
      execl(program.c_str(), program.c_str(), "--headless", "--data", demo.c_str(), "--max-frames", "1",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    peak_kb = std::max(peak_kb, usage.ru_maxrss);
  }
  std::sort(seconds.begin(), seconds.end());
  Row row;
  row.figure = "start-up: demo to first presented frame";
  row.reference = "-";
  row.figure_s = seconds[seconds.size() / 2];
  row.scale = 1e3;
  add_row(row);
  char note[160];
  std::snprintf(note, sizeof note, "start-up: peak resident memory of the demo %.1f MiB (first frame, then shut-down)",
                peak_kb / 1024.0);
  add_note(note);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s WORKDIR [--quick] [--only=cpu|gl|start|record] [--program=P --demo=D]\n", argv[0]);
    return 2;
  }
  std::string dir = argv[1];
  bool quick = false;
  std::string only, program, demo;
  for (int i = 2; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--quick")) quick = true;
    else if (!std::strncmp(argv[i], "--only=", 7)) only = argv[i] + 7;
    else if (!std::strncmp(argv[i], "--program=", 10)) program = argv[i] + 10;
    else if (!std::strncmp(argv[i], "--demo=", 7)) demo = argv[i] + 7;
  }

  if (only.empty() || only == "cpu") {
    std::fprintf(stderr, "writing the mesh files ");
    prepare_cpu_files(dir);
    std::fprintf(stderr, "\nCPU benchmarks ");
    register_cpu_benchmarks(dir, quick);
    register_scaling_benchmarks(quick ? 3 : 5);
    // Repetitions of all benchmarks interleaved, so a figure and its reference
    // see the same load on a shared machine.
    char flag[] = "--benchmark_enable_random_interleaving=true";
    std::vector<char*> bench_argv = {argv[0], flag};
    for (int i = 2; i < argc; ++i)
      if (!std::strncmp(argv[i], "--benchmark_", 12)) bench_argv.push_back(argv[i]);
    int bench_argc = static_cast<int>(bench_argv.size());
    bench_argv.push_back(nullptr);
    benchmark::Initialize(&bench_argc, bench_argv.data());
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    pair("interpreter: 10M-iteration float loop", "Lua 5.4, same loop", "interp/ours", "interp/lua", "<= 1.50",
         1.5);
    pair("OBJ reader, 1M triangles", "tinyobjloader, same file", "obj/ours", "obj/tinyobj", "<= 1.00", 1.0);
    pair("OBJ reader, 1M triangles", "assimp, same file", "obj/ours", "obj/assimp", "", 0);
    pair("glTF reader (.glb), 1M triangles", "tinyobjloader, the grid as OBJ", "gltf/ours", "obj/tinyobj", "<= 1.00",
         1.0);
    pair("3D Studio reader, 1M triangles", "assimp, same file", "3ds/ours", "3ds/assimp", "", 0);
    pair(".gfx cache read, 1M triangles", "reading the file's bytes", "gfx/ours", "gfx/bytes", "<= 3.00", 3.0);
    scaling("computeNormals per triangle at 1M", "normals");
    scaling("buildAdjacency per triangle at 1M", "adjacency");
    scaling("water step per vertex at 1M (16 grids)", "water");
    scaling("fluid step per vertex at 1M (16 grids)", "fluid");
    scaling("lightmap gathering per sample at 1M", "gather", static_cast<double>(gatherSamples(1000000)),
            static_cast<double>(gatherSamples(10000)));
  }
  if (only.empty() || only == "gl") {
    std::fprintf(stderr, "\nGL benchmarks ");
    if (!run_frame_benchmarks(dir, quick)) std::fprintf(stderr, "no GL context\n");
  }
  if ((only.empty() || only == "start") && !program.empty()) startup(program, demo, quick ? 3 : 5);
  if ((only.empty() || only == "record") && !program.empty()) recording_overhead(program, demo, dir, quick);
  std::fprintf(stderr, "\n");
  print_table();
  return 0;
}
