// Component figures through Google Benchmark, in this process: the mesh
// readers against tinyobjloader and assimp on the same files, the .gfx cache
// against reading its bytes, and the mesh algorithms at two sizes. (The
// script's loop is measured in the running program, bench_program.cpp.)
#include "bench/bench_cpu.h"

#include <benchmark/benchmark.h>

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <tiny_obj_loader.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/mesh_gen.h"
#include "lighting/shadow.h"
#include "mesh/byte_reader.h"
#include "mesh/loader_3ds.h"
#include "mesh/loader_gltf.h"
#include "mesh/loader_obj.h"
#include "mesh/object.h"

namespace {

std::string dir;

void obj_ours(benchmark::State& state) {
  for (auto _ : state) {
    cObject object(nullptr);
    readObj(&object, (dir + "/grid.obj").c_str());
    benchmark::DoNotOptimize(object.parts.data());
  }
}

void gltf_ours(benchmark::State& state) {
  for (auto _ : state) {
    cObject object(nullptr);
    readGltf(&object, (dir + "/grid.glb").c_str());
    benchmark::DoNotOptimize(object.parts.data());
  }
}

void obj_tinyobj(benchmark::State& state) {
  for (auto _ : state) {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, (dir + "/grid.obj").c_str(), nullptr, true);
    benchmark::DoNotOptimize(shapes.data());
  }
}

void assimp_read(benchmark::State& state, const char* name) {
  for (auto _ : state) {
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(dir + "/" + name, aiProcess_Triangulate);
    benchmark::DoNotOptimize(scene);
  }
}

void tds_ours(benchmark::State& state) {
  for (auto _ : state) {
    cObject object(nullptr);
    FILE* file = std::fopen((dir + "/grid.3ds").c_str(), "rb");
    std::unique_ptr<Scene3ds> scene = read3ds(file);
    std::fclose(file);
    convert3ds(&object, *scene);
    benchmark::DoNotOptimize(object.parts.data());
  }
}

void gfx_ours(benchmark::State& state) {
  for (auto _ : state) {
    cObject object(nullptr);
    object.readGfx((dir + "/grid.gfx").c_str());
    benchmark::DoNotOptimize(object.parts.data());
  }
}

void gfx_bytes(benchmark::State& state) {
  for (auto _ : state) {
    FILE* file = std::fopen((dir + "/grid.gfx").c_str(), "rb");
    std::vector<uint8_t> bytes = read_whole_file(file);
    std::fclose(file);
    benchmark::DoNotOptimize(bytes.data());
  }
}

// A grid object of about `triangles` triangles, in parts of 16-bit indices,
// made once per size and kept for every repetition (writing and reading the
// 1,000,000-triangle file takes longer than the figures measured on it).
cObject* grid_object(long triangles) {
  static std::map<long, std::unique_ptr<cObject>> made;
  std::unique_ptr<cObject>& object = made[triangles];
  if (object) return object.get();
  GridMesh mesh;
  mesh.rows = 50;
  mesh.columns = 100;  // 10,000 triangles a patch
  mesh.patches = static_cast<int>(triangles / (2L * mesh.rows * mesh.columns));
  std::string path = dir + "/algo" + std::to_string(triangles) + ".obj";
  write_grid_obj(mesh, path);
  object = std::make_unique<cObject>(nullptr);
  readObj(object.get(), path.c_str());
  std::remove(path.c_str());
  return object.get();
}

void normals(benchmark::State& state) {
  cObject* object = grid_object(state.range(0));
  for (auto _ : state) object->computeNormals();
}

void adjacency(benchmark::State& state) {
  cObject* object = grid_object(state.range(0));
  for (auto _ : state) buildAdjacency(object);
}

}  // namespace

void register_cpu_benchmarks(const std::string& work_dir, bool quick) {
  dir = work_dir;
  int load_reps = quick ? 3 : 5;
  auto once = [](benchmark::internal::Benchmark* b, int reps) {
    b->Iterations(1)->Repetitions(reps)->Unit(benchmark::kMillisecond)->UseRealTime();
  };
  once(benchmark::RegisterBenchmark("obj/ours", obj_ours), load_reps);
  once(benchmark::RegisterBenchmark("obj/tinyobj", obj_tinyobj), load_reps);
  once(benchmark::RegisterBenchmark("obj/assimp", assimp_read, "grid.obj"), load_reps);
  // The cheap readers' pairs take a fraction of a second a run: more runs
  // steady their medians on a shared machine.
  const int cheap_reps = quick ? 5 : 9;
  once(benchmark::RegisterBenchmark("gltf/ours", gltf_ours), load_reps);
  once(benchmark::RegisterBenchmark("3ds/ours", tds_ours), cheap_reps);
  once(benchmark::RegisterBenchmark("3ds/assimp", assimp_read, "grid.3ds"), load_reps);
  once(benchmark::RegisterBenchmark("gfx/ours", gfx_ours), cheap_reps);
  once(benchmark::RegisterBenchmark("gfx/bytes", gfx_bytes), cheap_reps);
  // Iterations for about 50 ms (normals) and 0.5 s (adjacency) a repetition
  // at either size.
  for (long n : {10000L, 1000000L}) {
    const bool small = n == 10000;
    benchmark::RegisterBenchmark(("normals/" + std::to_string(n)).c_str(), normals)
        ->Arg(n)->Iterations(small ? 200 : 2)->Repetitions(load_reps)->UseRealTime();
    benchmark::RegisterBenchmark(("adjacency/" + std::to_string(n)).c_str(), adjacency)
        ->Arg(n)->Iterations(small ? 100 : 1)->Repetitions(load_reps)->UseRealTime();
  }
}

void prepare_cpu_files(const std::string& work_dir) {
  // Kept between runs: the generator is deterministic (remove WORKDIR to redo).
  GridMesh grid;
  if (FILE* done = std::fopen((work_dir + "/grid.glb").c_str(), "rb")) std::fclose(done);
  else write_grid_glb(grid, work_dir + "/grid.glb");
  if (FILE* done = std::fopen((work_dir + "/grid.gfx").c_str(), "rb")) {
    std::fclose(done);
    return;
  }
  GridMesh mesh;  // 16 patches of 62,500 triangles: 1,000,000
  write_grid_obj(mesh, work_dir + "/grid.obj");
  write_grid_3ds(mesh, work_dir + "/grid.3ds");
  cObject object(nullptr);
  readObj(&object, (work_dir + "/grid.obj").c_str());
  object.writeGfx((work_dir + "/grid.obj").c_str());
}
