// Hostile scripts, end to end: what a user writing by trial and error (or a
// file from anywhere) can put into script.txt. Each case states what must
// happen: the messages printed (headless: "CAPTION: TEXT") and the exit status.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/e2e.h"

namespace {

const std::string SYNTAX_ERROR_LINE_1 = "Test: Script error\nline 1: syntax error\n";

RunResult run_script(const std::string& script, int timeout = 120) {
  DataFolder data;
  data.write("script.txt", script);
  return run_talpine(data, {"--frames", "2"}, false, timeout);
}

std::string print_record(const std::string& value) { return "Talpine Engine 2.02: script print: " + value + "\n"; }

TEST(HostileScripts, EmptyAndBlankScriptsDoNothing) {
  for (const std::string script : {"", "\n\n\n", " \t ", "/* nothing */", "// only a comment"}) {
    RunResult run = run_script(script);
    EXPECT_EQ(run.exit_status, 0) << '"' << script << '"' << run.errors;
    EXPECT_EQ(run.output, "") << '"' << script << '"';
  }
}

TEST(HostileScripts, MegabyteOnOneLineRuns) {
  // 1 MB without a line feed: one statement after another, and a last long
  // expression, then the print.
  std::string script = "x = 0;";
  while (script.size() < 900000) script += "x = x + 1;";
  int count = static_cast<int>((script.size() - 6) / 10);
  script += "y = 0";
  while (script.size() < 1000000) script += " + 1";
  int terms = static_cast<int>((script.size() - (6 + count * 10) - 5) / 4);
  script += "; print x; print y;";
  ASSERT_GE(script.size(), 1000000u);
  RunResult run = run_script(script);
  EXPECT_EQ(run.exit_status, 0) << run.errors;
  EXPECT_EQ(run.output, print_record(std::to_string(count) + ".000000") +
                            print_record(std::to_string(terms) + ".000000"));
}

TEST(HostileScripts, DeepNestingExhaustsTheParserStack) {
  // 10,000 parentheses need more than the parser's 10,000 stack entries.
  std::string script = "x = " + std::string(10000, '(') + "1" + std::string(10000, ')') + ";\nprint x;\n";
  RunResult run = run_script(script);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.output, "Test: Script error\nline 1: memory exhausted\n");

  // The same depth of braces.
  RunResult braces = run_script(std::string(10000, '{') + std::string(10000, '}') + "print 1;\n");
  EXPECT_EQ(braces.exit_status, 1);
  EXPECT_EQ(braces.output, "Test: Script error\nline 1: memory exhausted\n");

  // Well inside the limit the same nesting is just a value.
  RunResult shallow = run_script("x = " + std::string(1000, '(') + "7" + std::string(1000, ')') + ";\nprint x;\n");
  EXPECT_EQ(shallow.exit_status, 0);
  EXPECT_EQ(shallow.output, print_record("7.000000"));
}

TEST(HostileScripts, HundredThousandStatementsRunToTheEnd) {
  std::string script = "x = 0;\n";
  for (int i = 0; i < 100000; ++i) script += "x = x + 1;\n";
  script += "print x;\n";
  RunResult run = run_script(script, 240);
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output, print_record("100000.000000"));
}

TEST(HostileScripts, BytesFromOneTwentyEightUpAreSyntaxErrors) {
  // Every byte 128..255 alone in an otherwise valid statement: one syntax
  // error on its line, nothing run.
  for (int byte = 128; byte < 256; byte += 9) {
    std::string script = "print 1;\nx = 2 ";
    script.push_back(static_cast<char>(byte));
    script += ";\nprint 3;\n";
    RunResult run = run_script(script);
    EXPECT_EQ(run.exit_status, 1) << byte;
    EXPECT_EQ(run.output, "Test: Script error\nline 2: syntax error\n") << byte;
  }
  // High bytes inside a comment or a quoted name are not tokens of their own.
  RunResult comment = run_script("// caf\xC3\xA9 \xFF\nprint 1; /* \x80\x81 */\n");
  EXPECT_EQ(comment.exit_status, 0);
  EXPECT_EQ(comment.output, print_record("1.000000"));
}

TEST(HostileScripts, NulBytesAreSyntaxErrors) {
  RunResult run = run_script(std::string("print 1;\nx = 2;\0\nprint 3;\n", 24));
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.output, "Test: Script error\nline 2: syntax error\n");

  RunResult only = run_script(std::string(64, '\0'));
  EXPECT_EQ(only.exit_status, 1);
  EXPECT_EQ(only.output, SYNTAX_ERROR_LINE_1);
}

TEST(HostileScripts, RunawayScriptsStopWithTheProgram) {
  // Endless loops, a deep recursion and an endless sleep: the program still
  // ends after its frames (the script thread is told to stop), with status 0.
  for (const std::string script : {"while (1) { x = x + 1; }\n",
                                   "function f(n) { return f(n + 1); }\nx = f(0);\nprint x;\n",
                                   "sleep(1000000000);\n"}) {
    DataFolder data;
    data.write("script.txt", script);
    RunResult run = run_talpine(data, {"--max-frames", "5"}, false, 60);
    EXPECT_FALSE(run.timed_out) << script;
    EXPECT_EQ(run.exit_status, 0) << script << run.errors;
  }
}

}  // namespace
