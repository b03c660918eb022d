#include "script/keywords.h"

#include <iterator>

#include "script/grammar.hpp"

namespace {

// In the order of script/lexer.l; keep the two together.
constexpr LanguageWord WORDS[] = {
    {"object", T_OBJECT, WordKind::Class},      {"deform", T_DEFORM, WordKind::Class},
    {"delete", T_DELETE, WordKind::Verb},       {"load", T_LOAD, WordKind::Verb},
    {"scene", T_SCENE, WordKind::Class},        {"skybox", T_SKYBOX, WordKind::Class},
    {"shadow", T_SHADOW, WordKind::Class},      {"bloom", T_BLOOM, WordKind::Class},
    {"glow", T_GLOW, WordKind::Class},          {"blur", T_BLUR, WordKind::Class},
    {"csg", T_CSG, WordKind::Class},            {"flare", T_FLARE, WordKind::Class},
    {"water", T_WATER, WordKind::Class},        {"fluide", T_FLUIDE, WordKind::Class},
    {"light", T_LIGHT, WordKind::Class},        {"framer", T_KEYFR, WordKind::Class},
    {"new", T_NEW, WordKind::Verb},             {"texgfx", T_TEXGFX, WordKind::Class},
    {"particle", T_PARTICLE, WordKind::Class},  {"radio", T_RADIO, WordKind::Class},
    {"status", T_STATUS, WordKind::Verb},       {"exit", T_EXIT, WordKind::Statement},
    {"function", T_FUNCTION, WordKind::Statement}, {"return", T_RETURN, WordKind::Statement},
    {"int", T_INT, WordKind::BuiltIn},          {"array", T_ARRAY, WordKind::Statement},
    {"time", T_TIME, WordKind::BuiltIn},        {"sleep", T_SLEEP, WordKind::Statement},
    {"sin", T_SIN, WordKind::BuiltIn},          {"cos", T_COS, WordKind::BuiltIn},
    {"tan", T_TAN, WordKind::BuiltIn},          {"asin", T_ASIN, WordKind::BuiltIn},
    {"acos", T_ACOS, WordKind::BuiltIn},        {"atan", T_ATAN, WordKind::BuiltIn},
    {"sqrt", T_SQRT, WordKind::BuiltIn},        {"rnd", T_RANDOM, WordKind::BuiltIn},
    {"random", T_RANDOM, WordKind::BuiltIn},    {"if", T_IF, WordKind::Statement},
    {"else", T_ELSE, WordKind::Statement},      {"print", T_PRINT, WordKind::Statement},
    {"while", T_WHILE, WordKind::Statement},    {"for", T_FOR, WordKind::Statement},
};

}  // namespace

std::span<const LanguageWord> language_words() { return WORDS; }

const char* keyword_text(int token) {
  for (const LanguageWord& word : WORDS)
    if (word.token == token) return word.text;
  return nullptr;
}
