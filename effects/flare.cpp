#include "effects/flare.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <numbers>

#include "core/clock.h"
#include "core/convert.h"
#include "core/engine.h"
#include "mesh/object.h"
#include "mesh/object_render.h"
#include "mesh/vertex_points.h"
#include "platform/gl_api.h"

namespace {

// ---- lens patterns ----------------------------------------------------------

// A style of -1 draws with the stored flag; 0 sets ring, 1 sets glow, and the
// flag keeps the last value set. A null colour means the flare's own colour.
struct PatternPolygon {
  float t, s;
  const float* colour;
  int style;
};

constexpr int KEEP = -1, RING = 0, GLOW = 1;

constexpr float C1A[] = {1, 0.3f, 0.3f}, C1B[] = {0.8f, 0.8f, 0.3f}, C1C[] = {0.3f, 1, 0.3f},
                C1D[] = {0.3f, 0.8f, 0.8f}, C1E[] = {0.3f, 0.3f, 1}, C1F[] = {0.8f, 0.3f, 0.8f},
                C1G[] = {0.3f, 0.3f, 0.8f};
constexpr float C2A[] = {0.2f, 0.8f, 1}, C2B[] = {1, 1, 0.5f}, C2C[] = {1, 1, 0.4f};
constexpr float C5A[] = {0.4f, 0.4f, 0.6f}, C5B[] = {0.3f, 0.5f, 0.2f}, C5C[] = {0, 0, 1},
                C5D[] = {0.7f, 0.5f, 0.2f}, C5E[] = {0.2f, 0.5f, 0.7f};

constexpr PatternPolygon PATTERN_1[] = {
    {0.6f, 0.3f, C1A, KEEP},  {0.3f, 0.6f, C1B, KEEP},  {-0.1f, 0.4f, C1C, KEEP}, {-0.4f, 0.2f, C1D, KEEP},
    {-0.7f, 0.5f, C1E, KEEP}, {-0.9f, 0.5f, C1F, KEEP}, {1.4f, 0.2f, C1G, KEEP},  {1.8f, 0.4f, C1G, KEEP},
};
constexpr PatternPolygon PATTERN_2[] = {
    {0.5f, 0.6f, C2A, KEEP}, {-0.1f, 0.3f, C2A, KEEP}, {-0.5f, 0.3f, C2A, KEEP},
    {-0.9f, 0.6f, C2A, KEEP}, {1.2f, 0.3f, C2A, KEEP}, {1.4f, 0.6f, C2A, KEEP},
    {0.7f, 0.3f, C2B, KEEP}, {-1.1f, 0.3f, C2B, KEEP}, {-1.0f, 1.0f, C2C, KEEP},
};
constexpr PatternPolygon PATTERN_3[] = {
    {-1.0f, 0.6f, nullptr, RING}, {-0.8f, 0.4f, nullptr, RING}, {-0.6f, 0.6f, nullptr, GLOW},
    {0.4f, 0.6f, nullptr, RING},  {0.2f, 0.8f, nullptr, RING},  {0.3f, 0.6f, nullptr, GLOW},
    {1.2f, 0.4f, nullptr, RING},
};
constexpr PatternPolygon PATTERN_4[] = {
    {0.7f, 0.2f, nullptr, KEEP},  {0.4f, 0.4f, nullptr, KEEP},  {0.2f, 0.5f, nullptr, KEEP},
    {-0.2f, 0.3f, nullptr, KEEP}, {-0.6f, 0.4f, nullptr, KEEP}, {-0.8f, 0.6f, nullptr, KEEP},
    {-1.2f, 0.3f, nullptr, KEEP},
};
constexpr PatternPolygon PATTERN_5[] = {
    {-1.0f, 1.0f, C5A, RING},  {-0.6f, 0.5f, C5B, RING},  {-0.3f, 0.4f, C5C, GLOW},
    {-0.25f, 0.2f, C5B, RING}, {0.0f, 0.4f, C5D, KEEP},   {0.1f, 0.6f, C5D, GLOW},
    {0.2f, 0.1f, C5D, RING},   {0.5f, 0.2f, C5D, RING},   {0.7f, 0.1f, C5E, KEEP},
    {1.7f, 0.3f, C5A, KEEP},
};

template <size_t N>
int lay_out(const PatternPolygon (&pattern)[N], float x, float y, float f, const float flare[3], bool* glow,
            LensPolygon* out) {
  for (size_t i = 0; i < N; ++i) {
    const PatternPolygon& p = pattern[i];
    if (p.style != KEEP) *glow = p.style == GLOW;
    const float* colour = p.colour ? p.colour : flare;
    out[i] = LensPolygon{p.t * x, p.t * y, p.s * f, {colour[0], colour[1], colour[2]}, *glow};
  }
  return static_cast<int>(N);
}

void bind_texture_slot(const Engine* engine, int slot) {
  GLuint name = (slot >= 0 && slot < MAX_TEXTURES) ? engine->resources.textures[slot].glName : 0;
  glBindTexture(GL_TEXTURE_2D, name);
}

// Window coordinates of `point` under the current matrices and the saved viewport.
bool project(const Engine* engine, const float point[3], double window[3]) {
  double modelview[16], projection[16];
  glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  GLint viewport[4] = {engine->view.viewport[0], engine->view.viewport[1], engine->view.viewport[2], engine->view.viewport[3]};
  return gluProject(point[0], point[1], point[2], modelview, projection, viewport, &window[0], &window[1],
                    &window[2]) == GL_TRUE;
}

// ---- the commands; the flare number is args.n, the values args.a .. args.d ----

void flare_active(cFlare& f, const CommandArgs& args) { f.active = float_to_int(args.a) != 0; }

void flare_test(cFlare& f, const CommandArgs& args) {
  int mode = float_to_int(args.a);
  if (mode >= 0 && mode <= 2) f.testMode = mode;
  if (!f.engine->settings.flare_quality && f.testMode == 2) f.testMode = 1;
}

void flare_speed(cFlare& f, const CommandArgs& args) {
  f.speed = static_cast<int16_t>(float_to_int(args.a));
  // A period of 0 (or less) fades in one tick instead of dividing by zero.
  f.fadeStep = f.speed > 0 ? static_cast<int16_t>(FLARE_LEVEL_MAX / f.speed) : FLARE_LEVEL_MAX;
}

void flare_color(cFlare& f, const CommandArgs& args) {
  f.color[0] = args.a;
  f.color[1] = args.b;
  f.color[2] = args.c;
  f.color[3] = args.d;
}

void flare_size(cFlare& f, const CommandArgs& args) { f.size = args.a; }

void flare_texture(cFlare& f, const CommandArgs& args) {
  if (f.textureCount >= MAX_FLARE_ENTRIES) return;
  f.textures[f.textureCount++] = static_cast<int16_t>(float_to_int(args.a));
  f.current = 0;
}

void flare_change(cFlare& f, const CommandArgs& args) {
  f.changePeriod = static_cast<int16_t>(float_to_int(args.a));
}

void flare_position(cFlare& f, const CommandArgs& args) {
  f.position[0] = args.a;
  f.position[1] = args.b;
  f.position[2] = -args.c;
}

void flare_add(cFlare& f, const CommandArgs& args) { addVertexPoint(f, args, MAX_FLARE_ENTRIES); }

void flare_offset(cFlare& f, const CommandArgs& args) { setPointOffset(f, args, MAX_FLARE_ENTRIES); }

void flare_lens(cFlare& f, const CommandArgs& args) {
  f.lensStrength = args.a;
  f.glare = args.b;
  f.sides = static_cast<int16_t>(float_to_int(args.c));
  f.ring = args.d != 0.0f;
}

void flare_set(cFlare& f, const CommandArgs& args) { f.set = static_cast<int16_t>(float_to_int(args.a)); }

struct FlareClass {
  using Element = cFlare;
  static constexpr const char* name = "cFlare";
  static constexpr int type_code = CMD_FLARE;
  static constexpr int capacity = MAX_ELEMENTS;
  static auto* table(Engine* e) { return &e->scene.flares; }
  // The order is part of the script interface.
  static constexpr ClassKeyword<cFlare> keywords[] = {
      {"active", flare_active}, {"test", flare_test},         {"speed", flare_speed},
      {"color", flare_color},   {"size", flare_size},         {"texture", flare_texture},
      {"change", flare_change}, {"position", flare_position}, {"add", flare_add},
      {"offset", flare_offset}, {"lens", flare_lens},         {"set", flare_set},
  };
  static void destroy(cFlare* f) {
    f->active = false;
    delete f;
  }
  // `new cFlare(n)`: n is the object to attach to, -1 for none.
  static void transparent(Engine* e) { drawFlares(e); }
  static cFlare* construct(Engine* e, int, const CommandArgs& args) {
    auto* f = new cFlare(e);
    f->object = float_to_int(args.n);
    return f;
  }
};

}  // namespace

int lensPolygons(int set, float x, float y, float f, const float flare[3], bool* glow, LensPolygon out[]) {
  switch (set) {
    case 0: {
      int n = lay_out(PATTERN_4, x, y, f, flare, glow, out);
      return n + lay_out(PATTERN_1, x, y, f, flare, glow, out + n);
    }
    case 1: return lay_out(PATTERN_1, x, y, f, flare, glow, out);
    case 2: return lay_out(PATTERN_2, x, y, f, flare, glow, out);
    case 3: return lay_out(PATTERN_3, x, y, f, flare, glow, out);
    case 4: return lay_out(PATTERN_4, x, y, f, flare, glow, out);
    case 5: return lay_out(PATTERN_5, x, y, f, flare, glow, out);
    default: return 0;
  }
}

float lensIntensity(float x, float y, float alpha, float strength) {
  return (1.2f - std::sqrt(x * x + y * y)) * alpha * strength;
}

cFlare::cFlare(Engine* owner)
    : engine(owner),
      nextChange(owner->pacing.now + 10),
      nextFadeTick(owner->pacing.now + 10),
      testMode(owner->settings.flare_quality ? 2 : 1) {}

void cFlare::bindCurrent() const {
  int slot = (current >= 0 && current < textureCount) ? textures[current] : 0;
  bind_texture_slot(engine, slot);
}

// Hidden when the depth buffer holds something nearer at the light's pixel. A
// pixel outside the viewport reads nothing and counts as hidden.
bool cFlare::readVisibility() {
  double window[3];
  float depth = 0.0f;
  if (project(engine, position, window)) {
    int wx = float_to_int(window[0]), wy = float_to_int(window[1]);
    if (wx >= engine->view.viewport[0] && wy >= engine->view.viewport[1] && wx < engine->view.viewport[0] + engine->view.viewport[2] &&
        wy < engine->view.viewport[1] + engine->view.viewport[3])
      glReadPixels(wx, wy, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
  }
  visible = depth >= static_cast<float>(window[2]) ? 1 : 0;
  return visible != 0;
}

// Alpha of the point with fade level `k`; in read-back mode runs the read-back
// and, on a due tick, the fade step. Once the tick is found due it stays due
// for the following points of this draw.
float cFlare::pointAlpha(int k, uint32_t clock, bool* tick_due) {
  if (testMode != 2) return 1.0f;
  bool seen = readVisibility();
  if (!*tick_due && clock > nextFadeTick) {
    nextFadeTick = clock + static_cast<uint32_t>(speed);
    *tick_due = true;
  }
  if (*tick_due) {
    int16_t& level = fadeLevels[k];
    if (seen && level < FLARE_LEVEL_MAX) level = static_cast<int16_t>(level + fadeStep);
    if (!seen && level > 0) level = static_cast<int16_t>(level - fadeStep);
  }
  return static_cast<float>(fadeLevels[k]) / static_cast<float>(FLARE_LEVEL_MAX);
}

void cFlare::drawSprite(const float right[3], const float up[3]) {
  const float* x = position;
  glPushMatrix();
  glTranslatef(x[0], x[1], x[2]);
  spinAngle += spinSpeed;
  glRotatef(spinAngle, 0.0f, 0.0f, 1.0f);
  glTranslatef(-x[0], -x[1], -x[2]);
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0);
  glVertex3f(x[0] - right[0] + up[0], x[1] - right[1] + up[1], x[2] - right[2] + up[2]);
  glTexCoord2f(1, 0);
  glVertex3f(x[0] + right[0] + up[0], x[1] + right[1] + up[1], x[2] + right[2] + up[2]);
  glTexCoord2f(1, 1);
  glVertex3f(x[0] + right[0] - up[0], x[1] + right[1] - up[1], x[2] + right[2] - up[2]);
  glTexCoord2f(0, 1);
  glVertex3f(x[0] - right[0] - up[0], x[1] - right[1] - up[1], x[2] - right[2] - up[2]);
  glEnd();
  addFrameTriangles(engine, 2);
  glPopMatrix();
}

void cFlare::drawLens() {
  if (engine->view.target_pass) return;  // no lens inside a render-to-texture pass

  // normalised screen position of the light
  double window[3];
  if (!project(engine, position, window)) return;
  const int32_t* v = engine->view.viewport;
  if (v[2] <= 0 || v[3] <= 0) return;
  float x = static_cast<float>((window[0] - v[0]) / v[2] * 2.0 - 1.0);
  float y = static_cast<float>((window[1] - v[1]) / v[3] * 2.0 - 1.0);

  // normalised device coordinates from here on
  glFrontFace(GL_CW);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);
  glShadeModel(GL_SMOOTH);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();

  float f = lensIntensity(x, y, color[3], lensStrength);

  // glare
  if (glare != 0.0f) {
    glColor4f(color[0], color[1], color[2], glare * f);
    gl_screen_quad();
  }

  // polygons: the first rim vertex lies straight above the centre, the last
  // closes on it; clockwise on screen, as the pass's front faces
  LensPolygon polygons[MAX_LENS_POLYGONS];
  int count = lensPolygons(set, x, y, f, color, &ring, polygons);
  if (sides >= 1) {
    const float step = 2.0f * std::numbers::pi_v<float> / static_cast<float>(sides);
    for (int i = 0; i < count; ++i) {
      const LensPolygon& p = polygons[i];
      const float bright[4] = {p.colour[0], p.colour[1], p.colour[2], 0.5f * f};
      const float dark[4] = {0, 0, 0, 0};
      glBegin(GL_TRIANGLE_FAN);
      glColor4fv(p.glow ? bright : dark);
      glVertex2f(p.x, p.y);
      glColor4fv(p.glow ? dark : bright);
      for (int j = 0; j <= sides; ++j) {
        float a = step * static_cast<float>(j);
        glVertex2f(p.x + std::sin(a) * p.radius, p.y + std::cos(a) * p.radius);
      }
      glEnd();
    }
  }

  // restore
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  bindCurrent();
}

void cFlare::drawPoint(const float right[3], const float up[3], float alpha) {
  // The lens of an earlier point switched depth testing back on.
  if (testMode != 1) glDisable(GL_DEPTH_TEST);
  color[3] = alpha;
  glColor4fv(color);
  drawSprite(right, up);
  if (lensStrength != 0.0f) drawLens();
}

int cFlare::draw() {
  if (!active) return 0;
  if (object == -1 && testMode != 0 && !pointInFrustum(engine->view.frustum, position)) return 0;

  // read-back is for the screen: a render-to-texture pass only depth-tests
  const int32_t kept_mode = testMode;
  if (engine->view.target_pass && testMode == 2) testMode = 1;

  const uint32_t clock = engine_clock_now();

  // texture change
  if (changePeriod != 0 && engine->pacing.now > nextChange) {
    current += 1;
    if (current >= textureCount) current = 0;
    nextChange = engine->pacing.now + static_cast<uint32_t>(changePeriod);
  }

  if (testMode != 1) glDisable(GL_DEPTH_TEST);
  bindCurrent();

  float right[3], up[3];
  bool tick_due = false;
  if (object == -1) {
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int a = 0; a < 3; ++a) {
      right[a] = size * m[a * 4];
      up[a] = size * m[a * 4 + 1];
    }
    float alpha = pointAlpha(0, clock, &tick_due);
    if (testMode != 2 || alpha != 0.0f) drawPoint(right, up, alpha);
  } else {
    cObject* target = (object >= 0 && object < MAX_ELEMENTS) ? engine->scene.objects[object] : nullptr;
    if (target && target->visible && target->active) {
      target->applyTransform();
      float m[16];
      glGetFloatv(GL_MODELVIEW_MATRIX, m);
      for (int a = 0; a < 3; ++a) {
        right[a] = size * m[a * 4];
        up[a] = size * m[a * 4 + 1];
      }
      for (int i = 0; i < pointCount; ++i) {
        // a point the mesh no longer has is skipped
        const FlarePoint& point = points[i];
        if (point.part < 0 || point.part >= target->partCount ||
            point.part >= static_cast<int>(target->parts.size()))
          continue;
        const MeshPart& part = target->parts[point.part];
        if (!part.visible) continue;
        if (point.vertex < 0 || point.vertex >= part.vertexCount ||
            static_cast<size_t>(point.vertex) * 3 + 2 >= part.positions.size())
          continue;
        for (int a = 0; a < 3; ++a) position[a] = part.positions[point.vertex * 3 + a] + pointOffsets[i][a];
        float alpha = pointAlpha(i, clock, &tick_due);
        if (testMode != 2 || alpha != 0.0f) drawPoint(right, up, alpha);
      }
      glPopMatrix();
    }
  }

  testMode = kept_mode;
  glEnable(GL_DEPTH_TEST);
  return 1;
}

void drawFlares(Engine* engine) {
  int count = engine->scene.flares.count < MAX_ELEMENTS ? engine->scene.flares.count : MAX_ELEMENTS;
  for (int slot = 0; slot < count; ++slot)
    if (cFlare* f = engine->scene.flares[slot]) f->draw();
}

const ClassType flare_class = class_type<FlareClass>();
