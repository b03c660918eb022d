// Screenshots: the picture on screen into the next free "screen<n>.png" of the
// data folder. Taken by the scene command `save` and the screenshot key.
// Render thread only.
#pragma once

struct Engine;

// Always 1: a screenshot that cannot be written is lost without a failure.
int saveScreenshot(Engine* engine);
