// The command dispatcher: one scene statement or verb, taken from a command
// slot, executed on the render thread. Type codes: 0 the scene commands, 1..16
// the element classes, 50 load, 51 delete, 52 new, 53 status; every other code
// is ignored with result 0. Render thread only, inside the ring drain.
#pragma once

#include <cstdint>

#include "core/element_class.h"

struct Engine;

// What every command handler may reach: the engine and the classes it knows.
struct CommandContext {
  Engine* engine;
  const ClassRegistry& classes;
};

// Runs one command. Returns 0 when handled (also when ignored), 1 when the name
// is not recognised; *result is the integer that goes back to the script.
int dispatch_command(const CommandContext& context, int type, const char* name,
                     const CommandArgs& args, int32_t* result);

// One command as the ring hands it over: the engine's own classes, values
// a0..a4. Returns as dispatch_command does.
int execute_command(Engine* engine, int type, const char* name, const float args[5], int32_t* result);
