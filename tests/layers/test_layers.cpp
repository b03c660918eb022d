// The layers of the source tree, checked on every source file's includes: a
// file includes headers of its own layer or of layers below it, never above;
// no effect includes another effect; no two files include each other in a
// loop; the frame names no effect (it reaches them through the class
// registry's stages). The table below is the one description of the layers; a rule that must
// bend is written in EXCEPTIONS with its reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Folder and layer, bottom to top. Folders of one layer may include each other.
const std::map<std::string, int> LAYERS = {
    {"platform", 0},                   // SDL, the GL entry points and helpers
    {"core", 1},                       // the engine record, start-up of the window, clock, element protocol
    {"script", 2},                     // lexer, parser, interpreter, script thread, command ring
    {"mesh", 3},      {"resources", 3},  // meshes and their loaders; textures, buffers, font, sky box
    {"media", 3},                      // music tracks and recording: beside resources, below the commands
                                       // that play the music and the frame loop that records
    {"lighting", 4},  {"effects", 4},    // lights, shadows, CSG, baker; post passes and effects
    {"commands", 5},                   // the dispatcher, verbs, scene commands, the class registry
    {"frame", 6},                      // the frame loop, main loop, input, scene pass, debug displays
    {"app", 7},                        // the program entry and command line
};

// Includes allowed against the rules above: {from file, to header, reason}.
struct Exception {
  const char* from;
  const char* to;
  const char* reason;
};
const std::vector<Exception> EXCEPTIONS = {};

struct SourceFile {
  std::string path;                   // relative to the source root, e.g. "effects/glow.cpp"
  std::vector<std::string> includes;  // project headers, relative to the root
};

std::string folder_of(const std::string& path) { return path.substr(0, path.find('/')); }

// The project includes of a file: `#include "folder/file.h"` for a folder of the table.
std::vector<std::string> project_includes(const fs::path& file) {
  static const std::regex include_line(R"re(^\s*#\s*include\s*"([^"]+)")re");
  std::vector<std::string> found;
  std::ifstream in(file);
  std::string line;
  std::smatch match;
  while (std::getline(in, line))
    if (std::regex_search(line, match, include_line) && LAYERS.count(folder_of(match[1].str())))
      found.push_back(match[1].str());
  return found;
}

std::vector<SourceFile> source_files(const fs::path& root) {
  std::vector<SourceFile> files;
  for (const auto& [folder, layer] : LAYERS) {
    if (!fs::exists(root / folder)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
      std::string extension = entry.path().extension().string();
      if (!entry.is_regular_file() || (extension != ".cpp" && extension != ".h" && extension != ".y" && extension != ".l"))
        continue;
      files.push_back({fs::relative(entry.path(), root).string(), project_includes(entry.path())});
    }
  }
  return files;
}

bool excepted(const std::string& from, const std::string& to) {
  for (const Exception& e : EXCEPTIONS)
    if (from == e.from && to == e.to) return true;
  return false;
}

// A file's own concern: "effects/glow.cpp" and "effects/glow.h" are both "effects/glow".
std::string stem_of(const std::string& path) { return path.substr(0, path.rfind('.')); }

// Every include that breaks a rule, as "from -> to: why".
std::vector<std::string> layer_violations(const std::vector<SourceFile>& files) {
  std::vector<std::string> found;
  for (const SourceFile& file : files) {
    const std::string from_folder = folder_of(file.path);
    for (const std::string& header : file.includes) {
      const std::string to_folder = folder_of(header);
      if (excepted(file.path, header)) continue;
      if (LAYERS.at(to_folder) > LAYERS.at(from_folder))
        found.push_back(file.path + " -> " + header + ": " + to_folder + " is above " + from_folder);
      else if (from_folder == "effects" && to_folder == "effects" && stem_of(header) != stem_of(file.path))
        found.push_back(file.path + " -> " + header + ": an effect includes another effect");
      else if (from_folder == "frame" && to_folder == "effects")
        found.push_back(file.path + " -> " + header + ": the frame reaches effects through the class registry only");
    }
  }
  return found;
}

// Include loops between files, each reported once as "a -> b -> ... -> a".
std::vector<std::string> include_loops(const std::vector<SourceFile>& files) {
  std::map<std::string, std::vector<std::string>> graph;
  for (const SourceFile& file : files) graph[file.path] = file.includes;
  std::map<std::string, int> state;  // 0 unseen, 1 on the path, 2 done
  std::vector<std::string> path, loops;
  // Depth-first with an explicit stack of (file, next include index).
  for (const auto& [start, edges] : graph) {
    if (state[start] != 0) continue;
    std::vector<std::pair<std::string, size_t>> stack{{start, 0}};
    state[start] = 1;
    path.push_back(start);
    while (!stack.empty()) {
      auto& [node, next] = stack.back();
      const std::vector<std::string>& out = graph[node];
      if (next == out.size()) {
        state[node] = 2;
        path.pop_back();
        stack.pop_back();
        continue;
      }
      const std::string to = out[next++];
      if (state[to] == 1) {
        std::string loop;
        for (auto at = std::find(path.begin(), path.end(), to); at != path.end(); ++at) loop += *at + " -> ";
        loops.push_back(loop + to);
      } else if (state[to] == 0 && graph.count(to)) {
        state[to] = 1;
        path.push_back(to);
        stack.push_back({to, 0});
      }
    }
  }
  return loops;
}

const fs::path ROOT = TALPINE_SOURCE_DIR;

TEST(Layers, EveryIncludeRunsDownwardAndNoEffectIncludesAnother) {
  std::vector<SourceFile> files = source_files(ROOT);
  ASSERT_GT(files.size(), 100u);
  std::vector<std::string> found = layer_violations(files);
  std::string report;
  for (const std::string& line : found) report += line + "\n";
  EXPECT_TRUE(found.empty()) << report;
}

TEST(Layers, NoIncludeLoops) {
  std::vector<std::string> loops = include_loops(source_files(ROOT));
  std::string report;
  for (const std::string& loop : loops) report += loop + "\n";
  EXPECT_TRUE(loops.empty()) << report;
}

TEST(Layers, EveryExceptionIsStillNeededAndSaysWhy) {
  std::vector<SourceFile> files = source_files(ROOT);
  for (const Exception& e : EXCEPTIONS) {
    EXPECT_GT(std::string(e.reason).size(), 10u) << e.from << " -> " << e.to;
    bool used = false;
    for (const SourceFile& file : files)
      for (const std::string& header : file.includes) used = used || (file.path == e.from && header == e.to);
    EXPECT_TRUE(used) << "exception no longer needed: " << e.from << " -> " << e.to;
  }
}

// The checks themselves catch what they are for, on a made-up tree.
TEST(Layers, TheChecksFindUpwardIncludesEffectPairsEffectsByNameAndLoops) {
  std::vector<SourceFile> files = {
      {"mesh/object.cpp", {"commands/dispatch.h"}},        // upward
      {"effects/glow.cpp", {"effects/bloom.h", "effects/glow.h"}},  // another effect; its own header is fine
      {"core/a.h", {"core/b.h"}},
      {"core/b.h", {"core/a.h"}},                          // a loop
      {"frame/frame.cpp", {"mesh/object.h", "platform/gl_api.h"}},  // downward: fine
      {"frame/input.cpp", {"effects/glow.h"}},             // an effect by name
  };
  std::vector<std::string> found = layer_violations(files);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_NE(found[0].find("commands is above mesh"), std::string::npos);
  EXPECT_NE(found[1].find("an effect includes another effect"), std::string::npos);
  EXPECT_NE(found[2].find("through the class registry only"), std::string::npos);
  std::vector<std::string> loops = include_loops(files);
  ASSERT_EQ(loops.size(), 1u);
  EXPECT_EQ(loops[0], "core/a.h -> core/b.h -> core/a.h");
}

}  // namespace
