// The scene pass: lights, sky box, opaque objects, shadow volumes, CSG, blended
// objects. Render thread only; expects the camera on the modelview stack.
#pragma once

struct Engine;

void scene_pass(Engine* engine);
