// The user guide's command tables (docs/scripting.md) list every command of
// the scene and of each class, in the order the engine matches them: a command
// added, removed or moved in the code, or a table edited by hand, fails here.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "commands/scene_commands.h"
#include "core/element_class.h"

namespace {

const char* const SCENE_SECTION = "scene";

// The first column of the first "| Command |" table after each section heading:
// "## Scene commands" and "### `object` — cObject" style headings.
std::map<std::string, std::vector<std::string>> documented_tables(const std::string& path) {
  std::ifstream in(path);
  std::map<std::string, std::vector<std::string>> tables;
  std::string line, section;
  bool in_table = false, done = false;
  while (std::getline(in, line)) {
    if (line.rfind("#", 0) == 0) {
      section.clear();
      in_table = done = false;
      if (line == "## Scene commands") section = SCENE_SECTION;
      size_t dash = line.find("— c");
      if (line.rfind("### ", 0) == 0 && dash != std::string::npos)
        section = line.substr(dash + std::string("— ").size());
      continue;
    }
    if (section.empty() || done) continue;
    if (!in_table) {
      if (line.rfind("| Command |", 0) == 0) {
        in_table = true;
        tables[section];  // present even if it stays empty
      }
      continue;
    }
    if (line.rfind("|---", 0) == 0) continue;
    if (line.rfind("| `", 0) != 0) {  // the table ends
      done = true;
      continue;
    }
    size_t open = line.find('`'), close = line.find('`', open + 1);
    tables[section].push_back(line.substr(open + 1, close - open - 1));
  }
  return tables;
}

std::vector<std::string> listed(const char* (*keyword)(int)) {
  std::vector<std::string> names;
  for (int i = 0; keyword(i); ++i) names.push_back(keyword(i));
  return names;
}

class Docs : public ::testing::Test {
 protected:
  std::map<std::string, std::vector<std::string>> tables =
      documented_tables(std::string(TALPINE_SOURCE_DIR) + "/docs/scripting.md");
};

TEST_F(Docs, TheSceneCommandTableMatchesTheCode) {
  ASSERT_TRUE(tables.count(SCENE_SECTION)) << "no scene command table in docs/scripting.md";
  EXPECT_EQ(tables[SCENE_SECTION], listed(scene_command_keyword));
}

TEST_F(Docs, EveryClassHasItsCommandsInMatchingOrder) {
  int classes = 0;
  for (int code = 1; code < CLASS_TYPE_CODES; ++code) {
    const ClassType* type = engine_classes().find(code);
    if (!type) continue;
    ++classes;
    ASSERT_TRUE(tables.count(type->name)) << type->name << " has no command table";
    EXPECT_EQ(tables[type->name], listed(type->keyword)) << type->name;
  }
  EXPECT_GE(classes, 15);  // every class but, while it is being built, the baker
}

TEST_F(Docs, EveryDocumentedClassIsOneOfTheScriptsClasses) {
  const std::vector<std::string> names = {"cObject", "cTexgfx", "cWater",  "cParticle", "cFlare",  "cLight",
                                          "cSkybox", "cFramer", "cDeform", "cRadio",    "cBloom",  "cBlur",
                                          "cShadow", "cCSG",    "cFluide", "cGlow"};
  for (const auto& [section, rows] : tables) {
    if (section == SCENE_SECTION) continue;
    EXPECT_NE(std::find(names.begin(), names.end(), section), names.end()) << section;
    EXPECT_FALSE(rows.empty()) << section;
  }
  EXPECT_EQ(tables.size(), names.size() + 1);
}

}  // namespace
