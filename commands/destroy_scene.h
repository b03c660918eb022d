// The full scene clean-up: every element destroyed in a fixed order, counts
// reset, the font released. Render thread only.
#pragma once

struct Engine;

// at_shutdown also destroys the ScriptRunner; a script's own clean-up leaves the
// runner and its thread in place.
void destroyScene(Engine* engine, bool at_shutdown);
