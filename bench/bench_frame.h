// The GL benchmarks: frame overhead and particles, rows added to the table.
#pragma once

#include <string>

bool run_frame_benchmarks(const std::string& work_dir, bool quick);
