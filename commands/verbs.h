// The verbs: load (50), delete (51), new (52) and status (53). Each returns 0
// when handled, 1 when the name is not recognised, and writes the integer that
// the waiting script receives. Render thread only.
#pragma once

#include <cstdint>

#include "commands/dispatch.h"

int verb_load(const CommandContext& context, const char* name, const CommandArgs& args, int32_t* result);
int verb_delete(const CommandContext& context, const char* name, const CommandArgs& args, int32_t* result);
int verb_new(const CommandContext& context, const char* name, const CommandArgs& args, int32_t* result);
int verb_status(const CommandContext& context, const char* name, const CommandArgs& args, int32_t* result);

// Keyword `index` of the names that `new` (CMD_NEW), `delete` (CMD_DELETE) or
// `status` (CMD_STATUS) knows, in test order; null past the end or for another code.
const char* verb_keyword(int type_code, int index);

// The object under the centre of the window, or -1 (the `selection` query).
int32_t select_object_at_centre(Engine* engine);
