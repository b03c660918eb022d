// The class frame and the verbs new, delete and status, driven through the
// dispatcher with stand-in element classes registered at the light, blur,
// texgfx, sky box and lightmap-baker type codes. The stand-ins keep their own
// tables, so these tests pin what the frame does for every class: slot choice,
// counts, number checks, unmatched names and the clean-up order.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "commands/destroy_scene.h"
#include "commands/dispatch.h"
#include "core/engine.h"
#include "script/command_ring.h"

namespace {

std::vector<std::string> destroyed;  // "<class><slot>" in destruction order

struct Item {
  Item(std::string made_as, int number, float start_value = 0)
      : kind(std::move(made_as)), slot(number), value(start_value) {}
  std::string kind;
  int slot = 0;
  uint8_t active = 1;
  float value = 0;
  std::string last_unmatched;
  ~Item() { destroyed.push_back(kind + std::to_string(slot)); }
};

void set_active(Item& item, const CommandArgs& args) { item.active = args.a != 0.0f; }
void set_value(Item& item, const CommandArgs& args) { item.value = args.a; }
void set_value_from_first(Item& item, const CommandArgs& args) { item.value = args.n; }

// A light-like table of 8, created with the `new` argument n as its value.
ElementTable<Item, MAX_LIGHTS> lights;
struct StandInLight {
  using Element = Item;
  static constexpr const char* name = "cLight";
  static constexpr int type_code = CMD_LIGHT;
  static constexpr int capacity = MAX_LIGHTS;
  static auto* table(Engine*) { return &lights; }
  static constexpr ClassKeyword<Item> keywords[] = {{"active", set_active}, {"value", set_value}};
  static Item* construct(Engine*, int slot, const CommandArgs& args) {
    return new Item("light", slot, args.n);
  }
  static void destroy(Item* item) { delete item; }
};

// A texgfx-like table of 199 that accepts every unmatched name.
ElementTable<Item, MAX_ELEMENTS> texgfxs;
struct StandInTexgfx {
  using Element = Item;
  static constexpr const char* name = "cTexgfx";
  static constexpr int type_code = CMD_TEXGFX;
  static constexpr int capacity = MAX_ELEMENTS;
  static auto* table(Engine*) { return &texgfxs; }
  static constexpr ClassKeyword<Item> keywords[] = {{"active", set_active}};
  static Item* construct(Engine*, int slot, const CommandArgs&) { return new Item("texgfx", slot); }
  static void destroy(Item* item) { delete item; }
  static int unmatched(Item&, const char*, const CommandArgs&, int32_t*) { return 0; }
};

// A blur-like single element.
Item* blur_slot;
struct StandInBlur {
  using Element = Item;
  static constexpr const char* name = "cBlur";
  static constexpr int type_code = CMD_BLUR;
  static constexpr int capacity = 1;
  static Item** slots(Engine*) { return &blur_slot; }
  static constexpr ClassKeyword<Item> keywords[] = {{"active", set_active}};
  static Item* construct(Engine*, int, const CommandArgs&) { return new Item("blur", 0); }
  static void destroy(Item* item) { delete item; }
};

// A sky-box-like single element: no number in the script, so n is the first
// value; an unmatched name is its face base name, refused when it is "missing".
Item* skybox_slot;
struct StandInSkybox {
  using Element = Item;
  static constexpr const char* name = "cSkybox";
  static constexpr int type_code = CMD_SKYBOX;
  static constexpr int capacity = 1;
  static Item** slots(Engine*) { return &skybox_slot; }
  static constexpr ClassKeyword<Item> keywords[] = {{"size", set_value_from_first}};
  static Item* construct(Engine*, int, const CommandArgs&) { return new Item("skybox", 0); }
  static void destroy(Item* item) { delete item; }
  static int unmatched(Item& item, const char* name, const CommandArgs&, int32_t*) {
    item.last_unmatched = name;
    return std::string(name) == "missing" ? 1 : 0;
  }
};

// A baker-like single element that `new` replaces.
Item* radio_slot;
struct StandInRadio {
  using Element = Item;
  static constexpr const char* name = "cRadio";
  static constexpr int type_code = CMD_RADIO;
  static constexpr int capacity = 1;
  static Item** slots(Engine*) { return &radio_slot; }
  static constexpr ClassKeyword<Item> keywords[] = {{"calc", set_value}};
  static Item* construct(Engine*, int, const CommandArgs&) { return new Item("radio", 0); }
  static void destroy(Item* item) { delete item; }
  static constexpr bool replace_on_new = true;
};

constexpr ClassType light_type = class_type<StandInLight>();
constexpr ClassType texgfx_type = class_type<StandInTexgfx>();
constexpr ClassType blur_type = class_type<StandInBlur>();
constexpr ClassType skybox_type = class_type<StandInSkybox>();
constexpr ClassType radio_type = class_type<StandInRadio>();

class ClassFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const ClassType* type : {&light_type, &texgfx_type, &blur_type, &skybox_type, &radio_type})
      registry.add(*type);
  }
  void TearDown() override {
    destroy_scene(registry, engine.get(), false);
    lights.count = texgfxs.count = 0;
    destroyed.clear();
  }

  // Runs one command; returns what the dispatcher returns.
  int run(int type, const char* name, float n = 0, float a = 0) {
    result = -12345;
    return dispatch_command(CommandContext{engine.get(), registry}, type, name, CommandArgs{n, a, 0, 0, 0},
                            &result);
  }
  int32_t verb(int type, const char* name, float n = -1, float a = 0) {
    EXPECT_EQ(run(type, name, n, a), 0) << name;
    return result;
  }

  std::unique_ptr<Engine> engine = std::make_unique<Engine>();
  ClassRegistry registry;
  int32_t result = 0;
};

TEST_F(ClassFrame, NewTakesTheLowestFreeSlotAndANinthLightFails) {
  for (int i = 0; i < MAX_LIGHTS; ++i) EXPECT_EQ(verb(CMD_NEW, "cLight", 40.0f + i), i);
  EXPECT_EQ(lights.count, 8);
  EXPECT_EQ(lights[3]->value, 43.0f);  // the new argument reached the element
  EXPECT_EQ(verb(CMD_NEW, "cLight", 0), -1);

  EXPECT_EQ(verb(CMD_DELETE, "cLight", 2), 1);
  EXPECT_EQ(verb(CMD_NEW, "cLight", 0), 2);
}

TEST_F(ClassFrame, DeleteRecomputesTheCountAndAlwaysGivesOne) {
  for (int i = 0; i < 6; ++i) verb(CMD_NEW, "cLight");
  verb(CMD_DELETE, "cLight", 1);
  verb(CMD_DELETE, "cLight", 2);
  verb(CMD_DELETE, "cLight", 4);
  EXPECT_EQ(lights.count, 6);

  EXPECT_EQ(verb(CMD_DELETE, "cLight", 5), 1);  // the highest: drops past the empty 4
  EXPECT_EQ(lights.count, 4);
  EXPECT_EQ(verb(CMD_DELETE, "cLight", 5), 1);  // an empty slot
  EXPECT_EQ(lights.count, 4);
  verb(CMD_DELETE, "cLight", 3);
  verb(CMD_DELETE, "cLight", 0);
  EXPECT_EQ(lights.count, 0);
  EXPECT_EQ(destroyed, (std::vector<std::string>{"light1", "light2", "light4", "light5", "light3", "light0"}));
}

TEST_F(ClassFrame, NumbersOutsideATableAreIgnoredWithResultZero) {
  verb(CMD_NEW, "cLight");
  for (float number : {-1.0f, 8.0f, 199.0f, 1e12f, -1e12f}) {
    EXPECT_EQ(run(CMD_LIGHT, "active", number, 0), 0);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(verb(CMD_DELETE, "cLight", number), 0);
    EXPECT_EQ(verb(CMD_STATUS, "cLight", number), 0);
  }
  EXPECT_EQ(lights[0]->active, 1);
  EXPECT_EQ(lights.count, 1);
}

TEST_F(ClassFrame, ClassCommandsReachTheAddressedElementOnly) {
  verb(CMD_NEW, "cLight");
  verb(CMD_NEW, "cLight");
  EXPECT_EQ(run(CMD_LIGHT, "setvalue", 1, 7.5f), 0);
  EXPECT_EQ(lights[1]->value, 7.5f);
  EXPECT_EQ(lights[0]->value, -1.0f);
  // 1.9 is element 1: numbers truncate toward zero.
  EXPECT_EQ(run(CMD_LIGHT, "active", 1.9f, 0), 0);
  EXPECT_EQ(verb(CMD_STATUS, "cLight", 1), 0);
  EXPECT_EQ(verb(CMD_STATUS, "cLight", 0), 1);
  // A missing element ignores even names no keyword matches.
  EXPECT_EQ(run(CMD_LIGHT, "nonsense", 5, 0), 0);
}

TEST_F(ClassFrame, UnmatchedNamesStopTheScriptExceptForTexgfxAndTheSkybox) {
  verb(CMD_NEW, "cLight");
  verb(CMD_NEW, "cTexgfx");
  verb(CMD_NEW, "cSkybox");
  EXPECT_EQ(run(CMD_LIGHT, "nonsense", 0), 1);
  EXPECT_EQ(run(CMD_TEXGFX, "nonsense", 0), 0);
  EXPECT_EQ(result, 0);

  // The sky box has no number: its first value is n.
  EXPECT_EQ(run(CMD_SKYBOX, "size", 300), 0);
  EXPECT_EQ(skybox_slot->value, 300.0f);
  EXPECT_EQ(run(CMD_SKYBOX, "sunset", 0), 0);
  EXPECT_EQ(skybox_slot->last_unmatched, "sunset");
  EXPECT_EQ(run(CMD_SKYBOX, "missing", 0), 1);
}

TEST_F(ClassFrame, SingleElementsAreCreatedOnceExceptTheBaker) {
  EXPECT_EQ(verb(CMD_NEW, "cBlur"), 1);
  Item* first = blur_slot;
  EXPECT_EQ(verb(CMD_NEW, "cBlur"), 0);
  EXPECT_EQ(blur_slot, first);
  EXPECT_EQ(verb(CMD_STATUS, "cBlur"), 1);
  EXPECT_EQ(verb(CMD_DELETE, "cBlur", 77), 1);  // the number is not used
  EXPECT_EQ(blur_slot, nullptr);
  EXPECT_EQ(verb(CMD_DELETE, "cBlur"), 1);
  EXPECT_EQ(verb(CMD_STATUS, "cBlur"), 0);

  // "cRad" also matches "cRadio"; a second baker replaces the first.
  EXPECT_EQ(verb(CMD_NEW, "cRadio"), 1);
  EXPECT_EQ(verb(CMD_NEW, "cRad"), 1);
  EXPECT_EQ(destroyed, (std::vector<std::string>{"blur0", "radio0"}));
  EXPECT_NE(radio_slot, nullptr);
}

TEST_F(ClassFrame, StatusKnowsBothSpellingsOfTexgfx) {
  verb(CMD_NEW, "cTexgfx");
  EXPECT_EQ(verb(CMD_STATUS, "cTextgfx", 0), 1);
  EXPECT_EQ(verb(CMD_STATUS, "cTexgfx", 0), 1);
  EXPECT_EQ(verb(CMD_STATUS, "cTexgfx", 1), 0);  // a missing element
  run(CMD_TEXGFX, "active", 0, 0);
  EXPECT_EQ(verb(CMD_STATUS, "cTexgfx", 0), 0);
}

TEST_F(ClassFrame, UnknownNamesAndTypeCodes) {
  EXPECT_EQ(run(CMD_NEW, "cObject"), 1);  // objects come from load
  EXPECT_EQ(run(CMD_NEW, "cBanana"), 1);
  EXPECT_EQ(run(CMD_DELETE, "everything"), 1);
  EXPECT_EQ(run(CMD_STATUS, "clight"), 1);  // case-sensitive
  EXPECT_EQ(result, 0);
  for (int code : {17, 49, 54, 99, 255}) {
    EXPECT_EQ(run(code, "cLight"), 0) << code;
    EXPECT_EQ(result, 0);
  }
  // A class with nothing registered has no element to address.
  EXPECT_EQ(run(CMD_WATER, "nonsense", 0), 0);
  EXPECT_EQ(verb(CMD_NEW, "cWater", 0), -1);
  EXPECT_EQ(verb(CMD_STATUS, "cWater", 0), 0);
}

TEST_F(ClassFrame, DeleteAllDestroysInTheFixedOrderAndKeepsTheRunner) {
  verb(CMD_NEW, "cLight");
  verb(CMD_NEW, "cLight");
  verb(CMD_NEW, "cTexgfx");
  verb(CMD_NEW, "cTexgfx");
  verb(CMD_NEW, "cBlur");
  verb(CMD_NEW, "cSkybox");
  verb(CMD_NEW, "cRadio");
  auto* runner = reinterpret_cast<ScriptRunner*>(0x1);  // must not be touched
  engine->scene.script_runner = runner;
  engine->scene.shadows.count = 7;

  EXPECT_EQ(verb(CMD_DELETE, "all"), 1);
  EXPECT_EQ(destroyed, (std::vector<std::string>{"radio0", "skybox0", "blur0", "texgfx0", "texgfx1", "light0",
                                                 "light1"}));
  EXPECT_EQ(engine->scene.script_runner, runner);
  EXPECT_EQ(engine->scene.shadows.count, 0);
  engine->scene.script_runner = nullptr;
}

}  // namespace
