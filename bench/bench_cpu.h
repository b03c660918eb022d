// The CPU benchmarks, registered with Google Benchmark; names "topic/side".
#pragma once

#include <string>

// Writes the loader inputs (1,000,000-triangle OBJ, 3D Studio and .gfx files).
void prepare_cpu_files(const std::string& work_dir);
// quick: fewer repetitions (for profiling and trial runs).
void register_cpu_benchmarks(const std::string& work_dir, bool quick);
