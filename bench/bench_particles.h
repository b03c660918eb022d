// The particle pass against the same quads from one vertex array, in this
// process's headless context: one row of the table.
#pragma once

#include <string>

bool run_particle_benchmark(const std::string& work_dir, bool quick);
