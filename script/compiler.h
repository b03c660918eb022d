// The compiler: turns a statement list of the syntax tree (a script's root or a
// function's body) into Code, once before it runs. The tree stays as the parser
// built it; the Code points into its symbols.
#pragma once

#include <memory>

#include "script/code.h"

// The Code of a statement list, ending with Op::End; null gives a Code that does
// nothing. Whether a variable is an array is read here, not at run time: only
// the parse sets a symbol's kind.
std::unique_ptr<Code> compile(const SyntaxNode* statements);
