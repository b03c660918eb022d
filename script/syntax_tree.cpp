// Node and symbol storage of a parsed script, and the scene statement table.
#include "script/syntax_tree.h"

#include <functional>

#include "script/command_ring.h"

namespace {

struct SceneKind {
  int32_t kind;
  int type_code;
  bool has_index;
};

// The keyword of each kind is in the grammar's scene statement rules.
constexpr SceneKind SCENE_KINDS[] = {
    {N_OBJECT, CMD_OBJECT, true},     {N_DEFORM, CMD_DEFORM, true},
    {N_SCENE, CMD_SCENE, false},      {N_SKYBOX, CMD_SKYBOX, false},
    {N_FLARE, CMD_FLARE, true},       {N_LIGHT, CMD_LIGHT, true},
    {N_WATER, CMD_WATER, true},       {N_BLOOM, CMD_BLOOM, true},
    {N_BLUR, CMD_BLUR, true},         {N_SHADOW, CMD_SHADOW, true},
    {N_CSG, CMD_CSG, true},           {N_GLOW, CMD_GLOW, true},
    {N_FLUIDE, CMD_FLUIDE, true},     {N_FRAMER, CMD_FRAMER, true},
    {N_TEXGFX, CMD_TEXGFX, true},     {N_PARTICLE, CMD_PARTICLE, true},
    {N_RADIO, CMD_RADIO, false},
};

const SceneKind* scene_kind(int32_t kind) {
  for (const SceneKind& entry : SCENE_KINDS) {
    if (entry.kind == kind) return &entry;
  }
  return nullptr;
}

}  // namespace

int scene_type_code(int32_t kind) {
  const SceneKind* entry = scene_kind(kind);
  return entry ? entry->type_code : -1;
}

bool scene_has_index(int32_t kind) {
  const SceneKind* entry = scene_kind(kind);
  return entry && entry->has_index;
}

size_t Script::KeyHash::operator()(const Key& key) const {
  return std::hash<std::string>()(key.name) ^ (std::hash<const Symbol*>()(key.scope) << 1);
}

SyntaxNode* Script::node(int32_t kind, SyntaxNode* c0, SyntaxNode* c1, SyntaxNode* c2,
                         SyntaxNode* c3, SyntaxNode* c4) {
  SyntaxNode& made = nodes_.emplace_back();
  made.kind = kind;
  made.child[0] = c0;
  made.child[1] = c1;
  made.child[2] = c2;
  made.child[3] = c3;
  made.child[4] = c4;
  return &made;
}

SyntaxNode* Script::number(float value) {
  SyntaxNode* made = node(N_NUM);
  made->value = value;
  return made;
}

Symbol* Script::find(const std::string& name, Symbol* scope) const {
  auto found = index_.find(Key{name, scope});
  return found == index_.end() ? nullptr : found->second;
}

Symbol* Script::intern(const std::string& name, Symbol* scope) {
  if (Symbol* known = find(name, scope)) return known;
  Symbol& made = symbols_.emplace_back();
  made.name = name;
  made.scope = scope;
  if (last_) {
    last_->next = &made;
  } else {
    first_ = &made;
  }
  last_ = &made;
  index_.emplace(Key{name, scope}, &made);
  if (scope) scope->locals.push_back(&made);
  return &made;
}
