#include "script/script_check.h"

#include <cstdio>
#include <memory>

#include "platform/platform.h"
#include "script/messages.h"
#include "script/parser.h"

int check_script_file(const std::string& path) {
  FILE* file = platform::open_file(path, "r");
  if (!file) {
    std::fprintf(stderr, "%s: error: cannot be read\n", path.c_str());
    return 1;
  }
  set_check_only(true);
  auto script = std::make_unique<Script>();
  parse(file, script.get(), path);
  set_check_only(false);
  return script->errors == 0 ? 0 : 1;
}
