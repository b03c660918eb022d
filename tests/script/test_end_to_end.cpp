// End to end through the program: what a script prints, its error messages,
// diagnostics and warnings, exit statuses, a missing script, exit, --check,
// --seed, and shutting down with a live script.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
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
  DataFolder data;
  data.write("script.txt", "print 1;\n\ny = = 2;\n");
  RunResult run = run_talpine(data, {"--frames", "2"});
  EXPECT_EQ(run.exit_status, 1);
  // The script does not run: no print. The box is as it was; standard error
  // names the file, line and column, as compilers do.
  EXPECT_EQ(run.output, "Test: Script error\nline 3: syntax error\n");
  EXPECT_EQ(run.errors, data.path() + "script.txt:3:5: error: syntax error near '='\ny = = 2;\n    ^\n");
}

TEST(EndToEnd, AnArrayTooLargeIsAQuickErrorAtItsLine) {
  auto start = std::chrono::steady_clock::now();
  RunResult run = run_script("x = 1;\narray e[3000000000];\nprint x;\n", {"--frames", "2"}, 60);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.output, "Test: Script error\nline 2: array 'e' too large (at most 16777216 elements)\n");
  EXPECT_NE(run.errors.find("script.txt:2:9: error: array 'e' too large"), std::string::npos) << run.errors;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

// Traps the script keeps running through are warned about: on standard error
// with their place, and headless also as records, after the parse's messages.
TEST(EndToEnd, WarningsSayWhereTheScriptFallsIntoATrap) {
  RunResult run = run_script(
      "function down(n) { return down(n + 1); }\n"
      "object 0 a_command_name_that_is_too_long 1;\n"
      "print down(0);\n"
      "/* never closed\nprint 2;\n",
      {"--frames", "2"});
  EXPECT_EQ(run.exit_status, 0) << run.errors;
  EXPECT_EQ(run.output,
            "Talpine Engine 2.02: script warning\n"
            "line 2: name longer than 22 characters: the command carries only 'a_command_name_that_is' near "
            "'a_command_name_that_is_too_long'\n"
            "Talpine Engine 2.02: script warning\n"
            "line 4: comment not closed: the rest of the script is ignored near '/*'\n"
            "Talpine Engine 2.02: script warning\n"
            "line 1: calls nested deeper than 1000: this call gives 0 without running near 'down'\n"
            "Talpine Engine 2.02: script print: 0.000000\n");
  EXPECT_NE(run.errors.find("script.txt:1:27: warning: calls nested deeper than 1000"), std::string::npos)
      << run.errors;
  EXPECT_NE(run.errors.find("script.txt:4:1: warning: comment not closed"), std::string::npos) << run.errors;
}

TEST(EndToEnd, CheckParsesOnlyAndNeedsNoDisplay) {
  DataFolder data;
  // No display and no --headless: a run would refuse to start; --check opens nothing.
  const std::vector<std::string> no_display = {"SDL_VIDEODRIVER="};
  data.write("script.txt", "n = load(\"missing\");\nprint n;\nwhile (1) { sleep 10; }\n");
  RunResult clean = run_talpine_raw(data, {"--check", "--data", data.path()}, no_display, 30);
  EXPECT_EQ(clean.exit_status, 0) << clean.errors;
  EXPECT_EQ(clean.output, "");
  EXPECT_EQ(clean.errors, "");

  data.write("script.txt", "x = 1;\ny = (2;\nfunction f(a) { return a; }\nz = f();\n/*\n");
  RunResult broken = run_talpine_raw(data, {"--data", data.path(), "--check"}, no_display, 30);
  EXPECT_EQ(broken.exit_status, 1);
  EXPECT_EQ(broken.output, "");  // no message box, no record
  const std::string file = data.path() + "script.txt";
  EXPECT_EQ(broken.errors,
            file + ":2:7: error: syntax error near ';'\ny = (2;\n      ^\n" +
            file + ":4:5: error: wrong number of arguments in call to 'f' (0 instead of 1) near 'f'\nz = f();\n    ^\n" +
            file + ":5:1: warning: comment not closed: the rest of the script is ignored near '/*'\n/*\n^\n");

  DataFolder empty;
  RunResult missing = run_talpine_raw(empty, {"--check", "--data", empty.path()}, no_display, 30);
  EXPECT_EQ(missing.exit_status, 1);
  EXPECT_NE(missing.errors.find("script.txt: error: cannot be read"), std::string::npos) << missing.errors;
}

TEST(EndToEnd, ASeedRepeatsRandomOnTheFreeClock) {
  const std::string script = "print random(0, 30000);\nprint random(0, 30000);\nprint int(random * 1000);\n";
  RunResult first = run_script(script, {"--frames", "1", "--seed", "5"});
  RunResult again = run_script(script, {"--frames", "1", "--seed", "5"});
  RunResult other = run_script(script, {"--frames", "1", "--seed", "6"});
  EXPECT_EQ(first.exit_status, 0);
  EXPECT_EQ(std::count(first.output.begin(), first.output.end(), '\n'), 3) << first.output;
  EXPECT_EQ(first.output, again.output);
  EXPECT_NE(first.output, other.output);
}

TEST(EndToEnd, WrongArgumentCountKeepsTheScriptFromRunning) {
  RunResult run = run_script("function f(a) { return a; }\nprint 5;\nx = f(1, 2);\n", {"--frames", "3"});
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.output,
            "Talpine Engine 2.02: script error\nline 3\n"
            "wrong number of arguments in call to 'f' (2 instead of 1)\n");
}

TEST(EndToEnd, AMissingScriptOrFolderIsAnEmptySceneWithANote) {
  DataFolder data;
  RunResult run = run_talpine(data, {"--frames", "3"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output, "");  // no message box
  EXPECT_EQ(run.errors, "talpine: " + data.path() + "script.txt does not exist: the scene stays empty\n");

  RunResult nowhere = run_talpine_raw(data, {"--headless", "--data", data.path() + "nowhere", "--frames", "3"}, {});
  EXPECT_EQ(nowhere.exit_status, 0);
  EXPECT_EQ(nowhere.errors, "talpine: the data folder " + data.path() + "nowhere/ does not exist: the scene stays empty\n");
}

TEST(EndToEnd, WithoutADisplayOnlyHeadlessRuns) {
  DataFolder data;
  data.write("script.txt", "print 1;\n");
  auto start = std::chrono::steady_clock::now();
  RunResult run = run_talpine_raw(data, {"--data", data.path(), "--frames", "3"}, {"SDL_VIDEODRIVER="}, 30);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.output, "");
  EXPECT_NE(run.errors.find("talpine: no display to open a window on"), std::string::npos) << run.errors;
  EXPECT_NE(run.errors.find("use --headless"), std::string::npos) << run.errors;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

// In a window a print is a box, and also a line on standard output. The
// offscreen driver asked for by name stands in for a window here.
TEST(EndToEnd, PrintInAWindowAlsoGoesToStandardOutput) {
  DataFolder data;
  data.write("script.txt", "print 7;\nprint \"done\";\n");
  RunResult run =
      run_talpine_raw(data, {"--data", data.path(), "--frames", "2"}, {"SDL_VIDEODRIVER=offscreen"}, 30);
  EXPECT_EQ(run.exit_status, 0) << run.errors;
  EXPECT_EQ(run.output, "Talpine Engine 2.02: script print: 7.000000\nTalpine Engine 2.02: script print: done\n");
}

TEST(EndToEnd, ExitEndsTheScriptWithStatusZero) {
  auto start = std::chrono::steady_clock::now();
  RunResult run = run_script("print 1;\nexit;\nprint 2;\n", {}, 30);
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output, "Talpine Engine 2.02: script print: 1.000000\n");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

std::string crate_obj() {
  std::ifstream in(std::string(TALPINE_SOURCE_DIR) + "/examples/flares/Data/crate.obj");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// What the script posted before `exit` still runs (here a screenshot of its
// own), then the program shuts down normally: the frame that shows the last
// commands is drawn and --screenshot is written.
TEST(EndToEnd, ExitRunsWhatTheScriptPostedAndShutsDownNormally) {
  DataFolder data;
  data.write("crate.obj", crate_obj());
  data.write("script.txt",
             "n = load(\"crate\");\n"
             "object n position (0, 0, 6);\nobject n diffuse (1, 0, 0);\nobject n active 1;\n"
             "sleep 50;\n"
             "scene save;\n"
             "object n diffuse (0, 0, 1);\n"
             "exit;\n"
             "object n diffuse (0, 1, 0);\n");
  RunResult run = run_talpine(data, {"--size", "64x48"}, true);
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.exit_status, 0) << run.output << run.errors;
  EXPECT_TRUE(std::filesystem::exists(data.path() + "screen1.png")) << "scene save before exit was lost";
  ASSERT_TRUE(run.has_screenshot);
  int r, g, b;
  run.pixel(32, 24, &r, &g, &b);
  EXPECT_GT(b, 100) << "the last command before exit is in the final picture";
  EXPECT_LT(r + g, 60);

  RunResult saved;
  ASSERT_TRUE(read_png_file(data.path() + "screen1.png", &saved));
  saved.pixel(32, 24, &r, &g, &b);
  EXPECT_GT(r, 100) << "the save shows the crate as it was then";
}

TEST(EndToEnd, AnExitInAFunctionEndsTheRunThere) {
  RunResult run = run_script("function stop(code) { print code; exit; print 99; }\nx = stop(3);\nprint 4;\n",
                             {"--frames", "50"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output, "Talpine Engine 2.02: script print: 3.000000\n");
}

TEST(EndToEnd, UnrecognisedCommandStopsTheProgram) {
  RunResult run = run_script("x = 1;\n  scene nosuchcommand;\nn = status cLight(0);\nprint 9;\n", {"--frames", "2"}, 30);
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.output, "Talpine Engine 2.02: script error\nunrecognized command: <nosuchcommand>\n");
  // The render thread knows where the script posted it.
  EXPECT_NE(run.errors.find("script.txt:2:9: error: unrecognized command near 'nosuchcommand'\n"
                            "  scene nosuchcommand;\n        ^\n"),
            std::string::npos)
      << run.errors;
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
