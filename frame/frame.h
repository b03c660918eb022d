// One frame: drain the script's commands, run every class's update stage and,
// when the pacing gate allows, draw and present the scene through the stages
// of core/element_class.h: before clear, clear, background, the window's view
// (opaque, blended, transparent), composite, fade and debug displays, swap,
// after swap. Within a stage, classes run in the registry's order
// (commands/class_registry.cpp). Render thread only; leaves the modelview and
// projection stacks as it found them.
#pragma once

struct Engine;

class ScriptRunner;

// Lock-step (fixed-step clock): waits until the script thread is idle, that is
// waiting on the render thread, in a message box, or ended.
void wait_for_idle_script(const ScriptRunner* runner);

// 1 when a frame was drawn, 0 otherwise.
int run_frame(Engine* engine);

// Flares and particles, additively blended, depth writes off. Also used by the
// passes that redraw the scene into textures.
void transparent_pass(Engine* engine);

// The debug displays of the current `geometry` mode (1..4; others draw nothing).
void geometry_pass(Engine* engine);

// Pacing adaptation after a drawn frame: moves frame_delay by 1 ms toward wantfps.
void adapt_frame_delay(Engine* engine);
