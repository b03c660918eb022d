// Every example scene renders headless and shows its feature: a few regions of
// the screenshot are measured, and for the effects the same scene with the
// effect switched off is the reference. Coordinates are those of 480 x 320.
#include <gtest/gtest.h>

#include <set>

#include "tests/examples/example_run.h"

namespace {

// Runs the example and checks the run itself: exit 0, no message, a picture.
// On the fixed-step clock the script runs in lock-step with the frames, so the
// pictures do not depend on the machine's speed.
const std::vector<std::string> FIXED = {"--fixed-step", "16", "--frames", "3"};

RunResult render(const std::string& name, std::vector<std::string> args = FIXED, const Edits& edits = {}) {
  RunResult run = run_example(name, args, edits);
  EXPECT_EQ(run.exit_status, 0) << name << "\n" << run.output << run.errors;
  EXPECT_EQ(run.output, "") << name;
  EXPECT_TRUE(run.has_screenshot) << name;
  if (!run.has_screenshot) {  // keep the pixel reads in bounds
    run.width = 480;
    run.height = 320;
    run.rgb.assign(480 * 320 * 3, 0);
  }
  return run;
}

TEST(Examples, MeshesFromBothFormatsAreTextured) {
  RunResult run = render("meshes");
  Mean crate = region_mean(run, 100, 150, 180, 220);  // brick from the 3D Studio material
  EXPECT_GT(crate.r, crate.g + 50);
  EXPECT_GT(crate.r, 120);
  Mean ball = region_mean(run, 320, 130, 380, 190);  // marble given by the script
  EXPECT_GT(ball.luminance(), 150);
  EXPECT_LT(region_mean(run, 5, 5, 40, 40).luminance(), 40);  // the clear colour
  // The texture is not flat: the bricks' mortar lines show.
  EXPECT_GT(count_pixels(run, 100, 150, 180, 220, [](int r, int g, int) { return g > 150 && r > 150; }), 30);
}

TEST(Examples, GltfMeshesBringTheirOwnImages) {
  RunResult run = render("gltf");
  Mean crate = region_mean(run, 300, 130, 420, 220);  // lit brick, stored inside crate.glb
  EXPECT_GT(crate.r, crate.g + 25);
  EXPECT_GT(count_pixels(run, 300, 130, 420, 220, [](int r, int g, int) { return g > 100 && r > 100; }), 30)
      << "the mortar lines";
  Mean ring = region_mean(run, 60, 140, 90, 190);  // marble, stored inside ring.glb
  EXPECT_GT(ring.luminance(), 150);
  EXPECT_GT(count_pixels(run, 55, 95, 205, 235, [](int r, int, int b) { return b > r + 30; }), 30) << "the veins";
  EXPECT_LT(region_mean(run, 120, 150, 150, 170).luminance(), 40);  // through the ring's hole
}

TEST(Examples, TwoColouredLightsLightTheirSides) {
  RunResult run = render("lights");
  Mean left = region_mean(run, 175, 145, 195, 175);
  Mean right = region_mean(run, 285, 145, 305, 175);
  EXPECT_GT(left.r, left.b + 60);
  EXPECT_GT(right.b, right.r + 60);
}

TEST(Examples, TheShadowIsDarkerThanTheLitFloor) {
  RunResult run = render("shadows");
  Mean shadow = region_mean(run, 185, 160, 250, 178);
  Mean lit = region_mean(run, 320, 160, 440, 178);  // the same rows of the floor
  EXPECT_LT(shadow.luminance(), 0.6 * lit.luminance()) << shadow.luminance() << " " << lit.luminance();
  RunResult plain = render("shadows", FIXED, {{"shadow s active 1;", ""}});
  EXPECT_GT(region_mean(plain, 185, 160, 250, 178).luminance(), 0.8 * lit.luminance());
}

TEST(Examples, CsgCutsTheBallOutOfTheBox) {
  RunResult run = render("csg");
  // Inside the cut: the ball's inner surface, turned away from the light (grey),
  // where the plain box shows its lit orange face.
  Mean cut = region_mean(run, 250, 130, 290, 170);
  EXPECT_LT(cut.r, cut.b + 30);
  RunResult plain = render("csg", FIXED, {{"csg cut active 1;", ""}, {"object ball active 1;", ""}});
  Mean face = region_mean(plain, 250, 130, 290, 170);
  EXPECT_GT(face.r, face.b + 40);
}

TEST(Examples, ParticlesRiseAndSparksFly) {
  RunResult run = render("particles");
  EXPECT_GT(count_pixels(run, 100, 100, 200, 300, [](int r, int, int b) { return b > 120 && b > r; }), 10)
      << "the fountain's blue sprites";
  EXPECT_GT(count_pixels(run, 270, 60, 420, 220, [](int r, int g, int b) { return r > 180 && g > 60 && b < 120; }),
            50)
      << "the sparks around the ball";
}

TEST(Examples, TheFlareShinesWithItsLensPolygons) {
  RunResult run = render("flares");
  RunResult off = render("flares", FIXED, {{"flare f active 1;", ""}});
  EXPECT_GT(region_mean(run, 170, 110, 190, 130).luminance(), 180) << "the sun";
  EXPECT_LT(region_mean(off, 170, 110, 190, 130).luminance(), 40);
  // The lens polygons lie on the line from the sun through the centre.
  EXPECT_GT(count_changed(run, off, 220, 150, 340, 230, 60), 1000);
}

TEST(Examples, AFlareCoveredByTheCrateFadesOut) {
  // Stop the crate in front of the sun: the read-back finds it covered.
  RunResult run = render("flares", {"--fixed-step", "16", "--frames", "10"},
                         {{"for (x = 6; x > -14; x -= 0.25) {", "for (x = 0; x > 1; x -= 0.25) {"},
                          {"object crate position (6, 1.5, 20);", "object crate position (-2.7, 1.7, 20);"}});
  EXPECT_LT(count_pixels(run, 0, 0, 480, 320, [](int r, int g, int b) { return r + g + b > 600; }), 20);
}

TEST(Examples, WaterRipplesTheGrid) {
  RunResult run = render("water");
  RunResult still = render("water", FIXED, {{"water w active 1;", ""}});
  EXPECT_GT(count_changed(run, still, 0, 80, 480, 320, 60), 2000);
}

TEST(Examples, FluidSourcesSendRings) {
  RunResult run = render("fluid");
  RunResult still = render("fluid", FIXED, {{"fluide f active 1;", ""}});
  EXPECT_GT(count_changed(run, still, 0, 60, 480, 320, 40), 2000);
}

TEST(Examples, TheSkyBoxSurroundsTheCamera) {
  RunResult run = render("skybox");
  Mean sky = region_mean(run, 200, 10, 280, 60);
  Mean ground = region_mean(run, 200, 280, 280, 315);
  EXPECT_GT(sky.b, sky.r + 20);
  EXPECT_GT(sky.luminance(), 120);
  EXPECT_LT(ground.luminance(), sky.luminance() - 40);
}

TEST(Examples, VertexLabelsAreWrittenWithTheFont) {
  RunResult run = render("labels");
  auto green = [](int r, int g, int b) { return g > 120 && r < g - 50 && b < g - 50; };
  EXPECT_GT(count_pixels(run, 0, 0, 480, 320, green), 300);
  RunResult plain = render("labels", FIXED, {{"scene geometry 2;", ""}});
  EXPECT_EQ(count_pixels(plain, 0, 0, 480, 320, green), 0);
}

TEST(Examples, TheKeyframedBallEndsAtItsLastKey) {
  RunResult run = render("keyframes", FIXED);
  auto orange = [](int r, int g, int b) { return r > 200 && g < 160 && b < 100; };
  EXPECT_GT(count_pixels(run, 360, 0, 480, 320, orange), 500);  // last key: x = 5
  EXPECT_EQ(count_pixels(run, 0, 0, 240, 320, orange), 0);
}

// The camera flies from in front of the pair round to behind it, looking back:
// positive yaw turns right, so the ball (x = 3) ends on the left.
TEST(Examples, TheCameraFlightEndsBehindThePairLookingBack) {
  auto red = [](int r, int g, int b) { return r > 150 && g < 100 && b < 100; };
  auto blue = [](int r, int, int b) { return b > 150 && r < 120; };
  RunResult run = render("camera", FIXED);
  EXPECT_GT(count_pixels(run, 0, 0, 240, 320, blue), 500);
  EXPECT_EQ(count_pixels(run, 0, 0, 240, 320, red), 0);
  EXPECT_GT(count_pixels(run, 240, 0, 480, 320, red), 500);
  RunResult still = render("camera", FIXED, {{"framer k start;", ""}});
  EXPECT_GT(count_pixels(still, 0, 0, 240, 320, red), 500);  // from the front: the crate on the left
  EXPECT_GT(count_pixels(still, 240, 0, 480, 320, blue), 500);
}

TEST(Examples, TheDeformerTurnsTheCrateGreen) {
  RunResult run = render("deformers", FIXED);
  Mean crate = region_mean(run, 220, 140, 260, 180);
  EXPECT_GT(crate.g, crate.r + 80);
  EXPECT_GT(crate.g, crate.b + 80);
}

TEST(Examples, GlowSpreadsAroundTheRing) {
  RunResult run = render("glow");
  RunResult off = render("glow", FIXED, {{"glow 0 active 1;", ""}});
  // Just outside the ring, left and right: dark without the glow.
  auto warm = [](int r, int, int b) { return r > b + 40; };
  int with = count_pixels(run, 130, 150, 160, 170, warm) + count_pixels(run, 320, 150, 350, 170, warm);
  int without = count_pixels(off, 130, 150, 160, 170, warm) + count_pixels(off, 320, 150, 350, 170, warm);
  EXPECT_GT(with, without + 200) << with << " " << without;
}

TEST(Examples, BloomBrightensAroundTheHighlight) {
  RunResult run = render("bloom");
  RunResult off = render("bloom", FIXED, {{"bloom 0 active 1;", ""}});
  // Background pixels next to the ball's lit top that the bloom lights up.
  int halo = 0;
  for (int y = 60; y < 180; ++y)
    for (int x = 160; x < 330; ++x) {
      int r1, g1, b1, r2, g2, b2;
      run.pixel(x, y, &r1, &g1, &b1);
      off.pixel(x, y, &r2, &g2, &b2);
      if (r2 + g2 + b2 < 20 && r1 + g1 + b1 > 90) ++halo;
    }
  EXPECT_GT(halo, 150);
}

TEST(Examples, BlurLeavesATrail) {
  RunResult run = render("blur", FIXED);
  RunResult off = render("blur", FIXED, {{"blur 0 active 1;", ""}});
  // Without the blur only the ring's last place is lit; with it, its earlier
  // places stay as a fading trail where the background was black.
  int trail = 0;
  for (int y = 0; y < 320; ++y)
    for (int x = 0; x < 480; ++x) {
      int r1, g1, b1, r2, g2, b2;
      run.pixel(x, y, &r1, &g1, &b1);
      off.pixel(x, y, &r2, &g2, &b2);
      if (r2 + g2 + b2 < 10 && r1 + g1 + b1 > 60) ++trail;
    }
  EXPECT_GT(trail, 10000);
}

TEST(Examples, TheMonitorShowsTheSecondCamerasView) {
  auto ring_colour = [](int r, int, int b) { return r > 120 && b < r - 70; };
  RunResult run = render("render_target");
  RunResult off = render("render_target", FIXED, {{"texgfx t active 1;", ""}});
  EXPECT_GT(count_pixels(run, 40, 60, 220, 260, ring_colour), 300);
  EXPECT_LT(count_pixels(off, 40, 60, 220, 260, ring_colour), 20);
}

TEST(Examples, TheLanguageExamplePlacesTwelveColouredBalls) {
  RunResult run = render("language");
  std::set<int> hues;
  int lit = 0;
  for (int y = 0; y < 320; ++y)
    for (int x = 0; x < 480; ++x) {
      int r, g, b;
      run.pixel(x, y, &r, &g, &b);
      if (r + g + b < 150) continue;
      ++lit;
      hues.insert((r / 86) * 9 + (g / 86) * 3 + b / 86);
    }
  EXPECT_GE(hues.size(), 6u);
  EXPECT_GT(lit, 12 * 500);  // twelve balls, each some 700 pixels
  EXPECT_LT(lit, 12 * 1100);
  int r, g, b;
  run.pixel(240, 160, &r, &g, &b);  // the first ball, moved to the centre at the end
  EXPECT_GT(r + g + b, 150);
}

// Baked by the program itself and shown before the baker is finished, at the
// window size the script sets the viewport to again.
TEST(Examples, TheBakedRoomIsLitByTheLampAndShadowedByTheBlock) {
  RunResult run = render("lightmap", {"--size", "1200x800", "--fixed-step", "16", "--frames", "3"},
                         {{"sleep 3000;", "sleep 50;"}});
  ASSERT_EQ(run.width, 1200);
  const double lit = region_mean(run, 60, 420, 300, 560).luminance();      // floor left of the block
  const double shadow = region_mean(run, 900, 480, 1100, 580).luminance();  // floor behind it, right
  const double away = region_mean(run, 420, 400, 780, 600).luminance();     // the block's side away from the lamp
  EXPECT_GT(lit, 60);
  EXPECT_LT(shadow, 0.6 * lit) << shadow << " " << lit;
  EXPECT_LT(away, 15);
  // Each triangle shows its own cell of the lightmap: the lit floor is lit
  // throughout, without the dark patches of cells read through the wrong
  // coordinates.
  int dark = count_pixels(run, 60, 420, 300, 560, [](int r, int g, int b) { return r + g + b < 60; });
  EXPECT_LT(dark, 240 * 140 / 50);
}

}  // namespace
