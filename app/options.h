// The command line: talpine [--data DIR] [--headless] [--size WxH] [--frames N]
// [--max-frames N] [--screenshot FILE] [--fixed-step MS] [--seed N] [--record DIR
// [--fps N]] [--watch] [--no-vsync] [--stats] [--help] [--version]
#pragma once

#include <string>

#include "core/launch_options.h"

enum class CommandLineAction { Run, Help, Version, Error };

// Parses argv into options. On Error, `error` says what is wrong.
CommandLineAction parse_command_line(int argc, const char* const* argv, LaunchOptions* options, std::string* error);

const char* usage_text();
