#include "lighting/csg.h"

#include <GL/gl.h>

#include "core/convert.h"
#include "core/engine.h"
#include "mesh/object.h"

namespace {

cObject* object_at(const Engine* engine, int number) {
  if (number < 0 || number >= MAX_ELEMENTS) return nullptr;
  return engine->scene.objects[number];
}

void clear_mark(const Engine* engine, int number) {
  if (cObject* object = object_at(engine, number)) object->csgMark = 0;
}

// The object activation claimed, while it is still in its slot.
cObject* claimed_object(const Engine* engine, const cCSG::Operand& operand) {
  cObject* object = object_at(engine, operand.slot);
  return object && object->serial == operand.serial ? object : nullptr;
}

cCSG::Operand operand_of(int slot, const cObject& object) { return {slot, object.serial}; }

// The object draw settings the passes change and give back.
struct DrawSettings {
  int32_t frontFace;
  uint8_t frustumTest;
  uint8_t depthWrite;
};

DrawSettings save(const cObject& object) { return {object.frontFace, object.frustumTest, object.depthWrite}; }

void restore(cObject& object, const DrawSettings& settings) {
  object.frontFace = settings.frontFace;
  object.frustumTest = settings.frustumTest;
  object.depthWrite = settings.depthWrite;
}

// Draws `first` where it lies inside (test GL_NOTEQUAL) or outside (GL_EQUAL)
// `second`, by the parity of second's faces in front of first's surface.
void parity_pass(cObject& first, cObject& second, int32_t face, GLenum test) {
  // first's depth only
  glDepthFunc(GL_LESS);
  glEnable(GL_DEPTH_TEST);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  first.depthWrite = 1;
  first.frontFace = face;
  first.draw(0);

  // second's front faces in front of that surface count up...
  glEnable(GL_STENCIL_TEST);
  glStencilFunc(GL_ALWAYS, 0, 0);
  glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
  second.frontFace = GL_CCW;
  second.depthWrite = 0;
  second.draw(0);

  // ... and its back faces count down
  glStencilOp(GL_KEEP, GL_KEEP, GL_DECR);
  second.frontFace = GL_CW;
  second.draw(0);

  // first in colour where the parity bit passes the test
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glStencilFunc(test, 0, 1);
  glDisable(GL_DEPTH_TEST);
  first.depthWrite = 1;
  second.depthWrite = 1;
  first.frontFace = face;
  first.draw(0);

  glDisable(GL_STENCIL_TEST);
}

void draw_operation(cCSG& csg) {
  Engine* engine = csg.engine;
  cObject* a = object_at(engine, csg.object1);
  cObject* b = object_at(engine, csg.object2);
  // Operands deleted since activation: nothing to combine this frame.
  if (!a || !b) return;

  // Faces
  glFrontFace(GL_CCW);
  glEnable(GL_CULL_FACE);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glCullFace(GL_BACK);

  // B's active flag is the pass's from here on; one the script set since the
  // last pass is B's own, given back when the operation ends.
  if (b->active) csg.bActive = true;

  // The operands' draw settings are borrowed for the passes
  DrawSettings saved_a = save(*a), saved_b = save(*b);
  a->frustumTest = 0;
  b->frustumTest = 0;
  b->active = 1;

  // B's front (A ∩ B) or back (A - B) faces inside A
  parity_pass(*b, *a, csg.opmode ? GL_CCW : GL_CW, GL_NOTEQUAL);

  // A's depth everywhere, with the front face the pass left on it
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_ALWAYS);
  a->draw(0);
  glDepthFunc(GL_LESS);

  // A's front faces inside B (A ∩ B) or outside it (A - B)
  parity_pass(*a, *b, GL_CCW, csg.opmode ? GL_NOTEQUAL : GL_EQUAL);

  // Restore; B stays inactive so that no other pass draws it
  restore(*a, saved_a);
  restore(*b, saved_b);
  b->active = 0;
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_DEPTH_TEST);
  glFrontFace(GL_CW);
  glEnable(GL_CULL_FACE);
  glPolygonMode(GL_FRONT, GL_FILL);
  glCullFace(GL_BACK);
}

// ---- the commands; the operation number is args.n, the values args.a .. ----

void csg_active(cCSG& csg, const CommandArgs&) {
  if (csg.object1 >= 0) activateCSG(&csg);
}

void csg_settings(cCSG& csg, const CommandArgs& args) {
  // The marks stay: both objects keep out of the normal pass until `active`.
  csg.active = false;
  csg.object1 = static_cast<int16_t>(float_to_int(args.a));
  csg.object2 = float_to_int(args.b);
  csg.opmode = float_flag(args.c);
}

void csg_opmode(cCSG& csg, const CommandArgs& args) { csg.opmode = float_flag(args.a); }

void csg_object1(cCSG& csg, const CommandArgs& args) { csg.object1 = float_to_int(args.a); }

void csg_object2(cCSG& csg, const CommandArgs& args) { csg.object2 = float_to_int(args.a); }

struct CSGClass {
  using Element = cCSG;
  static constexpr const char* name = "cCSG";
  static constexpr int type_code = CMD_CSG;
  static constexpr int capacity = MAX_ELEMENTS;
  static auto* table(Engine* e) { return &e->scene.csgs; }
  static constexpr ClassKeyword<cCSG> keywords[] = {
      {"active", csg_active},   {"settings", csg_settings}, {"opmode", csg_opmode},
      {"object1", csg_object1}, {"object2", csg_object2},
  };
  // Only operand numbers that name an existing object lose their mark; the
  // operands activation took get B's active flag back too.
  static void destroy(cCSG* csg) {
    csg->active = false;
    releaseCSGOperands(csg);
    clear_mark(csg->engine, csg->object1);
    clear_mark(csg->engine, csg->object2);
    delete csg;
  }
  // Before anything is drawn: an operation whose operand was deleted (or
  // replaced in its slot) ends and gives the other one back.
  static void update(Engine* e) {
    for (int i = 0; i < e->scene.csgs.count && i < MAX_ELEMENTS; ++i) {
      cCSG* csg = e->scene.csgs[i];
      if (!csg || !csg->claimed) continue;
      if (claimed_object(e, csg->claimedA) && claimed_object(e, csg->claimedB)) continue;
      csg->active = false;
      releaseCSGOperands(csg);
    }
  }
  // `new cCSG(a0, a1)`: A = a0 as a 16-bit number, B = a1; nothing activated.
  // After the shadow volumes, whose stencil counts it shares.
  static void opaque(Engine* e) {
    if (e->scene.objects.count != 0) csgPass(e);
  }
  static cCSG* construct(Engine* e, int, const CommandArgs& args) {
    auto* csg = new cCSG(e);
    csg->object1 = static_cast<int16_t>(float_to_int(args.n));
    csg->object2 = float_to_int(args.a);
    return csg;
  }
};

}  // namespace

const ClassType csg_class = class_type<CSGClass>();

void activateCSG(cCSG* csg) {
  Engine* engine = csg->engine;
  if (csg->object1 >= engine->scene.objects.count) return;
  if (csg->object2 < 0 || csg->object2 >= engine->scene.objects.count) return;
  cObject* a = object_at(engine, csg->object1);
  cObject* b = object_at(engine, csg->object2);
  if (!a || !b) return;
  const cCSG::Operand new_a = operand_of(csg->object1, *a), new_b = operand_of(csg->object2, *b);
  const bool same = csg->claimed && claimed_object(engine, csg->claimedA) == a &&
                    claimed_object(engine, csg->claimedB) == b;
  if (!same) {
    releaseCSGOperands(csg);
    csg->claimed = true;
    csg->claimedA = new_a;
    csg->claimedB = new_b;
    csg->bActive = b->active != 0;
  }
  a->csgMark = 1;
  b->csgMark = 1;
  csg->active = true;
}

void releaseCSGOperands(cCSG* csg) {
  if (!csg->claimed) return;
  if (cObject* a = claimed_object(csg->engine, csg->claimedA)) a->csgMark = 0;
  if (cObject* b = claimed_object(csg->engine, csg->claimedB)) {
    b->csgMark = 0;
    b->active = csg->bActive ? 1 : 0;
    b->dirty = 1;
  }
  csg->claimed = false;
  csg->claimedA = csg->claimedB = cCSG::Operand{};
  csg->bActive = false;
}

void csgPass(Engine* engine) {
  for (int i = 0; i < engine->scene.csgs.count && i < MAX_ELEMENTS; ++i) {
    cCSG* csg = engine->scene.csgs[i];
    if (csg && csg->active) draw_operation(*csg);
  }
}
