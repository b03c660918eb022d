// Screenshots: the front buffer's picture into the next free "screen<n>.png" of
// the data folder. Taken by the scene command `save` and the screenshot key;
// the PNG writer also serves the command line's --screenshot. Render thread
// only. Headless, the front buffer is the copy the platform keeps of the last
// presented frame (the offscreen surface is single-buffered).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Engine;

// Always 1: a screenshot that cannot be written is lost without a failure.
int saveScreenshot(Engine* engine);
// The same, giving the file written; empty when none could be.
std::string writeScreenshot(Engine* engine);

// data folder + "screen<n>.png" for the first n from 1 whose file cannot be
// opened: numbering continues after the highest contiguous number and reuses
// the first gap.
std::string nextScreenshotPath(const Engine* engine);

// Bytes per row of a 24-bit picture padded to 4 bytes (GL's pack alignment).
int screenshotRowSize(int width);

// The front buffer's lower-left width x height pixels as BGR rows of
// screenshotRowSize bytes, bottom row first. False when there is nothing of
// that size to read.
bool readFrontBuffer(int width, int height, std::vector<uint8_t>* bgr);

// readFrontBuffer written as a 24-bit PNG at best compression. False when
// nothing could be read or the file could not be written.
bool writeFrontBufferPng(const char* path, int width, int height);
