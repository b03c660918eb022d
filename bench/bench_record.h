// What recording costs: the demo run by the program at 1280 x 720 on the
// fixed-step clock of 60 frames a second, against the same run recording into
// an MP4 file (held to at most 25 % more) and into PNG frames (reported).
#pragma once

#include "bench/bench_program.h"

// Runs the program on the demo folder, writing into the work folder; adds the
// rows. Quick: one round instead of three.
void recording_overhead(const ProgramBench& bench);
