// Scripts through the real program (talpine --headless): scene commands and
// status queries as a script sees them, and the unrecognised-command stop.
#include <gtest/gtest.h>

#include "tests/support/e2e.h"

namespace {

TEST(EndToEnd, AScriptSetsTheCameraAndReadsItBack) {
  DataFolder data;
  data.write("script.txt",
             "scene position (1, 2, -300.7);\n"
             "scene rotation (10, 20, 30);\n"
             "print status cCamPX(0);\n"
             "print status cCamPY(0);\n"
             "print status cCamPZ(0);\n"
             "print status cCamRX(0);\n"
             "print status cCamRY(0);\n"
             "scene position (0, 0, -100);\n"
             "scene setspin (0, 0);\n"
             "scene spincam (90, 0);\n"
             "print status cCamPX(0);\n"
             "print status cCamRY(0);\n"
             "print status keystate(0);\n");
  RunResult run = run_talpine(data, {"--frames", "2"});
  EXPECT_EQ(run.exit_status, 0) << run.output << run.errors;
  EXPECT_EQ(run.output,
            "Talpine Engine 2.02: script print: -1.000000\n"
            "Talpine Engine 2.02: script print: -2.000000\n"
            "Talpine Engine 2.02: script print: -300.000000\n"
            "Talpine Engine 2.02: script print: -10.000000\n"
            "Talpine Engine 2.02: script print: 20.000000\n"
            "Talpine Engine 2.02: script print: -100.000000\n"
            "Talpine Engine 2.02: script print: -90.000000\n"
            "Talpine Engine 2.02: script print: 1.000000\n");
}

TEST(EndToEnd, AnUnrecognisedCommandStopsTheScript) {
  DataFolder data;
  data.write("script.txt",
             "scene fogcolor (0.5, 0.5, 0.5);\n"
             "scene fogcolour (1, 1, 1);\n"
             "print status cCamPX(0);\n");
  RunResult run = run_talpine(data, {"--frames", "2"});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.output, "Talpine Engine 2.02: script error\nunrecognized command: <fogcolour>\n");
}

TEST(EndToEnd, LoadingANameWithNoFileStopsTheScript) {
  DataFolder data;
  data.write("glass.vp", "!!ARBvp1.0\nEND\n");
  data.write("script.txt",
             "print load(\"glass\");\n"
             "print load(\"nothing\");\n"
             "print 1;\n");
  RunResult run = run_talpine(data, {"--frames", "2"});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.output,
            "Talpine Engine 2.02: script print: -1.000000\n"
            "Talpine Engine 2.02: script error\nunrecognized command: <nothing>\n");
  // Standard error says what was looked for, where, and at which line.
  EXPECT_EQ(run.errors, data.path() + "script.txt:2:13: error: load: no file for 'nothing' in " + data.path() +
                            " (tried nothing.gfx, nothing.3ds, nothing.obj, nothing.gltf, nothing.glb, nothing.png, "
                            "nothing.jpg, nothing.vp, nothing.fp, nothing.ogg, nothing.wav, nothing.flac, "
                            "nothing.mp3) near 'nothing'\n"
                            "print load(\"nothing\");\n"
                            "            ^\n");
}

TEST(EndToEnd, StopEndsTheProgramNormally) {
  DataFolder data;
  data.write("script.txt", "scene stop;\nsleep(100000);\n");
  RunResult run = run_talpine(data, {"--frames", "2"});
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output, "");
}

}  // namespace
