// The element protocol: how an element class plugs into the command dispatcher
// and the frame. Element classes include this (never the dispatcher or the
// frame); the dispatcher and the frame know every class through the registry.
// Render thread only, like everything the dispatcher and the frame run.
//
// A class brings, in its own file, a traits struct and one registration line:
//
//   static void light_active(cLight& light, const CommandArgs& args) { ... }
//   ...
//   struct LightClass {
//     using Element = cLight;
//     static constexpr const char* name = "cLight";
//     static constexpr int type_code = CMD_LIGHT;
//     static constexpr int capacity = MAX_LIGHTS;        // 1: a single-element class
//     static auto* table(Engine* e) { return &e->scene.lights; }  // tables
//     // single classes instead: static cBlur** slots(Engine* e) { return &e->scene.blur; }
//     // The class's commands in their listed order (matched by match_keyword).
//     static constexpr ClassKeyword<cLight> keywords[] = {
//         {"active", light_active}, {"diffuse", light_diffuse}, ...};
//     // Releases what the element owns (its GL light, arrays, textures) and frees it.
//     static void destroy(cLight* light);
//     // Optional, for classes that `new` creates: a new element with its defaults
//     // and the class's row of the `new` argument table applied. `slot` is the
//     // table slot it will take (0 for single classes). Null: nothing created.
//     static cLight* construct(Engine* e, int slot, const CommandArgs& args);
//     // Optional: the `status` flag; default: the element's `active` field.
//     static bool is_active(const cLight& light);
//     // Optional: a name that matches no keyword; returns 0 handled, 1
//     // unrecognised (the default when absent). cTexgfx accepts every name,
//     // cSkybox loads the name as its face textures.
//     static int unmatched(cLight& light, const char* name, const CommandArgs& args,
//                          int32_t* result);
//     // Optional: `new` destroys an existing single element and makes a fresh one
//     // (the lightmap baker) instead of keeping it.
//     static constexpr bool replace_on_new = true;
//     // Optional frame hooks, one per stage the class takes part in (FrameStage):
//     static void opaque(Engine* e);   // update, before_clear, background, opaque,
//                                      // blended, transparent, composite, after_swap
//   };
//   extern const ClassType light_class = class_type<LightClass>();
//
// and then adds it to the list in commands/class_registry.cpp, whose order is
// the order in which the frame calls each stage's hooks.
//
// The frame then does what every class shares: element lookup (slot n of the
// table, or the single element; numbers outside the table and empty slots are
// ignored with result 0), the keyword chain, `new` into the lowest free slot with
// the count raised, `delete` with the count recomputed, the `status` flag, and
// the per-slot destruction that destroyScene runs in its fixed order.
#pragma once

#include <concepts>
#include <type_traits>
#include <cstdint>
#include <iterator>

#include "core/command_codes.h"
#include "core/convert.h"
#include "core/engine.h"
#include "core/keyword_match.h"

// The five values of one command slot (missing ones are 0.0). For a class
// written with an element number in the script, n is that number and a..d are
// the command's values in script order; for the sky box and the lightmap baker,
// written without a number, n is the first value. For the verbs, n and a are the
// verb's first and second values (n is -1.0 when the verb was given none).
struct CommandArgs {
  float n = 0, a = 0, b = 0, c = 0, d = 0;
};

// One class command; every class command gives the result 0.
template <typename Element>
using ClassHandler = void (*)(Element& element, const CommandArgs& args);

template <typename Element>
using ClassKeyword = Keyword<ClassHandler<Element>>;

// The stages of a frame at which a class may take part, in the order the frame
// runs them; within a stage, classes run in the registry's order.
enum FrameStage {
  STAGE_UPDATE,        // every frame loop round, drawn or not: animation and simulation
  STAGE_BEFORE_CLEAR,  // before the frame's clear: scene renders into textures
  STAGE_BACKGROUND,    // right after the clear, before the camera
  STAGE_OPAQUE,        // the scene pass under the camera: lights, sky, opaque surfaces, stencil passes
  STAGE_BLENDED,       // the scene pass's blended surfaces
  STAGE_TRANSPARENT,   // additive sprites, depth writes off
  STAGE_COMPOSITE,     // over the finished scene, before the fade
  STAGE_AFTER_SWAP,    // after the buffer swap
  FRAME_STAGES
};

using StageHook = void (*)(Engine* engine);

// A registered class, with its type erased so that the dispatcher can hold all
// sixteen in one table indexed by type code. Built by class_type<Traits>().
struct ClassType {
  const char* name;  // the script's class name, "cLight"
  int type_code;     // 1..16
  int capacity;      // 199, 8, or 1 for single-element classes
  // A class command: 0 handled (also when ignored), 1 unrecognised.
  int (*command)(Engine* engine, const char* name, const CommandArgs& args, int32_t* result);
  // Verb `new`: slot or -1 for tables; 1 created / 0 already there for single
  // classes (1 always for replace_on_new). Null for classes `new` cannot make.
  int32_t (*create)(Engine* engine, const CommandArgs& args);
  // Verb `delete` of element `number` (ignored for single classes): 1, or 0 for
  // a number outside the table.
  int32_t (*remove)(Engine* engine, int number);
  // Verb `status`: the element's active flag as 0 or 1; 0 when it does not exist.
  int32_t (*status)(Engine* engine, int number);
  // destroyScene: destroys element `number` if present; counts are not touched.
  void (*destroy)(Engine* engine, int number);
  // The element itself (as void*), or null when missing or out of range.
  void* (*element)(Engine* engine, int number);
  // Keyword `index` of the class's command list in test order; null past its end.
  const char* (*keyword)(int index);
  // The class's frame hooks by FrameStage; null where it takes no part.
  StageHook stages[FRAME_STAGES];
};

template <typename T>
concept ElementClassTraits = requires(Engine* engine, typename T::Element* element) {
  { T::name } -> std::convertible_to<const char*>;
  { T::type_code } -> std::convertible_to<int>;
  { T::capacity } -> std::convertible_to<int>;
  match_keyword(T::keywords, "");
  T::destroy(element);
} && ((T::capacity == 1 && requires(Engine* engine) {
  { T::slots(engine) } -> std::same_as<typename T::Element**>;
}) || (T::capacity > 1 && requires(Engine* engine) {
  { T::table(engine)->slots[0] } -> std::convertible_to<typename T::Element*>;
  requires std::remove_pointer_t<decltype(T::table(engine))>::capacity == T::capacity;
}));

// The shared frame, instantiated once per class.
template <ElementClassTraits T>
struct ClassFrame {
  using Element = typename T::Element;
  static constexpr bool single = T::capacity == 1;

  static Element* find(Engine* engine, int number) {
    if constexpr (single)
      return *T::slots(engine);  // single elements have no number
    else
      return T::table(engine)->at(number);
  }

  static void* element(Engine* engine, int number) { return find(engine, number); }

  static const char* keyword(int index) {
    constexpr int count = static_cast<int>(std::size(T::keywords));
    return index >= 0 && index < count ? T::keywords[index].keyword : nullptr;
  }

  static int command(Engine* engine, const char* name, const CommandArgs& args, int32_t* result) {
    *result = 0;
    Element* element = find(engine, float_to_int(args.n));
    if (!element) return 0;
    if (const auto* entry = match_keyword(T::keywords, name)) {
      entry->handler(*element, args);
      return 0;
    }
    if constexpr (requires { T::unmatched(*element, name, args, result); })
      return T::unmatched(*element, name, args, result);
    return 1;
  }

  static int32_t create(Engine* engine, const CommandArgs& args) {
    if constexpr (single) {
      Element** slots = T::slots(engine);
      if constexpr (requires { T::replace_on_new; }) {
        if (T::replace_on_new && *slots) {
          T::destroy(*slots);
          *slots = nullptr;
        }
      }
      if (*slots) return 0;
      *slots = T::construct(engine, 0, args);
      if constexpr (requires { T::replace_on_new; })
        if (T::replace_on_new) return 1;
      return *slots ? 1 : 0;
    } else {
      auto* table = T::table(engine);
      int slot = table->lowest_free();
      if (slot < 0) return -1;  // the table is full
      Element* made = T::construct(engine, slot, args);
      if (!made) return -1;
      (*table)[slot] = made;
      table->raise(slot);
      return slot;
    }
  }

  static int32_t remove(Engine* engine, int number) {
    if constexpr (single) {
      Element** slots = T::slots(engine);
      if (*slots) T::destroy(*slots);
      *slots = nullptr;
      return 1;
    } else {
      auto* table = T::table(engine);
      if (number < 0 || number >= T::capacity) return 0;
      if ((*table)[number]) T::destroy((*table)[number]);
      (*table)[number] = nullptr;
      table->recount();
      return 1;
    }
  }

  static int32_t status(Engine* engine, int number) {
    const Element* element = find(engine, number);
    if (!element) return 0;
    if constexpr (requires { T::is_active(*element); })
      return T::is_active(*element) ? 1 : 0;
    else
      return element->active ? 1 : 0;
  }

  static void destroy(Engine* engine, int number) {
    if constexpr (single) {
      Element** slots = T::slots(engine);
      if (*slots) T::destroy(*slots);
      *slots = nullptr;
    } else {
      auto* table = T::table(engine);
      Element* element = table->at(number);
      if (!element) return;
      T::destroy(element);
      (*table)[number] = nullptr;
    }
  }
};

template <ElementClassTraits T>
constexpr ClassType class_type() {
  using Frame = ClassFrame<T>;
  int32_t (*create)(Engine*, const CommandArgs&) = nullptr;
  if constexpr (requires(Engine* e, const CommandArgs& args) { T::construct(e, 0, args); })
    create = &Frame::create;
  ClassType type{T::name,       T::type_code,   T::capacity,    &Frame::command, create,
                 &Frame::remove, &Frame::status, &Frame::destroy, &Frame::element, &Frame::keyword, {}};
  if constexpr (requires(Engine* e) { T::update(e); }) type.stages[STAGE_UPDATE] = &T::update;
  if constexpr (requires(Engine* e) { T::before_clear(e); }) type.stages[STAGE_BEFORE_CLEAR] = &T::before_clear;
  if constexpr (requires(Engine* e) { T::background(e); }) type.stages[STAGE_BACKGROUND] = &T::background;
  if constexpr (requires(Engine* e) { T::opaque(e); }) type.stages[STAGE_OPAQUE] = &T::opaque;
  if constexpr (requires(Engine* e) { T::blended(e); }) type.stages[STAGE_BLENDED] = &T::blended;
  if constexpr (requires(Engine* e) { T::transparent(e); }) type.stages[STAGE_TRANSPARENT] = &T::transparent;
  if constexpr (requires(Engine* e) { T::composite(e); }) type.stages[STAGE_COMPOSITE] = &T::composite;
  if constexpr (requires(Engine* e) { T::after_swap(e); }) type.stages[STAGE_AFTER_SWAP] = &T::after_swap;
  return type;
}

// The classes the dispatcher and the frame know: by type code, and in the order
// they were added, which is the order of every frame stage. The engine's own is
// built from the list in commands/class_registry.cpp; tests may build their own.
struct ClassRegistry {
  const ClassType* by_code[CLASS_TYPE_CODES] = {};
  const ClassType* in_order[CLASS_TYPE_CODES] = {};
  int count = 0;

  void add(const ClassType& type) {
    if (type.type_code <= 0 || type.type_code >= CLASS_TYPE_CODES || by_code[type.type_code]) return;
    by_code[type.type_code] = &type;
    in_order[count++] = &type;
  }
  const ClassType* find(int type_code) const {
    if (type_code <= 0 || type_code >= CLASS_TYPE_CODES) return nullptr;
    return by_code[type_code];
  }
  // Calls every class's hook for `stage`, in registry order.
  void run_stage(FrameStage stage, Engine* engine) const {
    for (int i = 0; i < count; ++i)
      if (StageHook hook = in_order[i]->stages[stage]) hook(engine);
  }
};

// Every class registered in commands/class_registry.cpp.
const ClassRegistry& engine_classes();
