// Every message the script subsystem shows leaves through here: syntax errors,
// wrong argument counts, unrecognised commands and the script's own print. Each
// becomes a message box with an OK button and no owner window (headless: one
// printed record). Safe from any thread; a box blocks only the calling thread.
#pragma once

#include <string>

constexpr const char* PARSE_CAPTION = "Test";
constexpr const char* SCRIPT_CAPTION = "Talpine Engine 2.02";

// Where messages go instead of the message box; null restores the box. For
// tests; the sink may be called from the script and the render thread alike.
using MessageSink = void (*)(const char* caption, const char* text);
void set_message_sink(MessageSink sink);

void show_message(const char* caption, const std::string& text);

// While set (the script is watched for changes), a script error does not end
// the program: its message goes to standard error and the title bar instead of
// a box, and no quit request is posted.
void set_errors_keep_running(bool keep);

// "Script error\nline %d: %s" under the parse caption; posts the quit request.
void report_syntax_error(int line, const char* what);
// The wrong-argument-count message of a call; no quit request (parsing goes on).
void report_argument_count(int line, const std::string& function, int given, int expected);
// "script error\nunrecognized command: <%s>"; posts the quit request.
void report_unrecognised_command(const char* name);
