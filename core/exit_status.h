// What the process reports when it ends normally: 1 when start-up failed or the
// script stopped with an error (syntax, argument count, unrecognised command),
// so that a failure never looks like success to a calling program; else 0.
// Safe from any thread.
#pragma once

void note_script_error();
bool script_error_noted();
void clear_script_error();  // for tests that run several engines in one process
