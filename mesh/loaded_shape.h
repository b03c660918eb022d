// The mesh as loaded, for the caches the lightmap baker rewrites: a command that
// edits positions or normals (scale, vertex edits, cull, growth) first keeps a
// copy of them, and the cache is written from that copy, so that the next run,
// which prefers the cache over the source, does not apply the edit twice.
// Render thread only.
#pragma once

struct cObject;

// Copies positions, normals and face normals into the parts' loaded arrays,
// unless a copy is already kept. Call before the first change.
void keepLoadedShape(cObject* object);

// writeGfx with the loaded positions and normals in place of the edited ones.
// The cache names its colour maps, which the next run loads by name from the
// data folder: those that came from inside a mesh file (a glTF image) are
// written there too, as "<name>.png", so that they are found.
bool writeLoadedGfx(cObject* object, const char* path);
