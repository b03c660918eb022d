// The class-command frame: how an element class plugs into the dispatcher.
// Render thread only, like everything the dispatcher runs.
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
//     static cLight** slots(Engine* e) { return e->lights; }   // single: { return &e->blur; }
//     static int32_t* count(Engine* e) { return &e->light_count; }  // tables only
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
//   };
//   extern const ClassType light_class = class_type<LightClass>();
//
// and then adds X(light_class) to the list in commands/class_registry.cpp.
//
// The frame then does what every class shares: element lookup (slot n of the
// table, or the single element; numbers outside the table and empty slots are
// ignored with result 0), the keyword chain, `new` into the lowest free slot with
// the count raised, `delete` with the count recomputed, the `status` flag, and
// the per-slot destruction that destroyScene runs in its fixed order.
#pragma once

#include <concepts>
#include <cstdint>
#include <iterator>

#include "commands/keyword_match.h"
#include "core/convert.h"
#include "core/engine.h"

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
};

template <typename T>
concept ElementClassTraits = requires(Engine* engine, typename T::Element* element) {
  { T::name } -> std::convertible_to<const char*>;
  { T::type_code } -> std::convertible_to<int>;
  { T::capacity } -> std::convertible_to<int>;
  { T::slots(engine) } -> std::same_as<typename T::Element**>;
  match_keyword(T::keywords, "");
  T::destroy(element);
} && (T::capacity == 1 || requires(Engine* engine) {
  { T::count(engine) } -> std::same_as<int32_t*>;
});

// The shared frame, instantiated once per class.
template <ElementClassTraits T>
struct ClassFrame {
  using Element = typename T::Element;
  static constexpr bool single = T::capacity == 1;

  static Element* find(Engine* engine, int number) {
    Element** slots = T::slots(engine);
    if constexpr (single) {
      return *slots;  // single elements have no number
    } else {
      if (number < 0 || number >= T::capacity) return nullptr;
      return slots[number];
    }
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
    Element** slots = T::slots(engine);
    if constexpr (single) {
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
      for (int slot = 0; slot < T::capacity; ++slot) {
        if (slots[slot]) continue;
        Element* made = T::construct(engine, slot, args);
        if (!made) return -1;
        slots[slot] = made;
        raise_count(T::count(engine), slot);
        return slot;
      }
      return -1;  // the table is full
    }
  }

  static int32_t remove(Engine* engine, int number) {
    Element** slots = T::slots(engine);
    if constexpr (single) {
      if (*slots) T::destroy(*slots);
      *slots = nullptr;
      return 1;
    } else {
      if (number < 0 || number >= T::capacity) return 0;
      if (slots[number]) T::destroy(slots[number]);
      slots[number] = nullptr;
      // The count is one past the highest slot still occupied.
      int32_t* count = T::count(engine);
      int highest = *count < T::capacity ? *count : T::capacity;
      while (highest > 0 && !slots[highest - 1]) --highest;
      *count = highest;
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
    Element** slots = T::slots(engine);
    if constexpr (single) {
      if (*slots) T::destroy(*slots);
      *slots = nullptr;
    } else {
      if (number < 0 || number >= T::capacity || !slots[number]) return;
      T::destroy(slots[number]);
      slots[number] = nullptr;
    }
  }
};

template <ElementClassTraits T>
constexpr ClassType class_type() {
  using Frame = ClassFrame<T>;
  int32_t (*create)(Engine*, const CommandArgs&) = nullptr;
  if constexpr (requires(Engine* e, const CommandArgs& args) { T::construct(e, 0, args); })
    create = &Frame::create;
  return ClassType{T::name,       T::type_code,   T::capacity,    &Frame::command, create,
                   &Frame::remove, &Frame::status, &Frame::destroy, &Frame::element, &Frame::keyword};
}

// Type codes 1..16 name the element classes; 0 is the scene.
constexpr int CLASS_TYPE_CODES = 17;

// The classes the dispatcher knows, by type code. The engine's own is built from
// the list in commands/class_registry.cpp; tests may build their own.
struct ClassRegistry {
  const ClassType* by_code[CLASS_TYPE_CODES] = {};

  void add(const ClassType& type) {
    if (type.type_code > 0 && type.type_code < CLASS_TYPE_CODES) by_code[type.type_code] = &type;
  }
  const ClassType* find(int type_code) const {
    if (type_code <= 0 || type_code >= CLASS_TYPE_CODES) return nullptr;
    return by_code[type_code];
  }
};

// Every class registered in commands/class_registry.cpp.
const ClassRegistry& engine_classes();
