#include "mesh/framer.h"

#include "core/convert.h"
#include "core/engine.h"
#include "mesh/object.h"

namespace {

// A key number from a script, or null when outside the keys.
FrameKey* find_key(cFramer& framer, float number) {
  int k = float_to_int(number);
  if (k < 0 || k >= framer.keyCount) return nullptr;
  return &framer.keys[k];
}

void set3(float* to, float a, float b, float c) {
  to[0] = a;
  to[1] = b;
  to[2] = c;
}

// Tangents of one channel: the first and the last key take their own value,
// the inner keys up to keyCount - 3 the neighbours' difference scaled by the
// tension; the key at keyCount - 2 keeps the tangent it had.
using Channel = float (FrameKey::*)[3];
void compute_tangents(cFramer& framer, Channel value, Channel tangent, float tension) {
  std::vector<FrameKey>& keys = framer.keys;
  const int last = framer.keyCount - 1;
  for (int axis = 0; axis < 3; ++axis) {
    (keys[0].*tangent)[axis] = (keys[0].*value)[axis];
    for (int j = 1; j <= framer.keyCount - 3; ++j)
      (keys[j].*tangent)[axis] = ((keys[j + 1].*value)[axis] - (keys[j - 1].*value)[axis]) * tension;
    (keys[last].*tangent)[axis] = (keys[last].*value)[axis];
  }
}

// Cubic Hermite between keys a and b with weights h00, h01, h10, h11.
void hermite(const FrameKey& a, const FrameKey& b, Channel value, Channel tangent, const float h[4], float* out) {
  for (int axis = 0; axis < 3; ++axis)
    out[axis] = h[0] * (a.*value)[axis] + h[1] * (b.*value)[axis] + h[2] * (a.*tangent)[axis] +
                h[3] * (b.*tangent)[axis];
}

// ---- the commands; the animator number is args.n, the values args.a .. d ----

void framer_active(cFramer& f, const CommandArgs& args) { f.active = float_to_int(args.a) != 0; }
void framer_object(cFramer& f, const CommandArgs& args) { f.object = float_to_int(args.a); }
void framer_speed(cFramer& f, const CommandArgs& args) { f.speed = float_to_int(args.a); }
void framer_loop(cFramer& f, const CommandArgs& args) { f.loop = float_flag(args.a); }
void framer_start(cFramer& f, const CommandArgs&) { f.prepare(); }
void framer_total(cFramer& f, const CommandArgs& args) { f.addKeys(float_to_int(args.a), float_to_int(args.b)); }
void framer_addkey(cFramer& f, const CommandArgs& args) { f.addKeys(1, float_to_int(args.a)); }
void framer_frames(cFramer& f, const CommandArgs& args) {
  if (FrameKey* key = find_key(f, args.a)) key->frame = static_cast<int16_t>(float_to_int(args.b));
}
void framer_move(cFramer& f, const CommandArgs& args) {
  if (FrameKey* key = find_key(f, args.a)) set3(key->position, args.b, args.c, args.d);
}
void framer_rotate(cFramer& f, const CommandArgs& args) {
  if (FrameKey* key = find_key(f, args.a)) set3(key->rotation, args.b, args.c, args.d);
}
void framer_trimangle(cFramer& f, const CommandArgs& args) { f.angleTension = args.a; }
void framer_trimpos(cFramer& f, const CommandArgs& args) { f.positionTension = args.a; }
void framer_freeangle(cFramer& f, const CommandArgs& args) { f.freeAngle = float_flag(args.a); }

struct FramerClass {
  using Element = cFramer;
  static constexpr const char* name = "cFramer";
  static constexpr int type_code = CMD_FRAMER;
  static constexpr int capacity = MAX_ELEMENTS;
  static auto* table(Engine* e) { return &e->scene.framers; }
  static void update(Engine* e) { advanceFramers(e); }
  // "total" comes before "totalkeys", which therefore never matches on its own.
  static constexpr ClassKeyword<cFramer> keywords[] = {
      {"active", framer_active},       {"object", framer_object},     {"speed", framer_speed},
      {"loop", framer_loop},           {"start", framer_start},       {"total", framer_total},
      {"totalkeys", framer_total},     {"addkey", framer_addkey},     {"frames", framer_frames},
      {"move", framer_move},           {"position", framer_move},     {"rotate", framer_rotate},
      {"rotation", framer_rotate},     {"trimangle", framer_trimangle}, {"trimpos", framer_trimpos},
      {"freeangle", framer_freeangle},
  };
  static void destroy(cFramer* framer) {
    framer->active = 0;
    delete framer;
  }
  // `new cFramer(n)`: n is the object to move; -1 (no argument) the camera.
  static cFramer* construct(Engine* e, int, const CommandArgs& args) {
    cFramer* framer = new cFramer(e);
    framer->object = float_to_int(args.n);
    return framer;
  }
};

}  // namespace

cFramer::cFramer(Engine* owner) : engine(owner), nextTime(owner->pacing.now) {}

void cFramer::addKeys(int count, int step) {
  for (int k = 0; k < count && keyCount < INT16_MAX; ++k) {
    FrameKey key;
    if (keyCount == 0) {
      totalFrames = 0;
    } else {
      totalFrames = static_cast<int16_t>(totalFrames + step);
    }
    key.frame = totalFrames;
    keys.push_back(key);
    keyCount = static_cast<int16_t>(keys.size());
  }
}

void cFramer::prepare() {
  if (keyCount < 2) return;
  if (!prepared) {
    // The closing key repeats the last one, one frame later.
    const FrameKey last = keys[keyCount - 1];
    addKeys(1, 1);
    FrameKey& closing = keys[keyCount - 1];
    set3(closing.position, last.position[0], last.position[1], last.position[2]);
    set3(closing.rotation, last.rotation[0], last.rotation[1], last.rotation[2]);
  }
  compute_tangents(*this, &FrameKey::position, &FrameKey::positionTangent, positionTension);
  compute_tangents(*this, &FrameKey::rotation, &FrameKey::rotationTangent, angleTension);
  prepared = 1;
  active = 1;
  currentFrame = 0;
}

int cFramer::advance() {
  if (!active) return 0;
  if (engine->pacing.now < nextTime) return 0;
  nextTime = engine->pacing.now + static_cast<uint32_t>(speed);
  if (!prepared) prepare();
  if (keyCount < 2) return 0;  // nothing to interpolate between

  if (currentFrame >= totalFrames) {
    if (!loop) {
      active = 0;
      return 0;
    }
    prepare();  // from frame 0 again; the closing key is not appended twice
  }

  // The segment ends at the first key not before the current frame; when an
  // edited frame number leaves none, the last key holds.
  int i = 1;
  while (i < keyCount && keys[i].frame < currentFrame) ++i;
  float t = 1.0f;
  if (i >= keyCount) {
    i = keyCount - 1;
  } else {
    const int span = keys[i].frame - keys[i - 1].frame;
    // Two keys on one frame: the later key, so the animation still ends.
    if (span != 0) t = static_cast<float>(currentFrame - keys[i - 1].frame) / static_cast<float>(span);
  }

  const float t2 = t * t, t3 = t2 * t;
  const float h[4] = {1 - 3 * t2 + 2 * t3, 3 * t2 - 2 * t3, t - 2 * t2 + t3, t3 - t2};
  hermite(keys[i - 1], keys[i], &FrameKey::position, &FrameKey::positionTangent, h, outPosition);
  if (!freeAngle)
    hermite(keys[i - 1], keys[i], &FrameKey::rotation, &FrameKey::rotationTangent, h, outRotation);
  else
    set3(outRotation, 0, 0, 0);

  currentFrame += 1;
  return 1;
}

// An animator whose object slot is empty waits, without advancing.
static bool has_target(const cFramer& framer) {
  if (framer.object < 0) return true;
  return framer.object < MAX_ELEMENTS && framer.engine->scene.objects[framer.object];
}

void advanceFramers(Engine* engine) {
  for (int n = 0; n < engine->scene.framers.count && n < MAX_ELEMENTS; ++n) {
    cFramer* framer = engine->scene.framers[n];
    if (!framer || !has_target(*framer) || !framer->advance()) continue;
    const float* p = framer->outPosition;
    const float* r = framer->outRotation;
    if (framer->object >= 0) {
      cObject* object = engine->scene.objects[framer->object];
      set3(object->position, p[0], p[1], -p[2]);
      if (!framer->freeAngle) set3(object->rotation, r[0], r[1], -r[2]);
      object->updateTransform();
      object->dirty = 1;
    } else {
      // The camera's stored position has x and y negated.
      set3(engine->view.cam_pos, -p[0], -p[1], p[2]);
      if (!framer->freeAngle) set3(engine->view.cam_rot, -r[0], r[1], r[2]);
      mark_objects_dirty(engine);
    }
  }
}

const ClassType framer_class = class_type<FramerClass>();
