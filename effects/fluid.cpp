#include "effects/fluid.h"

#include <cmath>

#include "core/convert.h"
#include "core/engine.h"
#include "mesh/buffer_refresh.h"
#include "mesh/grid_surface.h"
#include "mesh/object.h"

void cFluide::attach(int32_t object_number, int32_t part_number) {
  if (attached && object_number == object && part_number == part) return;
  object = object_number;
  part = part_number;
  cells.clear();
  attached = false;
  vertexCount = 0;
  gridSize = 0;
  MeshPart* grid = findPart(engine, object, part);
  if (!grid) return;
  vertexCount = grid->vertexCount;
  gridSize = gridEdge(vertexCount);
  cells.assign(static_cast<size_t>(vertexCount), FluidCell{});
  grid->normals.resize(static_cast<size_t>(vertexCount) * 3);
  for (int32_t k = 0; k < vertexCount; ++k) {
    grid->normals[3 * k] = 0.0f;
    grid->normals[3 * k + 1] = 1.0f;
    grid->normals[3 * k + 2] = 0.0f;
  }
  markBuffersStale(engine->scene.objects[object]);
  attached = true;
}

int32_t cFluide::cellIndex(int32_t row, int32_t column) const {
  if (row < 0 || column < 0) return -1;
  int64_t k = static_cast<int64_t>(row) * gridSize + column;
  return k < vertexCount ? static_cast<int32_t>(k) : -1;
}

void cFluide::update() {
  if (!active || !attached) return;
  if (object < 0 || object >= MAX_ELEMENTS || !engine->scene.objects[object] || !engine->scene.objects[object]->active) return;
  MeshPart* grid = gridPart(engine, object, part, vertexCount);
  if (!grid || cells.size() != static_cast<size_t>(vertexCount)) return;

  // Armed at the first call that gets here.
  if (endTime == 0) endTime = engine->pacing.now + static_cast<uint32_t>(duration);
  if (nextUpdate == 0) nextUpdate = engine->pacing.now + static_cast<uint32_t>(speed);
  // The phase follows the calls (frames), not the time.
  clock += wavetime;
  if (engine->pacing.now < nextUpdate) return;
  if (endTime < engine->pacing.now) sourcesOn = false;

  // Step, column by column. The wave term reads the positions, which still
  // hold the previous step's heights (and any "addperturb" since).
  const int n = gridSize;
  float* positions = grid->positions.data();
  auto y = [&](int k) { return positions[3 * k + 1]; };
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      int k = j * n + i;
      FluidCell& cell = cells[k];
      if (cell.source && sourcesOn) cell.height = std::sin(cell.frequency * clock) * cell.amplitude;
      if (i != 0 && i != n - 1 && j != 0 && j != n - 1) {
        if (waveweight != 0.0f)
          cell.velocity += (y(k + 1) + y(k - 1) + y(k - n) + y(k + n) - 4.0f * y(k)) * wavetime / waveweight;
        cell.height += cell.velocity * wavetime;
      }
    }
  }

  // Copy
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) positions[3 * (j * n + i) + 1] = cells[j * n + i].height;

  gridNormals(*grid, n);
  markBuffersStale(engine->scene.objects[object]);
  nextUpdate = engine->pacing.now + static_cast<uint32_t>(speed);
}

void updateFluids(Engine* engine) {
  for (int slot = 0; slot < engine->scene.fluides.count && slot < MAX_ELEMENTS; ++slot)
    if (cFluide* fluid = engine->scene.fluides[slot]) fluid->update();
}

// ---- commands ----------------------------------------------------------------

namespace {

void fluid_active(cFluide& fluid, const CommandArgs& args) { fluid.active = float_flag(args.a); }

void fluid_defobj(cFluide& fluid, const CommandArgs& args) {
  fluid.attach(float_to_int(args.a), float_to_int(args.b));
}

void fluid_speed(cFluide& fluid, const CommandArgs& args) {
  fluid.speed = float_to_int(args.a);
  fluid.nextUpdate = fluid.engine->pacing.now + static_cast<uint32_t>(fluid.speed);
}

// Runs the sources again, for `duration` from the next step.
void fluid_duration(cFluide& fluid, const CommandArgs& args) {
  fluid.sourcesOn = true;
  fluid.duration = float_to_int(args.a);
  fluid.endTime = 0;
}

void fluid_wavetime(cFluide& fluid, const CommandArgs& args) { fluid.wavetime = args.a; }

void fluid_waveweight(cFluide& fluid, const CommandArgs& args) { fluid.waveweight = args.a; }

// addimpulse row col amplitude frequency
void fluid_addimpulse(cFluide& fluid, const CommandArgs& args) {
  if (!fluid.attached || fluid.cells.size() != static_cast<size_t>(fluid.vertexCount)) return;
  int32_t k = fluid.cellIndex(float_to_int(args.a), float_to_int(args.b));
  if (k < 0) return;
  FluidCell& cell = fluid.cells[k];
  cell.source = true;
  cell.amplitude = args.c;
  cell.frequency = args.d;
}

// addperturb row col height: a kick for one step (the step restores the cell's
// own height).
void fluid_addperturb(cFluide& fluid, const CommandArgs& args) {
  MeshPart* grid = gridPart(fluid.engine, fluid.object, fluid.part, fluid.vertexCount);
  if (!fluid.attached || !grid) return;
  int32_t k = fluid.cellIndex(float_to_int(args.a), float_to_int(args.b));
  if (k < 0) return;
  grid->positions[3 * k + 1] = args.c;
  markBuffersStale(fluid.engine->scene.objects[fluid.object]);
}

void fluid_sortfaces(cFluide& fluid, const CommandArgs&) {
  if (MeshPart* grid = findPart(fluid.engine, fluid.object, fluid.part)) sortGridFaces(*grid, fluid.gridSize);
}

void fluid_update(cFluide& fluid, const CommandArgs&) { fluid.update(); }

struct FluidClass {
  using Element = cFluide;
  static constexpr const char* name = "cFluide";
  static constexpr int type_code = CMD_FLUIDE;
  static constexpr int capacity = MAX_ELEMENTS;
  static auto* table(Engine* e) { return &e->scene.fluides; }
  static constexpr ClassKeyword<cFluide> keywords[] = {
      {"active", fluid_active},         {"defobj", fluid_defobj},         {"speed", fluid_speed},
      {"duration", fluid_duration},     {"wavetime", fluid_wavetime},     {"waveweight", fluid_waveweight},
      {"addimpulse", fluid_addimpulse}, {"addperturb", fluid_addperturb}, {"sortfaces", fluid_sortfaces},
      {"update", fluid_update},
  };
  // The mesh keeps the shape it last had.
  static void destroy(cFluide* fluid) {
    fluid->active = false;
    delete fluid;
  }
  // `new cFluide(obj)`: attached to part 0 of object obj.
  static void update(Engine* e) { updateFluids(e); }
  static cFluide* construct(Engine* e, int, const CommandArgs& args) {
    auto* fluid = new cFluide(e);
    fluid->attach(float_to_int(args.n), 0);
    return fluid;
  }
};

}  // namespace

const ClassType fluid_class = class_type<FluidClass>();
