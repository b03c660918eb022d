// The language's reserved words with the token each scans as and what kind of
// word it is: the table that the editor files are generated from and that the
// grammar takes a class keyword's text from when it stands as a command name.
// The lexer's rules (script/lexer.l) are the other half: tests/script checks
// that each word scans as its token and that no keyword token is missing here.
#pragma once

#include <span>

enum class WordKind {
  Statement,  // if, while, print, exit ...
  BuiltIn,    // sin, random, time, int ...
  Verb,       // load, new, delete, status: expressions answered by the render thread
  Class,      // object, light, scene ...: the keyword of a scene statement
};

struct LanguageWord {
  const char* text;
  int token;
  WordKind kind;
};

// Every reserved word, in the order of the lexer's rules.
std::span<const LanguageWord> language_words();

// The text of a keyword token (the first word that scans as it); null for a
// token that is no word.
const char* keyword_text(int token);
