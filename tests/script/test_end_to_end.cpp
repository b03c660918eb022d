// End to end through the program: what a script prints, its error messages and
// exit statuses, a missing script, exit, and shutting down with a live script.
#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/e2e.h"

namespace {

RunResult run_script(const std::string& script, const std::vector<std::string>& args, int timeout = 60) {
  DataFolder data;
  data.write("script.txt", script);
  return run_talpine(data, args, false, timeout);
}

TEST(EndToEnd, PrintsEachValueAndEndsAfterTheFrames) {
  RunResult run = run_script("print 1/4;\nprint \"hello\";\nx = 2; print x * 3;\n", {"--frames", "2"});
  EXPECT_EQ(run.exit_status, 0) << run.errors;
  EXPECT_EQ(run.output,
            "Talpine Engine 2.02: script print: 0.250000\n"
            "Talpine Engine 2.02: script print: hello\n"
            "Talpine Engine 2.02: script print: 6.000000\n");
}

TEST(EndToEnd, CarriageReturnLineEndsRun) {
  RunResult run = run_script("print 1;\r\n// two\r\nprint 2;\r\n", {"--frames", "2"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output,
            "Talpine Engine 2.02: script print: 1.000000\n"
            "Talpine Engine 2.02: script print: 2.000000\n");
}

TEST(EndToEnd, SyntaxErrorShowsItsLineAndFails) {
  RunResult run = run_script("print 1;\n\ny = = 2;\n", {"--frames", "2"});
  EXPECT_EQ(run.exit_status, 1);
  // The script does not run: no print.
  EXPECT_EQ(run.output, "Test: Script error\nline 3: syntax error\n");
}

TEST(EndToEnd, WrongArgumentCountKeepsTheScriptFromRunning) {
  RunResult run = run_script("function f(a) { return a; }\nprint 5;\nx = f(1, 2);\n", {"--frames", "3"});
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.output,
            "Talpine Engine 2.02: script error\nline 3\n"
            "wrong number of arguments in call to 'f' (2 instead of 1)\n");
}

TEST(EndToEnd, MissingScriptIsAQuietEmptyScene) {
  DataFolder data;
  RunResult run = run_talpine(data, {"--frames", "3"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output, "");
}

TEST(EndToEnd, ExitEndsTheProgramAtOnce) {
  auto start = std::chrono::steady_clock::now();
  RunResult run = run_script("print 1;\nexit;\nprint 2;\n", {}, 30);
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output, "Talpine Engine 2.02: script print: 1.000000\n");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(EndToEnd, UnrecognisedCommandStopsTheProgram) {
  RunResult run = run_script("scene nosuchcommand;\nn = status cLight(0);\nprint 9;\n", {"--frames", "2"}, 30);
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.output, "Talpine Engine 2.02: script error\nunrecognized command: <nosuchcommand>\n");
}

TEST(EndToEnd, CommandsRunBeforeTheFramesAreCounted) {
  // The verb's answer comes back, so the statements around it ran in order.
  RunResult run = run_script(
      "for (i = 0; i < 150; i++) object 0 position (i, 0, 0);\n"
      "n = status cLight(0);\nprint n >= 0;\n",
      {"--frames", "2"});
  EXPECT_EQ(run.exit_status, 0) << run.output;
  EXPECT_EQ(run.output, "Talpine Engine 2.02: script print: 1.000000\n");
}

TEST(EndToEnd, ShuttingDownWithALiveScriptIsClean) {
  const char* scripts[] = {
      "sleep 100000;",                                    // sleeping
      "while (1) { x = x + 1; }",                         // looping
      "while (1) { n = status cLight(0); }",                 // mostly waiting on a verb
      "while (1) object 0 position (1, 2, 3);",           // mostly waiting for a free slot
  };
  for (const char* script : scripts) {
    RunResult run = run_script(script, {"--max-frames", "5"}, 30);
    EXPECT_FALSE(run.timed_out) << script;
    EXPECT_EQ(run.exit_status, 0) << script << "\n" << run.errors;
  }
}

}  // namespace
