// Every message the script subsystem shows leaves through here: syntax errors,
// wrong argument counts, unrecognised commands, warnings and the script's own
// print. Each error becomes a message box with an OK button and no owner
// window (headless: one printed record), and also one compiler-style
// diagnostic on standard error that names the file, line and column, quotes
// the line and puts a caret under the column, so that an editor can jump to it:
//
//   Data/script.txt:3:5: error: syntax error near '='
//   y = = 2;
//       ^
//
// Warnings are diagnostics only (headless, also a printed record). Safe from
// any thread; a box blocks only the calling thread.
#pragma once

#include <string>

#include "script/source_spot.h"

constexpr const char* PARSE_CAPTION = "Test";
constexpr const char* SCRIPT_CAPTION = "Talpine Engine 2.02";

// Where messages go instead of the message box; null restores the box. For
// tests; the sink may be called from the script and the render thread alike.
using MessageSink = void (*)(const char* caption, const char* text);
void set_message_sink(MessageSink sink);

void show_message(const char* caption, const std::string& text);

// The script's `print`: the box, and in a window also the record on standard
// output, so that a run leaves its prints behind (headless prints it anyway).
void show_print(const std::string& text);

// While set (the script is watched for changes), a script error does not end
// the program: its message goes to standard error and the title bar instead of
// a box, and no quit request is posted.
void set_errors_keep_running(bool keep);

// While set (talpine --check), errors and warnings are diagnostics on standard
// error and nothing else: no box, no record, no quit request.
void set_check_only(bool check);

// The script's text, whose lines diagnostics quote, and the file name they
// give. The parser sets it for every script it reads.
void set_diagnostic_source(const std::string& path, const std::string& text);

// The word (letters, digits, underscores) that starts at `at` in the source;
// empty when there is none.
std::string source_word(SourceSpot at);

// One diagnostic on standard error: "PATH:LINE:COLUMN: SEVERITY: WHAT near
// 'TOKEN'" (with an empty token: "WHAT at end of input"), the line and a caret.
void print_diagnostic(const char* severity, SourceSpot at, const std::string& what, const std::string& token);

// "Script error\nline %d: %s" under the parse caption; posts the quit request.
// `line` is the lexer's current line; `at` and `token` are those of the token
// at which the parse failed (token empty at the end of input).
void report_syntax_error(int line, const char* what, SourceSpot at, const std::string& token);
// An array declared larger than MAX_ARRAY_ELEMENTS: a parse error at its line.
void report_array_too_large(SourceSpot at, const std::string& name, const std::string& size_text);
// The wrong-argument-count message of a call; no quit request (parsing goes on).
void report_argument_count(int line, const std::string& function, int given, int expected, SourceSpot at);

// Render thread: why the command about to be reported as unrecognised failed,
// for its diagnostic (a load names the files it tried). Each drained command
// starts without one.
void note_command_failure(const std::string& what);
void clear_command_failure();
// "script error\nunrecognized command: <%s>"; posts the quit request. `at` is
// where the script posted the command.
void report_unrecognised_command(const char* name, SourceSpot at = {});

// A trap the script falls into and keeps running through: a diagnostic, and
// headless a record "script warning\nline %d: ..." on standard output.
void report_warning(SourceSpot at, const std::string& what, const std::string& token);
