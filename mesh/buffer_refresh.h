// GPU copies that follow in-memory edits. The object commands change a part's
// arrays in memory only (the copies follow on `active`); effects that change
// them every step (water, fluid surfaces, deformer growth, texture scrolling)
// mark the object's buffers stale instead, and the frame's update step re-sends
// every stale object once, after the effects have run and before anything draws.
// Render thread only; needs the engine's context current for the upload.
#pragma once

struct Engine;
struct cObject;

// Marks the object's GPU copies as behind its arrays (null: nothing).
void markBuffersStale(cObject* object);

// For every object marked stale, slot 0 up to the object count: re-sends
// exactly what the object's `active` command re-sends (every part's positions,
// normals, texture coordinates and every group's draw indices), then clears the
// mark. Objects without buffers keep nothing to send and are only unmarked.
void refreshStaleBuffers(Engine* engine);
