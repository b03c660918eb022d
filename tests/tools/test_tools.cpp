// The tools as a user runs them: the editor files in editors/ are what
// syntax_gen makes from the engine's tables today (a keyword or command added
// to the code without `make editors` fails here), and asset_tool explains
// itself.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "commands/scene_commands.h"
#include "core/element_class.h"
#include "tests/support/e2e.h"

namespace fs = std::filesystem;

namespace {

std::string read_text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs a command line; its standard output and exit status.
std::string run(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  std::array<char, 4096> buffer;
  for (size_t got; (got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) output.append(buffer.data(), got);
  int raw = pclose(pipe);
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return output;
}

TEST(EditorFiles, TheCommittedFilesAreCurrent) {
  DataFolder out;
  int status = -1;
  run(std::string(TALPINE_SYNTAX_GEN) + " " + out.path() + "editors", &status);
  ASSERT_EQ(status, 0);
  const fs::path made = out.path() + "editors";
  const fs::path committed = fs::path(TALPINE_SOURCE_DIR) / "editors";
  int compared = 0;
  for (const auto& entry : fs::recursive_directory_iterator(made)) {
    if (!entry.is_regular_file()) continue;
    const fs::path relative = fs::relative(entry.path(), made);
    ++compared;
    EXPECT_EQ(read_text(entry.path()), read_text(committed / relative))
        << "editors/" << relative.string() << " is out of date: run make editors";
  }
  EXPECT_EQ(compared, 5);
}

// What the generated files hold comes from the tables: a sample of each kind.
TEST(EditorFiles, EveryTableReachesBothEditors) {
  const std::string textmate = read_text(fs::path(TALPINE_SOURCE_DIR) / "editors/vscode/syntaxes/talpine.tmLanguage.json");
  const std::string vim = read_text(fs::path(TALPINE_SOURCE_DIR) / "editors/vim/syntax/talpine.vim");
  std::vector<std::string> words;
  for (int i = 0; scene_command_keyword(i); ++i) words.push_back(scene_command_keyword(i));
  for (int code = 1; code < CLASS_TYPE_CODES; ++code)
    if (const ClassType* type = engine_classes().find(code)) {
      words.push_back(type->name);
      for (int i = 0; type->keyword(i); ++i) words.push_back(type->keyword(i));
    }
  for (const char* word : {"cTextgfx", "cObjPZ", "keystate", "while", "sqrt", "status", "framer"}) words.push_back(word);
  // The words of both files: what stands between separators of an alternation
  // or of a keyword list.
  auto split = [](const std::string& text, const std::string& separators) {
    std::set<std::string> found;
    std::string word;
    for (char c : text + separators[0]) {
      if (separators.find(c) == std::string::npos) {
        word += c;
      } else if (!word.empty()) {
        found.insert(word);
        word.clear();
      }
    }
    return found;
  };
  const std::set<std::string> in_textmate = split(textmate, "|():\\\" \n"), in_vim = split(vim, " \n");
  for (const std::string& word : words) {
    EXPECT_TRUE(in_textmate.count(word)) << word;
    EXPECT_TRUE(in_vim.count(word)) << word;
  }
}

TEST(AssetTool, HelpListsEveryGeneratorAndTheForm) {
  int status = -1;
  std::string help = run(std::string(TALPINE_ASSET_TOOL) + " --help", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(help.find("usage: asset_tool OUT_DIR GENERATOR:FILE[=TEXTURE]..."), std::string::npos) << help;
  for (const char* generator : {"box", "grid", "grid16", "plane", "room", "sphere", "torus", "brick", "checker", "flare",
                                "gradient", "hot", "lambert", "marble", "particle", "ring", "tiles", "sky"})
    EXPECT_TRUE(help.find("  " + std::string(generator) + "\n") != std::string::npos ||
                help.find("  " + std::string(generator) + " ") != std::string::npos)
        << generator;

  // A generator listed there makes its file.
  DataFolder out;
  run(std::string(TALPINE_ASSET_TOOL) + " " + out.path() + " box:crate.obj checker:checker.png", &status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(fs::exists(out.path() + "crate.obj"));
  EXPECT_TRUE(fs::exists(out.path() + "checker.png"));

  run(std::string(TALPINE_ASSET_TOOL) + " 2>/dev/null", &status);
  EXPECT_EQ(status, 2);
}

}  // namespace
