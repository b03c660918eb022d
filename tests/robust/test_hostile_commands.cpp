// Every command of every class, and every scene command, end to end, with the
// values a script gets wrong: element numbers outside the tables, part, group,
// vertex and key numbers far outside their arrays, negative numbers, numbers
// beyond the 32-bit range, NaN and both infinities. The command words are read
// from the classes' keyword tables in the source tree, so a new command is
// covered as soon as it is listed. Every such command is ignored or clamped:
// nothing is printed, frames are drawn, and the program ends with status 0.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/mesh/mesh_files.h"
#include "tests/support/e2e.h"

namespace {

struct ScriptClass {
  const char* statement;  // the script keyword
  const char* name;       // the class name for `new`; null: objects come from load
  int arguments;          // the longest argument list the statement takes
  bool numbered;          // written with an element number
};

// Type code name (as in the class files) -> how a script addresses it.
const std::map<std::string, ScriptClass> CLASSES = {
    {"CMD_OBJECT", {"object", nullptr, 4, true}},      {"CMD_TEXGFX", {"texgfx", "cTexgfx", 3, true}},
    {"CMD_WATER", {"water", "cWater", 3, true}},       {"CMD_PARTICLE", {"particle", "cParticle", 4, true}},
    {"CMD_FLARE", {"flare", "cFlare", 4, true}},       {"CMD_LIGHT", {"light", "cLight", 3, true}},
    {"CMD_SKYBOX", {"skybox", "cSkybox", 3, false}},   {"CMD_FRAMER", {"framer", "cFramer", 4, true}},
    {"CMD_DEFORM", {"deform", "cDeform", 4, true}},    {"CMD_RADIO", {"radio", "cRadio", 2, false}},
    {"CMD_BLOOM", {"bloom", "cBloom", 4, true}},       {"CMD_BLUR", {"blur", "cBlur", 4, true}},
    {"CMD_SHADOW", {"shadow", "cShadow", 4, true}},    {"CMD_CSG", {"csg", "cCSG", 4, true}},
    {"CMD_FLUIDE", {"fluide", "cFluide", 4, true}},    {"CMD_GLOW", {"glow", "cGlow", 4, true}},
};

std::string read_text(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The keywords of the tables {"word", handler} in a source file, in order.
std::vector<std::string> keywords_in(const std::string& text) {
  static const std::regex entry(R"re(\{"([a-z_0-9]+)",\s*[A-Za-z_0-9<>:]+\s*\})re");
  std::vector<std::string> words;
  std::set<std::string> seen;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), entry); it != std::sregex_iterator(); ++it) {
    std::string word = (*it)[1];
    if (seen.insert(word).second) words.push_back(word);
  }
  return words;
}

// Class keyword -> its command words, from the source tree.
std::map<std::string, std::vector<std::string>> command_words() {
  std::map<std::string, std::vector<std::string>> words;
  static const std::regex code(R"(type_code\s*=\s*(CMD_[A-Z]+))");
  const std::filesystem::path root(TALPINE_SOURCE_DIR);
  for (const char* folder : {"mesh", "resources", "lighting", "effects", "commands"}) {
    for (const auto& file : std::filesystem::directory_iterator(root / folder)) {
      if (file.path().extension() != ".cpp") continue;
      std::string text = read_text(file.path());
      std::smatch match;
      std::string statement;
      if (std::regex_search(text, match, code) && CLASSES.count(match[1])) statement = CLASSES.at(match[1]).statement;
      if (file.path().filename() == "object_commands.cpp") statement = "object";
      if (file.path().filename() == "scene_commands.cpp") statement = "scene";
      if (statement.empty()) continue;
      for (const std::string& word : keywords_in(text)) words[statement].push_back(word);
    }
  }
  return words;
}

// The words the scanner keeps for itself ("object", "light", ...): a command
// of that name is written with a suffix, which the substring match ignores.
std::string spelled(const std::string& word) {
  static const std::set<std::string> reserved = [] {
    std::set<std::string> words;
    std::string lexer = read_text(std::filesystem::path(TALPINE_SOURCE_DIR) / "script" / "lexer.l");
    static const std::regex rule(R"re(\n"([a-z_]+)"\s+return T_)re");
    for (auto it = std::sregex_iterator(lexer.begin(), lexer.end(), rule); it != std::sregex_iterator(); ++it)
      words.insert((*it)[1]);
    return words;
  }();
  return reserved.count(word) ? word + "_" : word;
}

const ScriptClass* by_statement(const std::string& statement) {
  for (const auto& [code, c] : CLASSES)
    if (statement == c.statement) return &c;
  return nullptr;
}

// The hostile values, each a script expression.
const std::vector<std::string> VALUES = {"-1", "100000", "-100000", "3000000000", "0-3000000000",
                                         "sqrt(0-1)", "1/0", "0-1/0"};

std::string argument_list(const std::string& value, int count) {
  std::string list = "(";
  for (int i = 0; i < count; ++i) list += (i ? ", " : "") + value;
  return list + ")";
}

// The elements every class command can work on: a cube in object 0 and one
// element of every class, attached to it.
std::string scene_with_every_element() {
  std::string script = "o = load(\"cube\");\nobject o active (1);\ncam = 0;\nscene camera (0, 0, 8);\n";
  for (const auto& [code, c] : CLASSES)
    if (c.name) script += std::string("e_") + c.statement + " = new " + c.name + "(o, o);\n";
  return script;
}

std::string run_output(const std::string& script, int* status, bool* timed_out) {
  DataFolder data;
  data.write("cube.obj", cube_obj(1.0f));
  data.write("script.txt", script);
  RunResult run = run_talpine(data, {"--frames", "3"}, false, 240);
  *status = run.exit_status;
  *timed_out = run.timed_out;
  if (run.exit_status != 0) ADD_FAILURE() << run.errors.substr(0, 4000);
  return run.output;
}

class EveryCommand : public ::testing::TestWithParam<std::string> {};

TEST(EveryCommandTables, AreFoundInTheSources) {
  auto words = command_words();
  for (const auto& [code, c] : CLASSES) EXPECT_FALSE(words[c.statement].empty()) << c.statement;
  EXPECT_FALSE(words["scene"].empty());
}

TEST_P(EveryCommand, OutOfRangeNumbersNaNAndInfinitiesAreHarmless) {
  const std::string statement = GetParam();
  const std::vector<std::string> words = command_words()[statement];
  ASSERT_FALSE(words.empty());
  const ScriptClass* c = by_statement(statement);
  ASSERT_NE(c, nullptr);

  std::string script = scene_with_every_element();
  std::string element = std::string(c->name ? "e_" + std::string(c->statement) : "o");
  for (const std::string& listed : words) {
    const std::string word = spelled(listed);
    for (const std::string& value : VALUES) {
      // The existing element with hostile values, then hostile element numbers.
      for (int count : {c->arguments, 1}) {
        std::string args = argument_list(value, count);
        if (c->numbered) {
          script += std::string(c->statement) + " " + element + " " + word + " " + args + ";\n";
          script += std::string(c->statement) + " (" + value + ") " + word + " " + argument_list("1", count) + ";\n";
        } else {
          script += std::string(c->statement) + " " + word + " " + args + ";\n";
        }
      }
    }
  }
  script += "print 1;\n";
  int status;
  bool timed_out;
  std::string output = run_output(script, &status, &timed_out);
  EXPECT_FALSE(timed_out) << statement;
  EXPECT_EQ(status, 0) << statement << "\n" << output;
  EXPECT_EQ(output, "Talpine Engine 2.02: script print: 1.000000\n") << statement;
}

INSTANTIATE_TEST_SUITE_P(Classes, EveryCommand,
                         ::testing::Values("object", "texgfx", "water", "particle", "flare", "light", "skybox",
                                           "framer", "deform", "radio", "bloom", "blur", "shadow", "csg",
                                           "fluide", "glow"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

TEST(EveryCommandScene, HostileValuesToEverySceneCommand) {
  // "stop" ends the scene and "cleanup" empties it: they run last.
  std::vector<std::string> words = command_words()["scene"];
  ASSERT_FALSE(words.empty());
  std::string script = scene_with_every_element();
  for (const std::string& word : words) {
    if (word == "stop" || word == "cleanup") continue;
    for (const std::string& value : VALUES)
      for (int count : {5, 1}) script += "scene " + spelled(word) + " " + argument_list(value, count) + ";\n";
  }
  script += "scene cleanup;\nprint 1;\n";
  int status;
  bool timed_out;
  std::string output = run_output(script, &status, &timed_out);
  EXPECT_FALSE(timed_out);
  EXPECT_EQ(status, 0) << output;
  EXPECT_EQ(output, "Talpine Engine 2.02: script print: 1.000000\n");
}

TEST(EveryCommandVerbs, HostileNumbersToTheVerbs) {
  // new with hostile attachments, status and delete of numbers outside every
  // table; each gives its number and nothing else happens. The class names
  // are each verb's own list.
  const char* made[] = {"cFramer", "cDeform", "cParticle", "cLight", "cFlare", "cWater", "cBloom", "cGlow",
                        "cBlur", "cShadow", "cCSG", "cFluide", "cTexgfx", "cSkybox", "cRadio"};
  const char* asked[] = {"cFramer", "cDeform", "cParticle", "cLight", "cFlare", "cWater", "cFluide", "cBloom",
                         "cGlow", "cBlur", "cShadow", "cCSG", "cTextgfx", "cSkybox", "cObject", "cObjPX",
                         "cObjRZ", "cCamPY", "keystate", "selection"};
  const char* deleted[] = {"cObject", "cShadow", "cBlur", "cGlow", "cBloom", "cCSG", "cLight", "cFlare", "cWater",
                           "cFluide", "cTexgfx", "cParticle", "cSkybox", "cDeform", "cFramer", "cRadio"};
  std::string script = "o = load(\"cube\");\n";
  for (const std::string& value : VALUES) {
    for (const char* name : made) script += std::string("x = new ") + name + "(" + value + ", " + value + ");\n";
    for (const char* name : asked) script += std::string("x = status ") + name + "(" + value + ");\n";
    for (const char* name : deleted) script += std::string("x = delete ") + name + "(" + value + ");\n";
  }
  script += "x = delete all;\nprint 1;\n";
  int status;
  bool timed_out;
  std::string output = run_output(script, &status, &timed_out);
  EXPECT_FALSE(timed_out);
  EXPECT_EQ(status, 0) << output;
  EXPECT_EQ(output, "Talpine Engine 2.02: script print: 1.000000\n");
}

}  // namespace
