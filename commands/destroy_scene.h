// The full scene clean-up: every element destroyed in a fixed order, counts
// reset, the font released. Used by `delete all`, the scene command `cleanup`
// and shut-down. Render thread only, with the engine's context current.
#pragma once

struct Engine;
struct ClassRegistry;

// at_shutdown also destroys the ScriptRunner; a script's own clean-up leaves the
// runner and its thread in place.
void destroyScene(Engine* engine, bool at_shutdown);

// The same over the classes of `classes` (destroyScene uses the engine's own).
void destroy_scene(const ClassRegistry& classes, Engine* engine, bool at_shutdown);
