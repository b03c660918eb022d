#include "effects/particles.h"

#include <GL/gl.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/convert.h"
#include "core/engine.h"
#include "mesh/object.h"
#include "mesh/object_render.h"
#include "mesh/vertex_points.h"
#include "platform/gl_api.h"

namespace {

// rand() mod n for a range that may have come out empty (life <= 0, a volume
// between -2 and -1): such a range holds one value, 0.
int draw_below(int n) { return n > 0 ? std::rand() % n : 0; }

void random_colour(float colour[4]) {
  colour[0] = static_cast<float>(std::rand() % 101) / 100.0f;
  colour[1] = static_cast<float>(std::rand() % 101) / 100.0f;
  colour[2] = static_cast<float>(std::rand() % 101) / 100.0f;
  colour[3] = 1.0f;
}

// Camera right and up axes in the current modelview frame, scaled to `size`.
void billboard_axes(float size, float right[3], float up[3]) {
  float m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  right[0] = size * m[0];
  right[1] = size * m[4];
  right[2] = size * m[8];
  up[0] = size * m[1];
  up[1] = size * m[5];
  up[2] = size * m[9];
}

void bind_texture_slot(const Engine* engine, int slot) {
  GLuint name = (slot >= 0 && slot < MAX_TEXTURES) ? engine->resources.textures[slot].glName : 0;
  glBindTexture(GL_TEXTURE_2D, name);
}

// The vertex of an emitter point, or null when the object no longer has that
// part or vertex (deleted, or another mesh loaded in the slot).
const float* point_vertex(const cObject* target, const EmitterPoint& point, const MeshPart** part_out) {
  if (point.part < 0 || point.part >= target->partCount ||
      point.part >= static_cast<int>(target->parts.size()))
    return nullptr;
  const MeshPart& part = target->parts[point.part];
  if (point.vertex < 0 || point.vertex >= part.vertexCount ||
      static_cast<size_t>(point.vertex) * 3 + 2 >= part.positions.size())
    return nullptr;
  *part_out = &part;
  return &part.positions[point.vertex * 3];
}

// An emission pass's quads go to GL in one array draw: per corner its texture
// coordinates, colour and position, the GL_T2F_C4F_N3F_V3F layout without the
// normal.
constexpr int CORNER_FLOATS = 9;
constexpr size_t QUAD_FLOATS = 4 * CORNER_FLOATS;

float* put_corner(float* v, float s, float t, const float colour[4], float x, float y, float z) {
  v[0] = s;
  v[1] = t;
  for (int k = 0; k < 4; ++k) v[2 + k] = colour[k];
  v[6] = x;
  v[7] = y;
  v[8] = z;
  return v + CORNER_FLOATS;
}

// The quad of a particle at x facing the camera; corners in the order, and
// with the same sums, that the quad had when it was drawn on its own.
void append_quad(std::vector<float>* quads, const float x[3], const float colour[4], const float right[3],
                 const float up[3]) {
  size_t at = quads->size();
  quads->resize(at + QUAD_FLOATS);
  float* v = quads->data() + at;
  v = put_corner(v, 0, 1, colour, x[0] - right[0] + up[0], x[1] - right[1] + up[1], x[2] - right[2] + up[2]);
  v = put_corner(v, 1, 1, colour, x[0] + right[0] + up[0], x[1] + right[1] + up[1], x[2] + right[2] + up[2]);
  v = put_corner(v, 1, 0, colour, x[0] + right[0] - up[0], x[1] + right[1] - up[1], x[2] + right[2] - up[2]);
  put_corner(v, 0, 0, colour, x[0] - right[0] - up[0], x[1] - right[1] - up[1], x[2] - right[2] - up[2]);
}

// The batch in one draw, from client memory. The scene pass's client arrays,
// their pointers and its array buffer binding are saved and restored around
// it. Afterwards the current colour and texture coordinates are those of the
// last corner, as they were when every quad was sent on its own (an array
// draw leaves them undefined).
void draw_quads(const std::vector<float>& quads) {
  if (quads.empty()) return;
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  if (glBindBufferARB_) glBindBufferARB_(GL_ARRAY_BUFFER_ARB, 0);
  if (glClientActiveTextureARB_) glClientActiveTextureARB_(GL_TEXTURE0_ARB);
  const GLsizei stride = CORNER_FLOATS * sizeof(float);
  glDisableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glEnableClientState(GL_VERTEX_ARRAY);
  glTexCoordPointer(2, GL_FLOAT, stride, quads.data());
  glColorPointer(4, GL_FLOAT, stride, quads.data() + 2);
  glVertexPointer(3, GL_FLOAT, stride, quads.data() + 6);
  glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(quads.size() / CORNER_FLOATS));
  glPopClientAttrib();
  const float* last = quads.data() + quads.size() - CORNER_FLOATS;
  glColor4fv(last + 2);
  glTexCoord2f(last[0], last[1]);
}

// ---- the commands; the system number is args.n, the values args.a .. args.d ----

void particle_active(cParticle& p, const CommandArgs& args) { p.active = float_to_int(args.a) != 0; }

void particle_total(cParticle& p, const CommandArgs& args) {
  p.total = static_cast<int16_t>(float_to_int(args.a));
  p.allocatePool();  // `emitted` stays as it was
}

void particle_rgb1(cParticle& p, const CommandArgs& args) {
  p.rgb1[0] = args.a;
  p.rgb1[1] = args.b;
  p.rgb1[2] = args.c;
  p.rgb1[3] = 1.0f;
  // Immortal particles are recoloured at once; they would never pick it up.
  if (p.dead == 0 && p.particles)
    for (int k = 0; k < p.total; ++k) std::memcpy(p.particles[k].colour, p.rgb1, sizeof p.rgb1);
}

void particle_rgb2(cParticle& p, const CommandArgs& args) {
  p.rgb2[0] = args.a;
  p.rgb2[1] = args.b;
  p.rgb2[2] = args.c;
  p.rgb2[3] = 1.0f;
}

void particle_size(cParticle& p, const CommandArgs& args) { p.size = args.a; }

void particle_test(cParticle& p, const CommandArgs& args) {
  int mode = float_to_int(args.a);
  if (mode == 0 || mode == 1) p.test = mode;
}

void particle_blend(cParticle& p, const CommandArgs& args) { p.blend = float_to_int(args.a) != 0; }
void particle_texture(cParticle& p, const CommandArgs& args) {
  p.texture = static_cast<int16_t>(float_to_int(args.a));
}
void particle_life(cParticle& p, const CommandArgs& args) {
  p.life = static_cast<int16_t>(float_to_int(args.a));
}
void particle_dead(cParticle& p, const CommandArgs& args) { p.dead = float_flag(args.a) ? 1 : 0; }

void particle_direct(cParticle& p, const CommandArgs& args) {
  p.direct[0] = args.a;
  p.direct[1] = args.b;
  p.direct[2] = args.c;
}

void particle_accel(cParticle& p, const CommandArgs& args) {
  p.accel[0] = args.a;
  p.accel[1] = args.b;
  p.accel[2] = args.c;
}

void particle_radius(cParticle& p, const CommandArgs& args) { p.radius = args.a; }
void particle_speed(cParticle& p, const CommandArgs& args) {
  p.speed = static_cast<int16_t>(float_to_int(args.a));
}

void particle_volume(cParticle& p, const CommandArgs& args) {
  p.volume[0] = 2.0f * args.a;
  p.volume[1] = 2.0f * args.b;
  p.volume[2] = 2.0f * args.c;
}

void particle_casual(cParticle& p, const CommandArgs& args) { p.casual = float_flag(args.a); }

void particle_single(cParticle& p, const CommandArgs& args) {
  p.emitSingle(float_to_int(args.a), args.b, args.c, args.d);
}

// "space" 0 puts the particles in world space.
void particle_space(cParticle& p, const CommandArgs& args) { p.worldSpace = args.a == 0.0f; }

void particle_add(cParticle& p, const CommandArgs& args) { addVertexPoint(p, args, PARTICLE_POINT_LIMIT); }

void particle_offset(cParticle& p, const CommandArgs& args) { setPointOffset(p, args, MAX_PARTICLE_POINTS); }

void particle_position(cParticle& p, const CommandArgs& args) {
  p.position[0] = args.a;
  p.position[1] = args.b;
  p.position[2] = -args.c;
}

void particle_rotation(cParticle& p, const CommandArgs& args) {
  p.rotation[0] = args.a;
  p.rotation[1] = args.b;
  p.rotation[2] = args.c;
}

struct ParticleClass {
  using Element = cParticle;
  static constexpr const char* name = "cParticle";
  static constexpr int type_code = CMD_PARTICLE;
  static constexpr int capacity = MAX_ELEMENTS;
  static auto* table(Engine* e) { return &e->scene.particles; }
  // The order is part of the script interface.
  static constexpr ClassKeyword<cParticle> keywords[] = {
      {"active", particle_active},     {"total", particle_total},   {"rgb1", particle_rgb1},
      {"rgb2", particle_rgb2},         {"size", particle_size},     {"test", particle_test},
      {"blend", particle_blend},       {"texture", particle_texture}, {"life", particle_life},
      {"dead", particle_dead},         {"direct", particle_direct}, {"accel", particle_accel},
      {"radius", particle_radius},     {"speed", particle_speed},   {"volume", particle_volume},
      {"casual", particle_casual},     {"single", particle_single}, {"space", particle_space},
      {"add", particle_add},           {"offset", particle_offset}, {"position", particle_position},
      {"rotation", particle_rotation},
  };
  static void destroy(cParticle* p) {
    p->active = false;
    delete p;
  }
  // `new cParticle(n)`: n is the object to attach to, -1 for none.
  static void transparent(Engine* e) { drawParticles(e); }
  static cParticle* construct(Engine* e, int, const CommandArgs& args) {
    auto* p = new cParticle(e);
    p->object = float_to_int(args.n);
    return p;
  }
};

}  // namespace

cParticle::cParticle(Engine* owner) : nextTick(owner->pacing.now + 10), engine(owner) { allocatePool(); }

cParticle::~cParticle() { delete[] particles; }

void cParticle::allocatePool() {
  delete[] particles;
  particles = total > 0 ? new Particle[total]() : nullptr;
}

void cParticle::emit(Particle& p) {
  p.life = draw_below(life) + 1;
  if (casual) random_colour(rgb1);
  if (single) return;  // lives again where it died
  std::memcpy(p.colour, rgb1, sizeof rgb1);
  p.drift[0] = p.drift[1] = p.drift[2] = 0;
  for (int c = 0; c < 4; ++c) p.colourStep[c] = (rgb2[c] - rgb1[c]) / static_cast<float>(p.life);
  // Whole-unit lattice across the box, centred on the origin.
  for (int a = 0; a < 3; ++a)
    p.position[a] = static_cast<float>(draw_below(float_to_int(volume[a] + 1.0f))) + position[a] - volume[a] * 0.5f;
  for (int a = 0; a < 3; ++a)
    p.velocity[a] = (static_cast<float>(std::rand() % 100) / 50.0f - 1.0f) * radius;
}

void cParticle::emitSingle(int i, float x, float y, float z) {
  if (!particles || i < 0 || i >= total) return;
  single = true;
  Particle& p = particles[i];
  p.position[0] = position[0] + x;
  p.position[1] = position[1] + y;
  p.position[2] = position[2] + z;
  p.life = draw_below(life) + 1;
  if (casual) random_colour(rgb1);
  std::memcpy(p.colour, rgb1, sizeof rgb1);
  p.drift[0] = p.drift[1] = p.drift[2] = 0;
  for (int c = 0; c < 4; ++c) p.colourStep[c] = (rgb2[c] - rgb1[c]) / static_cast<float>(p.life);
}

void cParticle::emissionPass(const float right[3], const float up[3]) {
  if (!particles) return;
  const bool tick_due = engine->pacing.now >= nextTick;
  const int32_t window_start = emitted;
  quads.clear();
  for (int k = 0; k < total; ++k) {
    // The window grows by perStep + 1 slots a pass until the pool is in play.
    if (emitted < total && k > window_start + perStep) break;
    emitted = k + 1;
    Particle& p = particles[k];
    if (p.life == 0) {
      emit(p);  // at once, drawn from the next pass
      continue;
    }
    if (tick_due) {
      p.life -= dead;
      for (int a = 0; a < 3; ++a) p.position[a] += p.velocity[a] + direct[a] + p.drift[a];
      for (int a = 0; a < 3; ++a) p.drift[a] += accel[a];
      for (int c = 0; c < 4; ++c) p.colour[c] += p.colourStep[c];
    }
    append_quad(&quads, p.position, p.colour, right, up);
  }
  draw_quads(quads);
  addFrameTriangles(engine, 2 * static_cast<int>(quads.size() / QUAD_FLOATS));
}

void cParticle::drawAttached(cObject* target) {
  if (!worldSpace) target->applyTransform();  // pushes the modelview matrix
  float right[3], up[3];
  billboard_axes(size, right, up);
  const float* m = target->worldMatrix;
  for (int i = 0; i < pointCount; ++i) {
    const MeshPart* part = nullptr;
    const float* vertex = point_vertex(target, points[i], &part);
    if (!vertex || !part->visible) continue;  // a point the mesh no longer has is skipped
    float local[3];
    for (int a = 0; a < 3; ++a) local[a] = vertex[a] + pointOffsets[i][a];
    if (worldSpace) {
      for (int a = 0; a < 3; ++a) position[a] = m[a] * local[0] + m[4 + a] * local[1] + m[8 + a] * local[2] + m[12 + a];
    } else {
      for (int a = 0; a < 3; ++a) position[a] = local[a];
    }
    emissionPass(right, up);
  }
  if (!worldSpace) glPopMatrix();
}

int cParticle::draw() {
  if (!active) return 0;

  // depth and culling
  if (object == -1 && test != 1 && !pointInFrustum(engine->view.frustum, position)) return 0;
  if (test != 1) glDisable(GL_DEPTH_TEST);

  // texture and blending
  bind_texture_slot(engine, texture);
  if (!blend) glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

  if (object == -1) {
    glPushMatrix();
    glRotatef(rotation[0], 1.0f, 0.0f, 0.0f);
    glRotatef(rotation[1], 0.0f, 1.0f, 0.0f);
    glRotatef(rotation[2], 0.0f, 0.0f, 1.0f);
    float right[3], up[3];
    billboard_axes(size, right, up);
    emissionPass(right, up);
    glPopMatrix();
  } else {
    // A missing object draws nothing, like an inactive or invisible one.
    cObject* target = (object >= 0 && object < MAX_ELEMENTS) ? engine->scene.objects[object] : nullptr;
    if (target && target->active && target->visible) drawAttached(target);
  }

  // tick, after every emission pass of this call has applied it
  if (engine->pacing.now >= nextTick) nextTick = engine->pacing.now + static_cast<uint32_t>(speed);

  // restore the pass's state
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glDepthMask(GL_FALSE);
  glEnable(GL_DEPTH_TEST);
  return total;
}

void drawParticles(Engine* engine) {
  int count = engine->scene.particles.count < MAX_ELEMENTS ? engine->scene.particles.count : MAX_ELEMENTS;
  for (int slot = 0; slot < count; ++slot)
    if (cParticle* p = engine->scene.particles[slot]) p->draw();
}

const ClassType particle_class = class_type<ParticleClass>();
