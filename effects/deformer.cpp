#include "effects/deformer.h"

#include "core/convert.h"
#include "core/engine.h"
#include "mesh/buffer_refresh.h"
#include "mesh/loaded_shape.h"
#include "mesh/object.h"

namespace {

void grow(cDeform& d, cObject& o) {
  for (float& factor : d.scale)
    if (factor != 0.0f) factor += d.scaleStep;  // a flattened axis stays flat
  keepLoadedShape(&o);
  for (MeshPart& part : o.parts)
    for (size_t i = 0; i + 2 < part.positions.size(); i += 3)
      for (int a = 0; a < 3; ++a) part.positions[i + a] *= d.scale[a];
  o.computeBounds();
  o.updateTransform();
  o.computeNormals();
  o.dirty = 1;
  // The new shape reaches the GPU copy before the frame draws.
  markBuffersStale(&o);
}

// The reference colour is the first group of the first part; every group then
// takes it, and an alpha below 1 marks the object and its groups blended.
void drift_colour(cDeform& d, cObject& o) {
  if (o.parts.empty() || o.parts[0].groups.empty()) return;
  float colour[4];
  const float* reference = o.parts[0].groups[0].diffuse;
  for (int c = 0; c < 4; ++c) colour[c] = reference[c] + d.blend[c];
  for (MeshPart& part : o.parts)
    for (MaterialGroup& group : part.groups) {
      for (int c = 0; c < 4; ++c) group.diffuse[c] = colour[c];
      if (colour[3] < 1.0f) group.transparent = 1;
    }
  if (colour[3] < 1.0f) o.blended = 1;
}

// ---- the commands; the deformer number is args.n, the values args.a .. args.d ----

void deform_active(cDeform& d, const CommandArgs& args) { d.active = float_to_int(args.a) != 0; }

void deform_object(cDeform& d, const CommandArgs& args) {
  d.object = static_cast<int16_t>(float_to_int(args.a));
  d.speed = static_cast<int16_t>(float_to_int(args.b));
}

void deform_speed(cDeform& d, const CommandArgs& args) { d.speed = static_cast<int16_t>(float_to_int(args.a)); }

void deform_spin(cDeform& d, const CommandArgs& args) {
  d.spin[0] = args.a;
  d.spin[1] = args.b;
  d.spin[2] = args.c;
  d.spinOn = true;
}

void deform_position(cDeform& d, const CommandArgs& args) {
  d.position[0] = args.a;
  d.position[1] = args.b;
  d.position[2] = args.c;
  d.positionOn = true;
}

void deform_blend(cDeform& d, const CommandArgs& args) {
  d.blend[0] = args.a;
  d.blend[1] = args.b;
  d.blend[2] = args.c;
  d.blend[3] = args.d;
  d.blendOn = 1;
}

void deform_scale(cDeform& d, const CommandArgs& args) {
  d.scale[0] = args.a;
  d.scale[1] = args.b;
  d.scale[2] = args.c;
  d.scaleStep = args.d;
  d.scaleOn = true;
}

struct DeformClass {
  using Element = cDeform;
  static constexpr const char* name = "cDeform";
  static constexpr int type_code = CMD_DEFORM;
  static constexpr int capacity = MAX_ELEMENTS;
  static auto* table(Engine* e) { return &e->scene.deforms; }
  // The order is part of the script interface.
  static constexpr ClassKeyword<cDeform> keywords[] = {
      {"active", deform_active}, {"object", deform_object},     {"speed", deform_speed},
      {"spin", deform_spin},     {"position", deform_position}, {"blend", deform_blend},
      {"scale", deform_scale},
  };
  // The object keeps what the deformer did to it.
  static void destroy(cDeform* d) {
    d->active = false;
    delete d;
  }
  // `new cDeform(n)`: n is the object to animate.
  // Last of the updates: deforms what the others moved this round.
  static void update(Engine* e) { updateDeformers(e); }
  static cDeform* construct(Engine* e, int, const CommandArgs& args) {
    auto* d = new cDeform(e);
    d->object = static_cast<int16_t>(float_to_int(args.n));
    return d;
  }
};

}  // namespace

cDeform::cDeform(Engine* owner) : engine(owner), nextStep(owner->pacing.now + 10) {}

cDeform::~cDeform() { delete[] morphFrames; }

void cDeform::update() {
  if (!active) return;
  // A deleted object (or a number outside the table) leaves the deformer idle.
  cObject* o = (object >= 0 && object < MAX_ELEMENTS) ? engine->scene.objects[object] : nullptr;
  if (!o || !o->active || engine->pacing.now < nextStep) return;
  nextStep = engine->pacing.now + static_cast<uint32_t>(speed);

  if (scaleOn) grow(*this, *o);
  if (blendOn) drift_colour(*this, *o);
  // The object stores its z (position and angle) negated.
  if (spinOn) {
    o->rotation[0] += spin[0];
    o->rotation[1] += spin[1];
    o->rotation[2] -= spin[2];
    o->updateTransform();
    o->dirty = 1;
  }
  if (positionOn) {
    o->position[0] += position[0];
    o->position[1] += position[1];
    o->position[2] -= position[2];
    o->updateTransform();
    o->dirty = 1;
  }
  // The morph step would follow here; nothing ever fills its frames.
}

void updateDeformers(Engine* engine) {
  int count = engine->scene.deforms.count < MAX_ELEMENTS ? engine->scene.deforms.count : MAX_ELEMENTS;
  for (int slot = 0; slot < count; ++slot)
    if (cDeform* d = engine->scene.deforms[slot]) d->update();
}

const ClassType deform_class = class_type<DeformClass>();
