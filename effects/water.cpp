#include "effects/water.h"

#include <algorithm>
#include <cstdlib>

#include "core/convert.h"
#include "core/engine.h"
#include "mesh/buffer_refresh.h"
#include "mesh/grid_surface.h"
#include "mesh/object.h"

// Weight of the four diagonal springs (1 / sqrt 2 in single precision).
constexpr float DIAGONAL_WEIGHT = 0.70710677f;
constexpr int16_t DEFAULT_PERIOD = 10;

cWater::cWater(Engine* owner)
    : engine(owner), nextWave(owner->pacing.now + DEFAULT_PERIOD), nextUpdate(owner->pacing.now + DEFAULT_PERIOD) {}

void cWater::attach(int32_t object_number, int32_t part_number) {
  if (attached && object_number == object && part_number == part) return;
  object = object_number;
  part = part_number;
  if (updatePeriod < 1) updatePeriod = DEFAULT_PERIOD;
  if (wavePeriod < 1) wavePeriod = DEFAULT_PERIOD;

  velocity.clear();
  force.clear();
  attached = false;
  vertexCount = 0;
  MeshPart* grid = findPart(engine, object, part);
  if (!grid) return;
  vertexCount = grid->vertexCount;
  gridSize = static_cast<int16_t>(gridEdge(vertexCount));
  velocity.assign(static_cast<size_t>(vertexCount), 0.0f);
  force.assign(static_cast<size_t>(vertexCount), 0.0f);
  attached = true;
}

// Random places come from rand() mod (N - 1); fixed ones are clamped to the
// last cell where the shape still fits inside the grid. Needs N >= 2.
void cWater::disturb(MeshPart& grid) {
  const int n = gridSize;
  int x = waveX >= 0 ? waveX : std::rand() % (n - 1);
  int y = waveY >= 0 ? waveY : std::rand() % (n - 1);
  auto height = [&](int column, int row) -> float& { return grid.positions[3 * (row * n + column) + 1]; };
  switch (waveShape) {
    case WATER_SHAPE_BLOCK:
      x = std::min(x, n - 2);
      y = std::min(y, n - 2);
      height(x, y) = waveHeight;
      height(x + 1, y) = waveHeight;
      height(x, y + 1) = waveHeight;
      height(x + 1, y + 1) = waveHeight;
      break;
    case WATER_SHAPE_LINE:
      y = std::min(y, n - 1);
      for (int column = x; column <= n - 2; ++column) height(column, y) = waveHeight;
      break;
    case WATER_SHAPE_VERTEX:
      x = std::min(x, n - 1);
      y = std::min(y, n - 1);
      height(x, y) = waveHeight;
      break;
    default:
      break;
  }
}

void cWater::update() {
  if (!active || !attached) return;
  if (object < 0 || object >= MAX_ELEMENTS || !engine->scene.objects[object] || !engine->scene.objects[object]->active) return;
  MeshPart* grid = gridPart(engine, object, part, vertexCount);
  if (!grid || velocity.size() != static_cast<size_t>(vertexCount)) return;
  if (engine->pacing.now < nextUpdate) return;
  nextUpdate = engine->pacing.now + static_cast<uint32_t>(updatePeriod);

  const int n = gridSize;
  if (engine->pacing.now > nextWave) {
    if (n > 1) disturb(*grid);
    nextWave = engine->pacing.now + static_cast<uint32_t>(wavePeriod);
  }

  // Forces: every interior vertex pulls on its eight neighbours, so each pair
  // of interior neighbours is visited from both sides.
  std::fill(force.begin(), force.end(), 0.0f);
  float* positions = grid->positions.data();
  auto y = [&](int k) { return positions[3 * k + 1]; };
  const int neighbour[8] = {-1, -n, 1, n, -n - 1, -n + 1, n - 1, n + 1};
  const float weight[8] = {1, 1, 1, 1, DIAGONAL_WEIGHT, DIAGONAL_WEIGHT, DIAGONAL_WEIGHT, DIAGONAL_WEIGHT};
  for (int i = 1; i <= n - 2; ++i) {
    for (int j = 1; j <= n - 2; ++j) {
      int b = i * n + j;
      for (int e = 0; e < 8; ++e) {
        int other = b + neighbour[e];
        float d = (y(b) - y(other)) * weight[e];
        force[b] -= d;
        force[other] += d;
      }
    }
  }

  // Integration with relaxation toward 0 by 1/N of the height per step.
  for (int k = 0; k < vertexCount; ++k) {
    velocity[k] += force[k] * stiffness;
    float& height = positions[3 * k + 1];
    height += velocity[k] - height / static_cast<float>(n);
  }

  gridNormals(*grid, n);
  markBuffersStale(engine->scene.objects[object]);
}

void cWater::sortFaces() {
  if (MeshPart* grid = findPart(engine, object, part)) sortGridFaces(*grid, gridSize);
}

void updateWaters(Engine* engine) {
  for (int slot = 0; slot < engine->scene.waters.count && slot < MAX_ELEMENTS; ++slot)
    if (cWater* water = engine->scene.waters[slot]) water->update();
}

// ---- commands ----------------------------------------------------------------

namespace {

void water_active(cWater& water, const CommandArgs& args) { water.active = float_to_int(args.a) != 0; }

void water_object(cWater& water, const CommandArgs& args) {
  water.attach(float_to_int(args.a), float_to_int(args.b));
}

void water_speed(cWater& water, const CommandArgs& args) {
  water.updatePeriod = static_cast<int16_t>(float_to_int(args.a));
  water.wavePeriod = static_cast<int16_t>(float_to_int(args.b));
  water.nextUpdate = water.engine->pacing.now + static_cast<uint32_t>(water.updatePeriod);
  water.nextWave = water.engine->pacing.now + static_cast<uint32_t>(water.wavePeriod);
}

void water_wave(cWater& water, const CommandArgs& args) {
  water.waveShape = static_cast<int16_t>(float_to_int(args.a));
  water.waveHeight = args.b;
  water.stiffness = args.c;
}

void water_coord(cWater& water, const CommandArgs& args) {
  water.waveX = static_cast<int16_t>(float_to_int(args.a));
  water.waveY = static_cast<int16_t>(float_to_int(args.b));
}

void water_sortfaces(cWater& water, const CommandArgs&) { water.sortFaces(); }

struct WaterClass {
  using Element = cWater;
  static constexpr const char* name = "cWater";
  static constexpr int type_code = CMD_WATER;
  static constexpr int capacity = MAX_ELEMENTS;
  static auto* table(Engine* e) { return &e->scene.waters; }
  static constexpr ClassKeyword<cWater> keywords[] = {
      {"active", water_active}, {"object", water_object}, {"speed", water_speed},
      {"wave", water_wave},     {"coord", water_coord},   {"sortfaces", water_sortfaces},
  };
  // The mesh keeps the shape it last had.
  static void destroy(cWater* water) {
    water->active = false;
    delete water;
  }
  // `new cWater(obj)`: attached to part 0 of object obj.
  static void update(Engine* e) { updateWaters(e); }
  static cWater* construct(Engine* e, int, const CommandArgs& args) {
    auto* water = new cWater(e);
    water->attach(float_to_int(args.n), 0);
    return water;
  }
};

}  // namespace

const ClassType water_class = class_type<WaterClass>();
