// `talpine_bench WORKDIR --program=P --peer=Q --demo=D [--quick] [--window]
// [--only=SECTION]`: writes the inputs into WORKDIR, runs every
// benchmark and prints the one table (bench/RESULTS.md says what each row
// runs). Sections (--only= one of them):
//   program: the program as its users run it, beside the peers' own programs:
//            frames, loop, start, tour (each also on its own)
//   record:  what recording the demo to an MP4 file and to PNG frames costs
//   gl:      the particle pass in this process's headless context
//   cpu:     component rows in this process (readers, cache, mesh algorithms)
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_cpu.h"
#include "bench/bench_particles.h"
#include "bench/bench_program.h"
#include "bench/bench_record.h"
#include "bench/bench_scaling.h"
#include "bench/results.h"

namespace {

// Every repetition's time of every benchmark, by name; prints a dot each.
std::map<std::string, std::vector<double>>& repetitions() {
  static std::map<std::string, std::vector<double>> values;
  return values;
}

class RepetitionReporter : public benchmark::BenchmarkReporter {
 public:
  bool ReportContext(const Context&) override { return true; }
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      repetitions()[run.run_name.function_name].push_back(run.GetAdjustedRealTime() /
                                                          benchmark::GetTimeUnitMultiplier(run.time_unit));
      std::fprintf(stderr, ".");
    }
  }
};

std::vector<double> runs_of(const std::string& name, double divisor = 1.0) {
  std::vector<double> values = repetitions()[name];
  for (double& v : values) v /= divisor;
  return values;
}

void pair(const char* figure, const char* reference, const char* a, const char* b, Target target) {
  Row row;
  row.figure = figure;
  row.reference = reference;
  row.figure_runs = runs_of(a);
  row.reference_runs = runs_of(b);
  row.scale = 1e3;
  row.target = target;
  add_row(row);
}

// Per-element time at 1,000,000 against 10,000 elements (or the counts the
// benchmark really used, when it cannot hit them exactly).
void scaling(const char* figure, const char* topic, double large = 1e6, double small = 1e4) {
  Row row;
  row.figure = figure;
  row.reference = "same, per element at 10,000";
  row.figure_runs = runs_of(std::string(topic) + "/1000000", large);
  row.reference_runs = runs_of(std::string(topic) + "/10000", small);
  row.scale = 1e9;
  row.unit = "ns";
  row.target = Target::ratio(2.0);
  add_row(row);
}

void cpu_rows(const std::string& dir, bool quick, int argc, char** argv) {
  std::fprintf(stderr, "writing the mesh files ");
  prepare_cpu_files(dir);
  std::fprintf(stderr, "\ncomponents ");
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
  RepetitionReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  pair("OBJ reader, 1M triangles", "tinyobjloader, same file", "obj/ours", "obj/tinyobj", Target::ratio(1.0));
  pair("OBJ reader, 1M triangles", "assimp, same file", "obj/ours", "obj/assimp", {});
  pair("glTF reader (.glb), 1M triangles", "tinyobjloader, the grid as OBJ", "gltf/ours", "obj/tinyobj",
       Target::ratio(1.0));
  pair("3D Studio reader, 1M triangles", "assimp, same file", "3ds/ours", "3ds/assimp", {});
  pair(".gfx cache read, 1M triangles", "reading the file's bytes", "gfx/ours", "gfx/bytes", Target::ratio(3.0));
  scaling("computeNormals per triangle at 1M", "normals");
  scaling("buildAdjacency per triangle at 1M", "adjacency");
  scaling("water step per vertex at 1M (16 grids)", "water");
  scaling("fluid step per vertex at 1M (16 grids)", "fluid");
  scaling("lightmap gathering per sample at 1M", "gather", static_cast<double>(gatherSamples(1000000)),
          static_cast<double>(gatherSamples(10000)));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: %s WORKDIR --program=P --peer=Q --demo=D [--quick] [--window]\n"
                 "       [--only=program|frames|loop|start|tour|record|gl|cpu]\n",
                 argv[0]);
    return 2;
  }
  std::string dir = argv[1];
  ProgramBench program;
  program.work_dir = dir;
  std::string only;
  for (int i = 2; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--quick")) program.quick = true;
    else if (!std::strcmp(argv[i], "--window")) program.window = true;
    else if (!std::strncmp(argv[i], "--only=", 7)) only = argv[i] + 7;
    else if (!std::strncmp(argv[i], "--program=", 10)) program.talpine = argv[i] + 10;
    else if (!std::strncmp(argv[i], "--peer=", 7)) program.peer_gl = argv[i] + 7;
    else if (!std::strncmp(argv[i], "--demo=", 7)) program.demo = argv[i] + 7;
  }
  std::vector<double> loads = {load_average()};

  auto section = [&](const char* name, const char* group) {
    return only.empty() || only == name || only == group;
  };
  if (section("frames", "program") || section("loop", "program") || section("start", "program") ||
      section("tour", "program") || section("record", "record")) {
    if (program.talpine.empty() || program.peer_gl.empty() || program.demo.empty()) {
      std::fprintf(stderr, "the program rows need --program, --peer and --demo\n");
      return 2;
    }
  }
  if (section("frames", "program")) {
    std::fprintf(stderr, "the program, frame rate ");
    frame_rate_rows(program);
    loads.push_back(load_average());
    std::fprintf(stderr, "\n");
  }
  if (section("loop", "program")) {
    std::fprintf(stderr, "the program, script loop ");
    script_loop_rows(program);
    std::fprintf(stderr, "\n");
  }
  if (section("start", "program")) {
    std::fprintf(stderr, "the program, start-up ");
    start_up_rows(program);
    std::fprintf(stderr, "\n");
  }
  if (section("tour", "program")) {
    std::fprintf(stderr, "the program, demo tour ");
    demo_tour_row(program);
    loads.push_back(load_average());
    std::fprintf(stderr, "\n");
  }
  if (section("record", "record")) {
    std::fprintf(stderr, "recording ");
    recording_overhead(program);
    loads.push_back(load_average());
    std::fprintf(stderr, "\n");
  }
  if (only.empty() || only == "gl") {
    std::fprintf(stderr, "particles ");
    if (!run_particle_benchmark(dir, program.quick)) std::fprintf(stderr, "no GL context\n");
    loads.push_back(load_average());
    std::fprintf(stderr, "\n");
  }
  if (only.empty() || only == "cpu") {
    cpu_rows(dir, program.quick, argc, argv);
    loads.push_back(load_average());
    std::fprintf(stderr, "\n");
  }

  print_table();
  auto [low, high] = std::minmax_element(loads.begin(), loads.end());
  std::printf("\nmachine: %s; %s; load average %.1f to %.1f during the run\n", machine_description().c_str(),
              program.window ? "in a window" : "headless (SDL offscreen, EGL)", *low, *high);
  return 0;
}
