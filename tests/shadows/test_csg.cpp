// CSG of two boxes read back from presented frames: A (red, edge 2, centre at
// depth 7) and B (green, edge 2, one unit to the right and one unit nearer),
// which overlap in the block x 0..1, depth 6..7 (script units).
#include <gtest/gtest.h>

#include "lighting/csg.h"
#include "tests/shadows/stencil_scene.h"

namespace {

class CSG : public StencilScene {
 protected:
  void SetUp() override {
    StencilScene::SetUp();
    a = add_box(0, 0, 7, 1, 1, 0, 0);
    b = add_box(1, 0, 6, 1, 0, 1, 0);
  }
  // Points on the screen, named by what is there in the plain scene.
  Rgb overlap() { return at(0.5f, 0, -6); }      // A's front inside B; B's front before it
  Rgb a_only() { return at(-0.6f, 0, -6); }      // A's front outside B
  Rgb b_only() { return at(1.6f, 0.3f, -5); }    // B's front outside A
  int a = 0, b = 0;
};

TEST_F(CSG, IntersectionByDefaultDifferenceWithOpmodeZero) {
  draw_frames(1);
  EXPECT_TRUE(colour_near(overlap(), 0, 255, 0)) << "plain scene: B in front";
  EXPECT_TRUE(colour_near(a_only(), 255, 0, 0));

  ASSERT_EQ(run(CMD_NEW, "cCSG", static_cast<float>(a), static_cast<float>(b)), 0);
  run(CMD_CSG, "active", 0);
  EXPECT_EQ(run(CMD_STATUS, "cCSG", 0), 1);
  draw_frames(1);
  keep_picture("csg_intersection");
  EXPECT_TRUE(colour_near(overlap(), 255, 0, 0)) << "A's face bounds the intersection there";
  EXPECT_TRUE(colour_near(a_only(), 0, 0, 0));
  EXPECT_TRUE(colour_near(b_only(), 0, 0, 0));

  run(CMD_CSG, "opmode", 0, 0);
  draw_frames(1);
  keep_picture("csg_difference");
  EXPECT_TRUE(colour_near(overlap(), 0, 255, 0)) << "the notch: B's back face inside A";
  EXPECT_TRUE(colour_near(a_only(), 255, 0, 0));
  EXPECT_TRUE(colour_near(b_only(), 0, 0, 0));

  // B takes part only through the operation: inactive after the frame.
  EXPECT_EQ(run(CMD_STATUS, "cObject", static_cast<float>(b)), 0);
  EXPECT_EQ(engine->scene.objects[b]->frontFace, GL_CCW);  // draw settings given back
  EXPECT_EQ(engine->scene.objects[b]->frustumTest, 1);
}

TEST_F(CSG, SettingsHidesBothUntilActive) {
  ASSERT_EQ(run(CMD_NEW, "cCSG", static_cast<float>(a), static_cast<float>(b)), 0);
  run(CMD_CSG, "active", 0);
  draw_frames(1);
  run(CMD_CSG, "settings", 0, static_cast<float>(a), static_cast<float>(b), 0);
  EXPECT_EQ(run(CMD_STATUS, "cCSG", 0), 0);
  EXPECT_FALSE(engine->scene.csgs[0]->opmode);
  draw_frames(1);
  EXPECT_TRUE(colour_near(overlap(), 0, 0, 0));
  EXPECT_TRUE(colour_near(a_only(), 0, 0, 0));
  EXPECT_TRUE(colour_near(b_only(), 0, 0, 0));
  run(CMD_CSG, "active", 0);
  draw_frames(1);
  EXPECT_TRUE(colour_near(a_only(), 255, 0, 0)) << "the difference again";

  // Deleting the operation gives both back to the normal pass.
  EXPECT_EQ(run(CMD_DELETE, "cCSG", 0), 1);
  EXPECT_EQ(engine->scene.csgs.count, 0);
  EXPECT_EQ(engine->scene.objects[a]->csgMark, 0);
  EXPECT_EQ(engine->scene.objects[b]->csgMark, 0);
  draw_frames(1);
  EXPECT_TRUE(colour_near(overlap(), 0, 255, 0)) << "the plain scene again: B in front";
  EXPECT_TRUE(colour_near(b_only(), 0, 255, 0));
  EXPECT_EQ(run(CMD_STATUS, "cObject", static_cast<float>(b)), 1);
}

// Whatever ends the operation, the operands come back as the scene had them.
class CSGLifecycle : public CSG {
 protected:
  // The difference, drawn once: B has been taken over by the operation.
  void cut() {
    ASSERT_EQ(run(CMD_NEW, "cCSG", static_cast<float>(a), static_cast<float>(b)), 0);
    run(CMD_CSG, "opmode", 0, 0);
    run(CMD_CSG, "active", 0);
    draw_frames(1);
    ASSERT_TRUE(colour_near(b_only(), 0, 0, 0));
    ASSERT_EQ(run(CMD_STATUS, "cObject", static_cast<float>(b)), 0);
  }
};

TEST_F(CSGLifecycle, DeletingTheOperationShowsBothOperandsAgain) {
  cut();
  run(CMD_DELETE, "cCSG", 0);
  draw_frames(1);
  EXPECT_TRUE(colour_near(overlap(), 0, 255, 0));
  EXPECT_TRUE(colour_near(a_only(), 255, 0, 0));
  EXPECT_TRUE(colour_near(b_only(), 0, 255, 0));
}

TEST_F(CSGLifecycle, AnOperandSwitchedOffBeforeTheOperationStaysOff) {
  object_command(b, "active", 0);
  cut();
  run(CMD_DELETE, "cCSG", 0);
  draw_frames(1);
  EXPECT_TRUE(colour_near(overlap(), 255, 0, 0)) << "A alone";
  EXPECT_TRUE(colour_near(b_only(), 0, 0, 0));
  // Switched on by the script while the operation ran: B's own again after.
  cut();
  object_command(b, "active", 1);
  draw_frames(1);
  run(CMD_DELETE, "cCSG", 0);
  draw_frames(1);
  EXPECT_TRUE(colour_near(b_only(), 0, 255, 0));
}

TEST_F(CSGLifecycle, DeletingOperandBGivesABack) {
  cut();
  EXPECT_EQ(run(CMD_DELETE, "cObject", static_cast<float>(b)), 1);
  draw_frames(1);
  EXPECT_TRUE(colour_near(overlap(), 255, 0, 0)) << "A whole, in the normal pass";
  EXPECT_TRUE(colour_near(a_only(), 255, 0, 0));
  EXPECT_EQ(engine->scene.objects[a]->csgMark, 0);
  EXPECT_EQ(run(CMD_STATUS, "cCSG", 0), 0);
  // The operation is still there and may be given operands again.
  int c = add_box(1, 0, 6, 1, 0, 0, 1);
  run(CMD_CSG, "object2", 0, static_cast<float>(c));
  run(CMD_CSG, "active", 0);
  draw_frames(1);
  EXPECT_TRUE(colour_near(a_only(), 255, 0, 0));
  EXPECT_TRUE(colour_near(b_only(), 0, 0, 0)) << "the new B cuts";
}

TEST_F(CSGLifecycle, DeletingOperandAGivesBBack) {
  cut();
  EXPECT_EQ(run(CMD_DELETE, "cObject", static_cast<float>(a)), 1);
  draw_frames(1);
  EXPECT_TRUE(colour_near(overlap(), 0, 255, 0));
  EXPECT_TRUE(colour_near(b_only(), 0, 255, 0));
  EXPECT_EQ(run(CMD_STATUS, "cObject", static_cast<float>(b)), 1);
  EXPECT_EQ(engine->scene.objects[b]->csgMark, 0);
  EXPECT_EQ(run(CMD_STATUS, "cCSG", 0), 0);
}

TEST_F(CSGLifecycle, AnObjectLoadedIntoAnOperandsSlotIsNotTakenForIt) {
  cut();
  // B deleted and another object in its slot before the next frame.
  run(CMD_DELETE, "cObject", static_cast<float>(b));
  int again = add_box(1, 0, 6, 1, 0, 0, 1);
  ASSERT_EQ(again, b);
  draw_frames(1);
  EXPECT_TRUE(colour_near(overlap(), 0, 0, 255)) << "the new object, drawn normally in front";
  EXPECT_TRUE(colour_near(a_only(), 255, 0, 0));
  EXPECT_EQ(engine->scene.objects[b]->csgMark, 0);
  EXPECT_EQ(engine->scene.objects[a]->csgMark, 0);
}

TEST_F(CSGLifecycle, NewOperandsGiveTheOldOnesBack) {
  cut();
  int c = add_box(-1, 0, 6, 1, 0, 0, 1);  // a blue box cutting A's left side
  run(CMD_CSG, "settings", 0, static_cast<float>(a), static_cast<float>(c), 0);
  run(CMD_CSG, "active", 0);
  draw_frames(1);
  EXPECT_TRUE(colour_near(b_only(), 0, 255, 0)) << "the old B is itself again";
  EXPECT_EQ(engine->scene.objects[b]->csgMark, 0);
  EXPECT_EQ(engine->scene.objects[c]->csgMark, 1);
}

TEST_F(CSG, OperandsThatNameNoObjectNeverActivate) {
  ASSERT_EQ(run(CMD_NEW, "cCSG", static_cast<float>(a), 150), 0);
  run(CMD_CSG, "active", 0);
  EXPECT_EQ(run(CMD_STATUS, "cCSG", 0), 0);
  run(CMD_CSG, "object2", 0, 5);  // within the table, beyond the objects
  run(CMD_CSG, "active", 0);
  EXPECT_EQ(run(CMD_STATUS, "cCSG", 0), 0);
  run(CMD_CSG, "object2", 0, -1);
  run(CMD_CSG, "active", 0);
  EXPECT_EQ(run(CMD_STATUS, "cCSG", 0), 0);
  draw_frames(1);
  EXPECT_TRUE(colour_near(overlap(), 0, 255, 0)) << "both drawn normally";
  EXPECT_TRUE(colour_near(a_only(), 255, 0, 0));
  EXPECT_EQ(engine->scene.objects[a]->csgMark, 0);

  // A hole in the table below the count is refused too, and delete clears
  // only the marks of objects that exist.
  add_box(5, 5, 20, 1, 1, 1, 1);  // keeps the count above the hole
  EXPECT_EQ(run(CMD_DELETE, "cObject", static_cast<float>(b)), 1);
  EXPECT_EQ(engine->scene.objects.count, 3);
  ASSERT_EQ(run(CMD_NEW, "cCSG", static_cast<float>(a), static_cast<float>(b)), 1);
  run(CMD_CSG, "active", 1);
  EXPECT_EQ(run(CMD_STATUS, "cCSG", 1), 0);
  EXPECT_EQ(run(CMD_DELETE, "cCSG", 1), 1);
}

}  // namespace
