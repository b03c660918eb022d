// The command line: talpine [--data DIR] [--headless] [--size WxH] [--frames N]
// [--max-frames N] [--screenshot FILE] [--fixed-step MS] [--seed N]
// [--record FILE|DIR [--fps N] [--crf N]] [--start-at SECONDS] [--watch]
// [--no-vsync] [--stats] [--check] [--help] [--version]
#pragma once

#include <string>

#include "core/launch_options.h"

// Check: parse the script of the data folder and report, without running it.
enum class CommandLineAction { Run, Check, Help, Version, Error };

// Parses argv into options. On Error, `error` says what is wrong.
CommandLineAction parse_command_line(int argc, const char* const* argv, LaunchOptions* options, std::string* error);

const char* usage_text();
