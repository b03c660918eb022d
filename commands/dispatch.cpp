#include "commands/dispatch.h"

#include "commands/scene_commands.h"
#include "commands/verbs.h"
#include "core/engine.h"
#include "script/command_ring.h"

int dispatch_command(const CommandContext& context, int type, const char* name,
                     const CommandArgs& args, int32_t* result) {
  *result = 0;
  if (type == CMD_SCENE) return run_scene_command(context, name, args);
  if (type >= 1 && type < CLASS_TYPE_CODES) {
    // A class whose elements cannot exist yet has no element to address.
    const ClassType* element_class = context.classes.find(type);
    if (!element_class) return 0;
    return element_class->command(context.engine, name, args, result);
  }
  switch (type) {
    case CMD_LOAD:
      return verb_load(context, name, args, result);
    case CMD_DELETE:
      return verb_delete(context, name, args, result);
    case CMD_NEW:
      return verb_new(context, name, args, result);
    case CMD_STATUS:
      return verb_status(context, name, args, result);
    default:
      return 0;  // codes 17..49 and 54 and above do nothing
  }
}

int execute_command(Engine* engine, int type, const char* name, const float args[5], int32_t* result) {
  const CommandContext context{engine, engine_classes()};
  return dispatch_command(context, type, name, CommandArgs{args[0], args[1], args[2], args[3], args[4]}, result);
}
