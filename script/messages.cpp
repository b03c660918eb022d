#include "script/messages.h"

#include <atomic>
#include <cstdio>

#include "core/exit_status.h"
#include "platform/platform.h"
#include "script/script_activity.h"

namespace {

std::atomic<MessageSink> message_sink{nullptr};
std::atomic<bool> errors_keep_running{false};

template <typename... Args>
std::string format(const char* pattern, Args... args) {
  int length = std::snprintf(nullptr, 0, pattern, args...);
  std::string text(length > 0 ? length : 0, '\0');
  std::snprintf(text.data(), text.size() + 1, pattern, args...);
  return text;
}

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

void set_errors_keep_running(bool keep) { errors_keep_running.store(keep); }

// A script error: the message box and the quit request, or, while errors keep
// the program running (watching the script for changes), the message on
// standard error and in the title bar, and the window stays open.
static void report_error(const char* caption, const std::string& text, bool quit) {
  note_script_error();
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

void report_syntax_error(int line, const char* what) {
  report_error(PARSE_CAPTION, format("Script error\nline %d: %s", line, what), true);
}

void report_argument_count(int line, const std::string& function, int given, int expected) {
  report_error(SCRIPT_CAPTION,
               format("script error\nline %d\nwrong number of arguments in call to '%s' (%d instead of %d)",
                      line, function.c_str(), given, expected),
               false);
}

void report_unrecognised_command(const char* name) {
  report_error(SCRIPT_CAPTION, format("script error\nunrecognized command: <%s>", name), true);
}
