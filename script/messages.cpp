#include "script/messages.h"

#include <atomic>
#include <cctype>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include "core/exit_status.h"
#include "platform/platform.h"
#include "script/script_activity.h"
#include "script/syntax_tree.h"

namespace {

std::atomic<MessageSink> message_sink{nullptr};
std::atomic<bool> errors_keep_running{false};
std::atomic<bool> check_only{false};

template <typename... Args>
std::string format(const char* pattern, Args... args) {
  int length = std::snprintf(nullptr, 0, pattern, args...);
  std::string text(length > 0 ? length : 0, '\0');
  std::snprintf(text.data(), text.size() + 1, pattern, args...);
  return text;
}

// The script being run, split into lines. Replaced whole when a script is
// parsed (the watched script's reload), read by diagnostics from any thread.
struct DiagnosticSource {
  std::string path = "script.txt";
  std::vector<std::string> lines;
};

std::mutex source_mutex;
std::shared_ptr<const DiagnosticSource> diagnostic_source = std::make_shared<DiagnosticSource>();

std::shared_ptr<const DiagnosticSource> current_source() {
  std::lock_guard<std::mutex> lock(source_mutex);
  return diagnostic_source;
}

// The source line `line` (from 1), without its line end; null when there is none.
const std::string* source_line(const DiagnosticSource& source, int32_t line) {
  if (line < 1 || static_cast<size_t>(line) > source.lines.size()) return nullptr;
  return &source.lines[line - 1];
}

// Render thread only: set by the dispatcher, read by the ring's drain.
thread_local std::string command_failure;

}  // namespace

void set_message_sink(MessageSink sink) { message_sink.store(sink); }

void show_message(const char* caption, const std::string& text) {
  if (MessageSink sink = message_sink.load()) {
    sink(caption, text.c_str());
    return;
  }
  // A real box blocks the calling thread until the person answers it.
  bool blocks = !platform::is_headless();
  if (blocks) begin_script_wait(ScriptWait::MessageBox);
  platform::message_box(caption, text.c_str());
  if (blocks) end_script_wait();
}

void show_print(const std::string& text) {
  if (!message_sink.load() && !platform::is_headless()) {
    std::printf("%s: %s\n", SCRIPT_CAPTION, text.c_str());
    std::fflush(stdout);
  }
  show_message(SCRIPT_CAPTION, text);
}

void set_errors_keep_running(bool keep) { errors_keep_running.store(keep); }

void set_check_only(bool check) { check_only.store(check); }

void set_diagnostic_source(const std::string& path, const std::string& text) {
  auto source = std::make_shared<DiagnosticSource>();
  source->path = path;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    source->lines.push_back(std::move(line));
    start = end + 1;
  }
  std::lock_guard<std::mutex> lock(source_mutex);
  diagnostic_source = std::move(source);
}

std::string source_word(SourceSpot at) {
  auto source = current_source();
  const std::string* line = source_line(*source, at.line);
  if (!line || at.column < 1) return {};
  size_t start = static_cast<size_t>(at.column - 1), end = start;
  auto word_char = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  while (end < line->size() && word_char((*line)[end])) ++end;
  return line->substr(start, end - start);
}

void print_diagnostic(const char* severity, SourceSpot at, const std::string& what, const std::string& token) {
  auto source = current_source();
  std::string text = source->path;
  if (at.line > 0) text += format(":%d", at.line);
  if (at.line > 0 && at.column > 0) text += format(":%d", at.column);
  text += format(": %s: %s", severity, what.c_str());
  text += token.empty() ? std::string(" at end of input") : " near '" + token + "'";
  text += '\n';
  if (const std::string* line = source_line(*source, at.line)) {
    text += *line + '\n';
    // The caret keeps the line's tabs so that it stands under the column.
    std::string caret;
    for (int32_t i = 0; i + 1 < at.column && static_cast<size_t>(i) < line->size(); ++i)
      caret += (*line)[i] == '\t' ? '\t' : ' ';
    text += caret + "^\n";
  }
  // One write, so that diagnostics from two threads do not interleave.
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
}

// A script error: the diagnostic, then the message box and the quit request,
// or, while errors keep the program running (watching the script for
// changes), the message on standard error and in the title bar, and the
// window stays open.
static void report_error(const char* caption, const std::string& text, bool quit) {
  note_script_error();
  if (check_only.load()) return;
  if (errors_keep_running.load()) {
    std::fprintf(stderr, "%s: %s\n", caption, text.c_str());
    std::string title = text;
    for (char& c : title)
      if (c == '\n') c = ' ';
    platform::set_window_title(("Test - " + title).c_str());
    return;
  }
  show_message(caption, text);
  if (quit) platform::post_quit();
}

void report_syntax_error(int line, const char* what, SourceSpot at, const std::string& token) {
  print_diagnostic("error", at, what, token);
  report_error(PARSE_CAPTION, format("Script error\nline %d: %s", line, what), true);
}

void report_array_too_large(SourceSpot at, const std::string& name, const std::string& size_text) {
  std::string what = format("array '%s' too large (at most %d elements)", name.c_str(), MAX_ARRAY_ELEMENTS);
  print_diagnostic("error", at, what, size_text);
  report_error(PARSE_CAPTION, format("Script error\nline %d: %s", at.line, what.c_str()), true);
}

void report_argument_count(int line, const std::string& function, int given, int expected, SourceSpot at) {
  std::string what = format("wrong number of arguments in call to '%s' (%d instead of %d)", function.c_str(),
                            given, expected);
  print_diagnostic("error", at, what, function);
  report_error(SCRIPT_CAPTION, format("script error\nline %d\n%s", line, what.c_str()), false);
}

void note_command_failure(const std::string& what) { command_failure = what; }

void clear_command_failure() { command_failure.clear(); }

void report_unrecognised_command(const char* name, SourceSpot at) {
  std::string token = source_word(at);
  if (token.empty()) token = name;
  print_diagnostic("error", at, command_failure.empty() ? "unrecognized command" : command_failure, token);
  command_failure.clear();
  report_error(SCRIPT_CAPTION, format("script error\nunrecognized command: <%s>", name), true);
}

void report_warning(SourceSpot at, const std::string& what, const std::string& token) {
  print_diagnostic("warning", at, what, token);
  if (check_only.load() || errors_keep_running.load() || message_sink.load() || !platform::is_headless()) return;
  std::string record = format("script warning\nline %d: %s", at.line, what.c_str());
  if (!token.empty()) record += " near '" + token + "'";
  platform::message_box(SCRIPT_CAPTION, record.c_str());  // headless: printed, never a box
}
