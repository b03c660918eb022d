// Parsing a whole script into a Script (tree and symbols). Main thread, before the
// script thread starts. Syntax errors and wrong argument counts are reported as
// they are found (script/messages.h) and counted in Script::errors.
#pragma once

#include <cstdio>
#include <string>

#include "script/syntax_tree.h"

// The parser's state and value stacks start at 200 entries and double up to 10000.
constexpr int PARSER_STACK_INITIAL = 200;
constexpr int PARSER_STACK_MAX = 10000;

enum ParseResult {
  PARSE_ACCEPTED = 0,   // reached the end (errors may have been recovered from)
  PARSE_ABANDONED = 1,  // an error from which no recovery was possible
  PARSE_EXHAUSTED = 2,  // the stacks would have needed more than PARSER_STACK_MAX entries
};

// Reads the file to its end (and closes it) and builds the script. `path` is
// the name that diagnostics give the file. Errors are reported as they are
// found; warnings (script/messages.h) once the whole file has been read.
int parse(FILE* file, Script* script, const std::string& path = "script.txt");
