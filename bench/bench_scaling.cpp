// Per-element cost of the grid surfaces' steps and of the lightmap gathering at
// 10,000 and at 1,000,000 elements, for the linear-scaling rows of the table.
//
// A water or fluid grid lives in one mesh part of at most 65,535 vertices, so
// the large size is 16 grids of 250 x 250 (each its own object and element,
// stepped in slot order as the frame does) and the small one a single grid of
// 100 x 100. The gathering has no GL here: per sample the gatherPoints walk
// and the average of one 64 x 64 view (the baker's default view, read back into
// the same buffer every time), then the rasterPoints walk handing each sample's
// colour to its lightmap corner.
#include "bench/bench_scaling.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/engine.h"
#include "effects/fluid.h"
#include "effects/water.h"
#include "lighting/lightmap_layout.h"
#include "mesh/object.h"

namespace {

constexpr int SMALL_EDGE = 100;  // 10,000 vertices
constexpr int LARGE_EDGE = 250;  // 62,500 vertices a grid
constexpr int LARGE_GRIDS = 16;  // 1,000,000 vertices in all

// An engine record (no GL) holding `grids` active objects of one n x n grid
// part each, in slots 0, 1, ...; lightly waved so the steps start from a shape.
struct GridScene {
  std::unique_ptr<Engine> engine = std::make_unique<Engine>();
  explicit GridScene(long vertices) {
    const int n = vertices == 10000 ? SMALL_EDGE : LARGE_EDGE;
    const int grids = vertices == 10000 ? 1 : LARGE_GRIDS;
    for (int g = 0; g < grids; ++g) {
      auto* object = new cObject(engine.get());
      MeshPart part;
      for (int row = 0; row < n; ++row)
        for (int column = 0; column < n; ++column)
          part.positions.insert(part.positions.end(),
                                {float(column), 0.5f * std::sin(column * 0.3f) * std::cos(row * 0.2f), float(row)});
      part.vertexCount = n * n;
      part.normals.assign(part.positions.size(), 0.0f);
      object->parts.push_back(std::move(part));
      object->partCount = 1;
      object->active = true;
      engine->scene.objects[g] = object;
      engine->scene.objects.count = g + 1;
    }
  }
  int grids() const { return engine->scene.objects.count; }
  ~GridScene() {
    for (int i = 0; i < MAX_ELEMENTS; ++i) {
      delete engine->scene.waters[i];
      engine->scene.waters[i] = nullptr;
      delete engine->scene.fluides[i];
      engine->scene.fluides[i] = nullptr;
      delete engine->scene.objects[i];
      engine->scene.objects[i] = nullptr;
    }
  }
};

// One step of every water element per iteration: forces, integration, normals,
// and a disturbance whenever one is due.
void water_step(benchmark::State& state) {
  GridScene scene(state.range(0));
  Engine* engine = scene.engine.get();
  std::vector<cWater*> waters;
  for (int g = 0; g < scene.grids(); ++g) {
    auto* water = new cWater(engine);
    engine->scene.waters[g] = water;
    engine->scene.waters.count = g + 1;
    water->active = true;
    water->attach(g, 0);
    waters.push_back(water);
  }
  for (auto _ : state) {
    engine->pacing.now += 10;  // the default update period: every element is due
    updateWaters(engine);
  }
  benchmark::DoNotOptimize(engine->scene.objects[0]->parts[0].positions.data());
}

// One step of every fluid surface per iteration, with a source in the middle
// of each grid.
void fluid_step(benchmark::State& state) {
  GridScene scene(state.range(0));
  Engine* engine = scene.engine.get();
  for (int g = 0; g < scene.grids(); ++g) {
    auto* fluid = new cFluide(engine);
    engine->scene.fluides[g] = fluid;
    engine->scene.fluides.count = g + 1;
    fluid->active = true;
    fluid->duration = 1 << 30;  // the sources run throughout
    fluid->attach(g, 0);
    const int n = fluid->gridSize;
    FluidCell& middle = fluid->cells[static_cast<size_t>(fluid->cellIndex(n / 2, n / 2))];
    middle.source = true;
    middle.amplitude = 2.0f;
    middle.frequency = 30.0f;
  }
  engine->pacing.now = 1;
  updateFluids(engine);  // arms the clocks
  for (auto _ : state) {
    engine->pacing.now += 10;  // the default speed: every surface steps
    updateFluids(engine);
  }
  benchmark::DoNotOptimize(engine->scene.objects[0]->parts[0].positions.data());
}

constexpr int GATHER_LEVEL = 5;  // 1,023 samples a triangle
constexpr int VIEW_EDGE = 64;

long gather_triangles(long samples) {
  const long per = static_cast<long>(samplesPerTriangle(GATHER_LEVEL));
  return (samples + per - 1) / per;
}

void gathering(benchmark::State& state) {
  const long triangles = gather_triangles(state.range(0));
  const size_t samples = static_cast<size_t>(triangles * samplesPerTriangle(GATHER_LEVEL));
  std::vector<uint8_t> view(VIEW_EDGE * VIEW_EDGE * 3);
  for (size_t i = 0; i < view.size(); ++i) view[i] = static_cast<uint8_t>((i * 37) % 251);
  std::vector<uint8_t> colours(samples * 3);
  for (auto _ : state) {
    int64_t counter = 0;
    float eyes = 0;
    for (long t = 0; t < triangles; ++t) {
      const float x = static_cast<float>(t);
      const float p0[3] = {x, 0, 0}, p1[3] = {x + 1, 0, 0}, p2[3] = {x, 1, 0};
      gatherPoints(p0, p1, p2, GATHER_LEVEL, [&](const float* eye) {
        eyes += eye[0];
        averageView(view.data(), VIEW_EDGE * VIEW_EDGE, 1, 1.5f, &colours[static_cast<size_t>(counter++) * 3]);
      });
    }
    int64_t sample = 0;
    uint64_t corners = 0;
    for (long t = 0; t < triangles; ++t) {
      const int x = static_cast<int>(t % 32) * 8, y = static_cast<int>(t / 32 % 32) * 8;
      const int p0[2] = {x, y}, p1[2] = {x + 7, y}, p2[2] = {x, y + 7};
      rasterPoints(p0, p1, p2, GATHER_LEVEL, &sample, [&](const int* p, int64_t s) {
        corners += colours[static_cast<size_t>(s) * 3] + static_cast<uint64_t>(p[0] + p[1]);
      });
    }
    benchmark::DoNotOptimize(eyes);
    benchmark::DoNotOptimize(corners);
  }
}

}  // namespace

long gatherSamples(long elements) { return gather_triangles(elements) * samplesPerTriangle(GATHER_LEVEL); }

void register_scaling_benchmarks(int repetitions) {
  for (long n : {10000L, 1000000L}) {
    const std::string size = std::to_string(n);
    const bool small = n == 10000;
    benchmark::RegisterBenchmark(("water/" + size).c_str(), water_step)
        ->Arg(n)->Iterations(small ? 100 : 5)->Repetitions(repetitions)->UseRealTime();
    benchmark::RegisterBenchmark(("fluid/" + size).c_str(), fluid_step)
        ->Arg(n)->Iterations(small ? 100 : 5)->Repetitions(repetitions)->UseRealTime();
    // About 10 s a repetition at 1,000,000 samples, nearly all of it the
    // fixed-size view averages, whose spread is small: three are enough.
    benchmark::RegisterBenchmark(("gather/" + size).c_str(), gathering)
        ->Arg(n)->Iterations(small ? 10 : 1)->Repetitions(small ? repetitions : std::min(repetitions, 3))
        ->UseRealTime();
  }
}
