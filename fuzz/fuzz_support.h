// Shared by the fuzz targets: an engine record that is never started (no
// window, no GL context) with an empty data folder of its own, and message
// boxes swallowed so that a target can run millions of inputs quietly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct Engine;

// The engine record the loaders see through their object; made on first use.
Engine* fuzz_engine();

// A private, empty data folder (with trailing '/'), made on first use.
const std::string& fuzz_folder();

// Writes bytes to a file in the fuzz folder and returns its path.
std::string fuzz_file(const char* name, const uint8_t* data, size_t size);

// Messages of the script subsystem go nowhere from the first call on.
void silence_messages();
