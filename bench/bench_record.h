// What recording costs: the demo run by the program at 1280 x 720 on the
// fixed-step clock of 60 frames a second, against the same run recording into
// an MP4 file (held to at most 25 % more) and into PNG frames (reported).
#pragma once

#include <string>

// Runs the program `program` on the demo folder `demo`, writing into `dir`;
// adds the rows. `quick`: one round instead of three.
void recording_overhead(const std::string& program, const std::string& demo, const std::string& dir, bool quick);
