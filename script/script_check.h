// talpine --check: reads and parses a script without starting anything else
// (no window, no script thread) and reports every error and warning as a
// diagnostic on standard error. Main thread.
#pragma once

#include <string>

// 0 when the script parsed without error (warnings allowed); 1 when it has
// errors or cannot be read.
int check_script_file(const std::string& path);
