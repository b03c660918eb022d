#include "core/exit_status.h"

#include <atomic>

static std::atomic<bool> script_error{false};

void note_script_error() { script_error.store(true); }
bool script_error_noted() { return script_error.load(); }
void clear_script_error() { script_error.store(false); }
