#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "core/engine.h"
#include "script/messages.h"

const std::string& fuzz_folder() {
  static const std::string folder = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/talpine-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    return pattern + "/";
  }();
  return folder;
}

Engine* fuzz_engine() {
  static Engine* engine = [] {
    auto* e = new Engine();
    std::snprintf(e->paths.data_path, sizeof e->paths.data_path, "%s", fuzz_folder().c_str());
    std::snprintf(e->paths.exe_path, sizeof e->paths.exe_path, "%s", fuzz_folder().c_str());
    return e;
  }();
  return engine;
}

std::string fuzz_file(const char* name, const uint8_t* data, size_t size) {
  std::string path = fuzz_folder() + name;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) std::abort();
  if (size) std::fwrite(data, 1, size, file);
  std::fclose(file);
  return path;
}

static void discard(const char*, const char*) {}

void silence_messages() { set_message_sink(&discard); }
