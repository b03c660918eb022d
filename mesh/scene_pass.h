// The scene pass: lights, sky box, opaque objects, shadow volumes, CSG, blended
// objects. Render thread only; expects the camera on the modelview stack.
// Leaves the vertex, normal and texture-coordinate arrays enabled.
#pragma once

struct Engine;

void scene_pass(Engine* engine);
