// The scene commands (type code 0): program control, camera, projection, fog
// and clear colour, fading, viewport size, pacing, camera-control settings and
// texture filtering. Render thread only.
#pragma once

#include "commands/dispatch.h"

struct Engine;

// Runs the first scene command whose keyword occurs in `name`; a0..a4 are
// args.n, args.a .. args.d. Returns 0 when handled, 1 when no keyword matches.
int run_scene_command(const CommandContext& context, const char* name, const CommandArgs& args);
// Keyword `index` of the scene commands in test order; null past the end.
const char* scene_command_keyword(int index);

// Orbit placement (setspin, spincam, mouse-look's orbit): the camera keeps its
// distance from the origin and is placed on that sphere at yaw and pitch, in
// degrees, looking at the origin; every object is marked dirty.
void place_on_orbit(Engine* engine, float yaw, float pitch);
