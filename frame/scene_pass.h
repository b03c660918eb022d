// The scene pass: the opaque stage of every class (lights, sky box, opaque
// objects, shadow volumes, CSG), then the blended stage (blended objects).
// Render thread only; expects the camera on the modelview stack. Leaves the
// vertex, normal and texture-coordinate arrays enabled.
#pragma once

struct Engine;

void scene_pass(Engine* engine);
