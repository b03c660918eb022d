#include "script/messages.h"

#include <atomic>
#include <cstdio>

#include "core/exit_status.h"
#include "platform/platform.h"

namespace {

std::atomic<MessageSink> message_sink{nullptr};

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
  platform::message_box(caption, text.c_str());
}

void report_syntax_error(int line, const char* what) {
  note_script_error();
  show_message(PARSE_CAPTION, format("Script error\nline %d: %s", line, what));
  platform::post_quit();
}

void report_argument_count(int line, const std::string& function, int given, int expected) {
  note_script_error();
  show_message(SCRIPT_CAPTION,
               format("script error\nline %d\nwrong number of arguments in call to '%s' (%d instead of %d)",
                      line, function.c_str(), given, expected));
}

void report_unrecognised_command(const char* name) {
  note_script_error();
  show_message(SCRIPT_CAPTION, format("script error\nunrecognized command: <%s>", name));
  platform::post_quit();
}
