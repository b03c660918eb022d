// The one keyword matcher of the command set. Every command list (the scene
// commands, each element class, `new`, `delete`, `status`) is a static ordered
// array of {keyword, handler}, written in the order scripts depend on, and this
// matcher walks it: the first keyword that occurs anywhere in the name wins
// (case-sensitive), so "restart" runs "start" and a name holding two keywords
// runs the earlier one. The order of each array is therefore part of the
// script interface; keep it as listed.
#pragma once

#include <cstddef>
#include <cstring>
#include <span>

template <typename Handler>
struct Keyword {
  const char* keyword;
  Handler handler;
};

// The first entry whose keyword occurs in `name`, or null.
template <typename Handler>
const Keyword<Handler>* match_keyword(std::span<const Keyword<Handler>> table, const char* name) {
  for (const Keyword<Handler>& entry : table)
    if (std::strstr(name, entry.keyword) != nullptr) return &entry;
  return nullptr;
}

template <typename Handler, std::size_t N>
const Keyword<Handler>* match_keyword(const Keyword<Handler> (&table)[N], const char* name) {
  return match_keyword(std::span<const Keyword<Handler>>(table), name);
}
