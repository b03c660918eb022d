// The script's scanner: the text of script.txt in, one token at a time out, with
// the current line that the parser's messages quote. Main thread, at start-up
// only. The token codes come from the grammar's %token order (script/grammar.y);
// the lexer rules in script/lexer.l return them by name.
#pragma once

#include <cstdio>
#include <string>

#include "script/grammar.hpp"
#include "script/source_spot.h"

using TokenValue = SCRIPTSTYPE;

class Lexer {
 public:
  // Takes the file over: it is closed at the end of input or with the lexer.
  explicit Lexer(FILE* input);
  ~Lexer();
  Lexer(const Lexer&) = delete;
  Lexer& operator=(const Lexer&) = delete;

  // The next token, 0 at end of input. For T_ID, value->text is a new copy of the
  // identifier (malloc'ed; the taker frees it); for T_NUM, value->number is set;
  // other tokens leave the value as it was.
  int next_token(TokenValue* value);

  void close_input();

  int line = 1;  // current line, counted from 1

  // The token next_token returned last: where it starts and its text. At the
  // end of input: the place just after the last token, and no text.
  SourceSpot token_at{1, 1};
  std::string token_text;
  // Where a block comment left open at the end of input began; line 0: none.
  SourceSpot unclosed_comment;

  // For the scanner's rules.
  int32_t column = 1;    // column of the next character
  SourceSpot match_at;   // start of the rule matched last
  SourceSpot comment_at; // start of the block comment being skipped
  void new_line() {
    ++line;
    column = 1;
  }

 private:
  void* scanner_ = nullptr;
  FILE* input_ = nullptr;
  SourceSpot end_of_last_{1, 1};
};
