// The Wavefront OBJ reader: one statement a line, decided by its first
// character. Every run of "v" statements begins a part; faces are rebased to
// part-local indices; texture coordinates pair with positions by order (vertex
// numbers are what scripts address), whatever the faces' texture numbers say.
#pragma once

#include <cstddef>

struct cObject;

// Fills an empty object from the file; fails only when it cannot be opened.
bool readObj(cObject* object, const char* path);
// The same from text in memory.
bool readObjText(cObject* object, const char* text, size_t size);
