// Values: arithmetic and truth, random numbers, variables and arrays, control
// flow, user functions, and the commands that scene statements and verbs post.
#include <atomic>
#include <chrono>
#include <cmath>
#include <set>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "core/clock.h"
#include "script/script_activity.h"
#include "script_helpers.h"

namespace {

TEST(Values, PrintShowsSixDecimalsOrTheQuotedName) {
  ScriptRun run("print 1/4; print \"hello\"; print -2;");
  std::vector<Message> messages = run.capture.messages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].caption, "Talpine Engine 2.02");
  EXPECT_EQ(messages[0].text, "script print: 0.250000");
  EXPECT_EQ(messages[1].text, "script print: hello");
  EXPECT_EQ(messages[2].text, "script print: -2.000000");
}

TEST(Values, RemainderTruncatesBothSides) {
  ScriptRun run("a = 7 % 3; b = -7 % 3; c = 7.9 % 3.9; d = 5 % 0.5; e = 9; e %= 4; f = 9; f %= 0;");
  EXPECT_EQ(run.value("a"), 1.0f);
  EXPECT_EQ(run.value("b"), -1.0f);
  EXPECT_EQ(run.value("c"), 1.0f);
  EXPECT_EQ(run.value("d"), 0.0f);  // the right side truncates to 0
  EXPECT_EQ(run.value("e"), 1.0f);
  EXPECT_EQ(run.value("f"), 0.0f);
}

TEST(Values, ConditionsTestNonZeroLogicalOperatorsTruncate) {
  ScriptRun run(
      "if (0.5) a = 1; b = (0.5 && 1); c = (0.5 || 0); d = (2 && -1); q = 0.5 && 1; e = !0.5; f = !3;"
      "if (0) g = 1; else g = 2; w = 0.5; n = 0; while (w) { n = n + 1; w = w - 0.25; }");
  EXPECT_EQ(run.value("a"), 1.0f);
  EXPECT_EQ(run.value("b"), 0.0f);
  EXPECT_EQ(run.value("c"), 0.0f);
  EXPECT_EQ(run.value("d"), 1.0f);
  EXPECT_EQ(run.value("q"), 0.5f);  // assignment binds tighter than &&
  EXPECT_EQ(run.value("e"), 1.0f);
  EXPECT_EQ(run.value("f"), 0.0f);
  EXPECT_EQ(run.value("g"), 2.0f);
  EXPECT_EQ(run.value("n"), 2.0f);  // 0.25 still counts as true in a loop
}

TEST(Values, AndOrEvaluateBothSides) {
  ScriptRun run("x = 0 && (y = 5); z = 1 || (w = 6);");
  EXPECT_EQ(run.value("x"), 0.0f);
  EXPECT_EQ(run.value("y"), 5.0f);
  EXPECT_EQ(run.value("z"), 1.0f);
  EXPECT_EQ(run.value("w"), 6.0f);
}

TEST(Values, AssignmentValueIsComparedNotAssigned) {
  ScriptRun run("x = 1 == 1; z = (y = 3 == 3); if (t = 0) u = 1; else u = 2;");
  EXPECT_EQ(run.value("x"), 1.0f);
  EXPECT_EQ(run.value("y"), 3.0f);
  EXPECT_EQ(run.value("z"), 1.0f);  // (y = 3) == 3
  EXPECT_EQ(run.value("t"), 0.0f);
  EXPECT_EQ(run.value("u"), 2.0f);
}

TEST(Values, FloatArithmeticAndConversions) {
  ScriptRun run(
      "a = 1 / 0; b = 0 / 0; c = int(-2.7); d = int(b); e = sqrt(16); f = sin(0); g = atan(1) * 4;"
      "h = 16777216 + 1; i = 1 - 2 - 3; j = 2 * 3 + 4 * 5;");
  EXPECT_TRUE(std::isinf(run.value("a")));
  EXPECT_TRUE(std::isnan(run.value("b")));
  EXPECT_EQ(run.value("c"), -2.0f);
  EXPECT_EQ(run.value("d"), 0.0f);  // NaN truncates to 0
  EXPECT_EQ(run.value("e"), 4.0f);
  EXPECT_EQ(run.value("f"), 0.0f);
  EXPECT_FLOAT_EQ(run.value("g"), 3.14159265f);
  EXPECT_EQ(run.value("h"), 16777216.0f);  // 32-bit float values
  EXPECT_EQ(run.value("i"), -4.0f);
  EXPECT_EQ(run.value("j"), 26.0f);
}

TEST(Values, IncrementGivesTheNewValueEitherSide) {
  ScriptRun run("i = 0; a = i++; b = ++i; c = i--; d = --i; e = i;");
  EXPECT_EQ(run.value("a"), 1.0f);
  EXPECT_EQ(run.value("b"), 2.0f);
  EXPECT_EQ(run.value("c"), 1.0f);
  EXPECT_EQ(run.value("d"), 0.0f);
  EXPECT_EQ(run.value("e"), 0.0f);
}

TEST(Values, CompoundAssignmentToAnElementEvaluatesItsIndexTwice) {
  ScriptRun run("array a[4]; a[1] = 5; i = 0; a[i++] += 1; x = a[1]; y = a[2];");
  EXPECT_EQ(run.value("i"), 2.0f);
  EXPECT_EQ(run.value("x"), 5.0f);
  EXPECT_EQ(run.value("y"), 6.0f);  // i++ gives the new value: read a[1], stored into a[2]
}

TEST(Values, ArraysStartZeroedAndIgnoreIndicesOutside) {
  ScriptRun run(
      "array a[3]; x = a[2]; a[1] = 5; a[3] = 7; a[-1] = 8; y = a[3]; z = a[-1]; w = a[1.9];"
      "a = 4; v = a; s = 1; s[7] = 2; t = s[100];");
  EXPECT_EQ(run.value("x"), 0.0f);
  EXPECT_EQ(run.value("y"), 0.0f);
  EXPECT_EQ(run.value("z"), 0.0f);
  EXPECT_EQ(run.value("w"), 5.0f);
  EXPECT_EQ(run.value("v"), 4.0f);  // the plain name is element 0
  EXPECT_EQ(run.script->find("a", nullptr)->elements, (std::vector<float>{4, 5, 0}));
  EXPECT_EQ(run.value("s"), 2.0f);  // a scalar ignores an index
  EXPECT_EQ(run.value("t"), 2.0f);
}

TEST(Values, RandomFollowsTheGeneratorAndItsBounds) {
  // Seeded with 1, the generator gives 41, 18467, 6334.
  ScriptRun run("a = random(0, 32767); b = random(0, 32767); c = rnd(0, 32767);");
  EXPECT_EQ(run.value("a"), 41.0f);
  EXPECT_EQ(run.value("b"), 18467.0f);
  EXPECT_EQ(run.value("c"), 6334.0f);

  ScriptRun dice(
      "array seen[7]; lo = 10; hi = -10; for (i = 0; i < 2000; i++) { r = random(1, 6); seen[r] += 1;"
      "if (r < lo) lo = r; if (r > hi) hi = r; if (r != int(r)) frac = 1; }"
      "flo = 10; fhi = -10; for (i = 0; i < 2000; i++) { r = random; if (r < flo) flo = r; if (r > fhi) fhi = r; }"
      "e = random(5, 4); f = random(3, 3);");
  EXPECT_EQ(dice.value("lo"), 1.0f);
  EXPECT_EQ(dice.value("hi"), 6.0f);
  EXPECT_EQ(dice.value("frac"), 0.0f);
  const std::vector<float>& seen = dice.script->find("seen", nullptr)->elements;
  for (int face = 1; face <= 6; ++face) EXPECT_GT(seen[face], 200.0f) << face;
  EXPECT_GE(dice.value("flo"), 0.0f);
  EXPECT_LT(dice.value("flo"), 0.01f);
  EXPECT_LE(dice.value("fhi"), 1.0f);
  EXPECT_GT(dice.value("fhi"), 0.99f);
  EXPECT_EQ(dice.value("e"), 5.0f);  // an empty range gives its lower bound
  EXPECT_EQ(dice.value("f"), 3.0f);
}

TEST(Values, LoopsRunInOrder) {
  ScriptRun run(
      "s = 0; for (i = 1; i <= 10; i++) s += i; n = 0; while (n < 5) n = n + 1;"
      "k = 0; for (i = 0; i < 3; i++) for (j = 0; j < 4; j++) k++;");
  EXPECT_EQ(run.value("s"), 55.0f);
  EXPECT_EQ(run.value("i"), 3.0f);
  EXPECT_EQ(run.value("n"), 5.0f);
  EXPECT_EQ(run.value("k"), 12.0f);
}

TEST(Values, ALongStatementListRunsWithoutDeepRecursion) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "x = x + 1;\n";
  ScriptRun run(text);
  EXPECT_EQ(run.value("x"), 100000.0f);
}

// Blocks short enough to be gathered on the stack and longer ones: every
// statement once, in order, and nothing after a return.
TEST(Values, BlocksOfEveryLengthRunInOrderAndStopAtReturn) {
  for (int length : {1, 2, 7, 8, 9, 16, 40}) {
    std::string body;
    for (int k = 0; k < length; ++k) body += "x = x * 3 + " + std::to_string(k % 3) + "; ";
    std::string cut;
    for (int k = 0; k < length; ++k) cut += (k == length / 2 ? "return x; " : "x = x + 1; ");
    ScriptRun run("function f() { x = 0; " + cut + "x = 1000; return 0; }\n"
                  "x = 0; { " + body + "} a = x; b = f();");
    float expected = 0;
    for (int k = 0; k < length; ++k) expected = expected * 3 + static_cast<float>(k % 3);
    EXPECT_EQ(run.value("a"), expected) << length;
    EXPECT_EQ(run.value("b"), static_cast<float>(length / 2)) << length;
  }
}

// Operands run from left to right, and a variable is read where it stands:
// an assignment further right does not change what the left side saw.
TEST(Values, AVariableIsReadBeforeTheOperandsToItsRight) {
  ScriptRun run(
      "x = 1; a = x + (x = 5); x = 3; b = x - (x = 1) - x; x = 2; c = (x = 4) * (x = 10); d = 2; d += (d = 10);"
      "x = 1; if (x < (x = 0)) e = 1; else e = 2; x = 1; f = random(x, x = 1); x = 7; g = x * x++;");
  EXPECT_EQ(run.value("a"), 6.0f);
  EXPECT_EQ(run.value("b"), 1.0f);   // (3 - 1) - 1
  EXPECT_EQ(run.value("c"), 40.0f);
  EXPECT_EQ(run.value("d"), 12.0f);  // the old d, then the assignment's 10
  EXPECT_EQ(run.value("e"), 2.0f);   // 1 < 0
  EXPECT_EQ(run.value("f"), 1.0f);
  EXPECT_EQ(run.value("g"), 56.0f);  // 7 * 8

  ScriptRun elements("array a[3]; i = 0; a[i] = (i = 2); j = 0; a[j++] = j;");
  EXPECT_EQ(elements.script->find("a", nullptr)->elements, (std::vector<float>{0, 0, 2}));  // a[1] = old j
}

TEST(Values, ArgumentsOfCommandsAndCallsAreTakenInOrder) {
  ScriptRun run(
      "function pair(p, q) { return p * 10 + q; }\n"
      "n = 1; object n position (n, n = 7, n); x = 1; r = pair(x, x = 2); s = pair(x++, x);");
  ASSERT_EQ(run.posted.size(), 1u);
  const float* args = run.posted[0].command.args;
  EXPECT_EQ(std::vector<float>(args, args + 5), (std::vector<float>{1, 1, 7, 7, 0}));
  EXPECT_EQ(run.value("r"), 12.0f);
  EXPECT_EQ(run.value("s"), 33.0f);
}

// Comparisons that jump on their operands: NaN fails each of them, so the
// negated jump must not be the opposite comparison.
TEST(Values, NaNFailsEveryComparisonInConditions) {
  ScriptRun run(
      "n = 0 / 0; a = 0; if (n > 1) a = 1; if (n == n) a = 2; if (n < 1) a = 3; if (n >= 1) a = 4;"
      "if (n <= 1) b = 1; else b = 2; c = 0; while (n < 1) c = c + 1; d = 0; while (n != 1 && d < 3) d++;"
      "e = 0; for (i = 0; i < 5; i++) if (!(n > i)) e++; f = (n == n); g = (n != n);");
  EXPECT_EQ(run.value("a"), 0.0f);
  EXPECT_EQ(run.value("b"), 2.0f);
  EXPECT_EQ(run.value("c"), 0.0f);
  EXPECT_EQ(run.value("d"), 3.0f);
  EXPECT_EQ(run.value("e"), 5.0f);
  EXPECT_EQ(run.value("f"), 0.0f);
  EXPECT_EQ(run.value("g"), 1.0f);
}

TEST(Values, LongSumsAndDeepParenthesesGiveTheirValue) {
  std::string sum = "y = 0";
  for (int i = 0; i < 200000; ++i) sum += " + 1";
  std::string nested = "z = " + std::string(1000, '(') + "2" + std::string(1000, ')') + " * 3;";
  ScriptRun run(sum + "; " + nested + " w = 1 - 1 - 1 - 1 - 1;");
  EXPECT_EQ(run.value("y"), 200000.0f);
  EXPECT_EQ(run.value("z"), 6.0f);
  EXPECT_EQ(run.value("w"), -3.0f);
}

// Every statement of a list and every loop round counts once towards the
// lock-step budget, a block as one statement of its own list as well.
TEST(Values, StatementsAndLoopRoundsAreCounted) {
  ScriptActivity activity;
  set_current_script_activity(&activity);
  {
    ScriptRun run("x = 0; for (i = 0; i < 10; i++) { x = x + i; if (x > 5) { y = 1; } } function f() { z = 1; } f();");
    // 4 top-level statements, 10 rounds of 2, and 7 blocks entered (x > 5 from i = 3); the call's body 1
    EXPECT_EQ(activity.statements, 4u + 10u + 20u + 7u + 1u);
  }
  set_current_script_activity(nullptr);
}

TEST(Functions, CallsBindArgumentsAndReturnValues) {
  ScriptRun run(
      "function sq(v) { return v * v; }\n"
      "function fact(n) { if (n <= 1) return 1; return n * fact(n - 1); }\n"
      "function sum3(a, b, c) { return sq(a) + b + c; }\n"
      "function nothing() { x = 1; }\n"
      "function fib(n) { if (n < 2) return n; return fib(n - 1) + fib(n - 2); }\n"
      "a = sq(7); b = fact(5); c = sum3(2, 3, 4); d = nothing(); e = fib(10); v = 9;");
  EXPECT_EQ(run.value("a"), 49.0f);
  EXPECT_EQ(run.value("b"), 120.0f);
  EXPECT_EQ(run.value("c"), 11.0f);
  EXPECT_EQ(run.value("d"), 0.0f);
  EXPECT_EQ(run.value("e"), 55.0f);
  EXPECT_EQ(run.value("v"), 9.0f);  // the parameter v of sq is another symbol
}

TEST(Functions, ADefinitionRunsNothingAndReturnLeavesLoops) {
  ScriptRun run(
      "function f() { print 1; }\n"
      "function first(limit) { for (i = 0; i < 100; i++) if (i * i >= limit) return i; return -1; }\n"
      "a = first(50); b = first(100000);");
  EXPECT_TRUE(run.capture.messages().empty());
  EXPECT_EQ(run.value("a"), 8.0f);
  EXPECT_EQ(run.value("b"), -1.0f);
}

TEST(Functions, LocalsAreRestoredAfterEachCall) {
  ScriptRun run(
      "function count(n) { t = n; if (n > 0) count(n - 1); return t + n; }\n"
      "r = count(3);");
  // The inner calls set t and n to 2, 1 and 0; the outer level must see its own 3s again.
  EXPECT_EQ(run.value("r"), 6.0f);
}

// A recursive call in the middle of an expression: the partial values of the
// outer level (the n * 2 and the product) must survive the inner levels.
TEST(Functions, RecursionKeepsEachLevelsPartialValues) {
  ScriptRun run(
      "function g(n) { if (n <= 0) return 1; return n * 2 + g(n - 1) * 3 + n; }\n"
      "function h(n) { array seen[2]; seen[1] = n; if (n > 0) h(n - 1); return seen[1]; }\n"
      "a = g(6); b = h(4); c = later(); function later() { return 3; }");
  float expected = 1;
  for (int n = 1; n <= 6; ++n) expected = static_cast<float>(n * 2) + expected * 3 + static_cast<float>(n);
  EXPECT_EQ(run.value("a"), expected);
  EXPECT_EQ(run.value("b"), 4.0f);  // each level's array is its own again after the inner calls
  EXPECT_EQ(run.value("c"), 3.0f);  // called before its definition, without arguments
}

TEST(Functions, RunawayRecursionStopsAtTheDepthLimitWithOneWarningPerCall) {
  testing::internal::CaptureStderr();
  ScriptRun run(
      "function down(n) { return down(n + 1) + 1; }\n"
      "x = down(0);\ny = down(0);\n");
  std::string errors = testing::internal::GetCapturedStderr();
  // Each of the 1000 nested calls adds 1 to the 0 that the deepest one gives.
  EXPECT_EQ(run.value("x"), static_cast<float>(MAX_CALL_DEPTH));
  EXPECT_EQ(run.value("y"), static_cast<float>(MAX_CALL_DEPTH));
  const std::string warning = "script.txt:1:27: warning: calls nested deeper than 1000: this call gives 0 without running near 'down'";
  ASSERT_NE(errors.find(warning), std::string::npos) << errors;
  EXPECT_EQ(errors.find(warning, errors.find(warning) + 1), std::string::npos) << "warned twice:\n" << errors;
}

TEST(Functions, TopLevelReturnEndsTheScript) {
  ScriptRun run("a = 1; return 0; b = 2;");
  EXPECT_EQ(run.value("a"), 1.0f);
  EXPECT_EQ(run.value("b"), 0.0f);
}

TEST(Commands, SceneStatementsPostTheirArgumentsWithoutWaiting) {
  ScriptRun run("n = 3; object n position (1, 2, -5); scene fade (1, 1, 1, 0, 0.05); radio calc; x = skybox_done;"
                "skybox (\"stars\"); light 2 position (n, n * 2, 0);");
  ASSERT_EQ(run.posted.size(), 5u);
  const CommandSlot& object = run.posted[0].command;
  EXPECT_FALSE(run.posted[0].wait);
  EXPECT_EQ(object.state, CMD_OBJECT);
  EXPECT_STREQ(object.name, "position");
  EXPECT_EQ(std::vector<float>(object.args, object.args + 5), (std::vector<float>{3, 1, 2, -5, 0}));
  const CommandSlot& scene = run.posted[1].command;
  EXPECT_EQ(scene.state, CMD_SCENE);
  EXPECT_EQ(scene.args[4], 0.05f);
  EXPECT_EQ(run.posted[2].command.state, CMD_RADIO);
  EXPECT_EQ(run.posted[3].command.state, CMD_SKYBOX);
  EXPECT_STREQ(run.posted[3].command.name, "stars");
  EXPECT_EQ(run.posted[4].command.state, CMD_LIGHT);
  EXPECT_EQ(run.posted[4].command.args[2], 6.0f);
}

TEST(Commands, VerbsWaitAndReturnTheResult) {
  ScriptRun run("n = new cLight(0); m = load(\"ship\"); d = delete cBlur; s = status fps(1); object n hide;", 7);
  ASSERT_EQ(run.posted.size(), 5u);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(run.posted[i].wait) << i;
  EXPECT_EQ(run.posted[0].command.state, CMD_NEW);
  EXPECT_STREQ(run.posted[0].command.name, "cLight");
  EXPECT_EQ(run.posted[0].command.args[0], 0.0f);
  EXPECT_EQ(run.posted[1].command.state, CMD_LOAD);
  EXPECT_EQ(run.posted[1].command.args[0], -1.0f);  // no argument: -1
  EXPECT_EQ(run.posted[2].command.state, CMD_DELETE);
  EXPECT_EQ(run.posted[3].command.state, CMD_STATUS);
  EXPECT_EQ(run.value("n"), 7.0f);
  EXPECT_EQ(run.value("m"), 7.0f);
  EXPECT_EQ(run.posted[4].command.args[0], 7.0f);
}

TEST(Commands, LongNamesAreCutToTheSlot) {
  ScriptRun run("object 1 abcdefghijklmnopqrstuvwxyz;");
  ASSERT_EQ(run.posted.size(), 1u);
  EXPECT_STREQ(run.posted[0].command.name, "abcdefghijklmnopqrstuv");
}

TEST(Time, TimeCountsFromTheEngineStartAndSleepWaits) {
  uint32_t before = engine_clock_since_start();
  auto start = std::chrono::steady_clock::now();
  ScriptRun run("t0 = time; sleep 40; t1 = time; sleep -1000; sleep 0.9;");
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(run.value("t0"), static_cast<float>(before));
  EXPECT_GE(run.value("t1") - run.value("t0"), 40.0f);
  EXPECT_LT(took, std::chrono::milliseconds(500));  // the negative sleep did not sleep
}

TEST(Stopping, TheStopFlagEndsLoopsAndSleeps) {
  for (const char* text : {"while (1) { x = x + 1; }", "sleep 100000;", "for (i = 0; 1; i++) ;"}) {
    auto script = parse_text(text);
    std::atomic<bool> stop{false};
    Interpreter interpreter([](const CommandSlot&, bool) { return 0; }, &stop);
    std::atomic<bool> done{false};
    std::thread runner([&] {
      interpreter.run(script->root);
      done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(done) << text;
    stop = true;
    runner.join();
    EXPECT_TRUE(done) << text;
  }
}

// A stop flag set while a command is handed over (as the engine's shut-down
// can) ends the run before the next statement, also inside a function.
TEST(Stopping, AStopDuringACommandEndsTheRunBeforeTheNextStatement) {
  for (const char* text : {"for (i = 0; i < 10; i++) { object 1 hide; x = i; } x = 100;",
                           "function f() { object 1 hide; object 2 hide; } f(); object 3 hide; x = 100;"}) {
    auto script = parse_text(text);
    std::atomic<bool> stop{false};
    int posted = 0;
    Interpreter interpreter(
        [&](const CommandSlot&, bool) {
          if (++posted == 3 || script->find("f", nullptr)) stop = true;
          return 0;
        },
        &stop);
    interpreter.run(script->root);
    Symbol* x = script->find("x", nullptr);
    if (script->find("f", nullptr)) {
      EXPECT_EQ(posted, 1) << text;
      EXPECT_EQ(x->value, 0.0f) << text;
    } else {
      EXPECT_EQ(posted, 3) << text;
      EXPECT_EQ(x->value, 1.0f) << text;  // the third round posted, then stopped
    }
  }
}

// `exit` ends the run where it stands, also from inside a function and from an
// argument; the process goes on, so that whoever runs the script can let the
// commands already posted run first.
TEST(Exit, ExitEndsTheRunAndPostsNothingMore) {
  ScriptRun run("a = 1; object 1 before; exit; a = 2; object 1 after;");
  EXPECT_TRUE(run.interpreter.exited());
  EXPECT_EQ(run.value("a"), 1.0f);
  ASSERT_EQ(run.posted.size(), 1u);
  EXPECT_STREQ(run.posted[0].command.name, "before");

  ScriptRun nested(
      "function f(n) { if (n == 0) exit; return f(n - 1); }\n"
      "object 1 first; object 2 position (f(3), 0, 0); b = status cLight(0); print 9;");
  EXPECT_TRUE(nested.interpreter.exited());
  ASSERT_EQ(nested.posted.size(), 1u);  // neither the command with the call nor the verb
  EXPECT_TRUE(nested.capture.messages().empty());

  ScriptRun plain("a = 1;");
  EXPECT_FALSE(plain.interpreter.exited());
}

}  // namespace
