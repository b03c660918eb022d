// The window procedure: turns the platform's events into engine actions, and
// the camera control they drive (keys, mouse-look, collision with objects).
// Main thread only, between frames (inside the main loop's event dispatch).
#pragma once

#include "platform/platform.h"

struct Engine;

// Handles one event. Returns 1 when the event was consumed without default
// handling (the close request), 0 otherwise.
int window_procedure(const platform::Event& event);

// The camera action of one key (a Win32 virtual-key number); also the wheel's.
// Nothing unless the engine is running and `keybd` is set.
void key_action(Engine* engine, int key);

// The camera or object turn of one mouse movement, by `focus`: -2 orbits the
// camera around the origin, -1 turns the camera, 0..198 turns that object.
void mouse_look(Engine* engine);

// After a key step from `old_cam_pos`: slides the camera along the first part
// box it would enter, undoing each axis that alone would bring it inside.
void collide_camera(Engine* engine, const float old_cam_pos[3]);
