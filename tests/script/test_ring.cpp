// The ring between a real script thread and a drain loop of the test's own
// standing in for the render thread: order, back-pressure, verbs waiting for
// their result, empty names, unrecognised commands and stopping.
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "script/script_thread.h"
#include "script_helpers.h"

namespace {

using namespace std::chrono_literals;

struct Executed {
  int type;
  std::string name;
  float args[5];
};

// Records every command handed to it; a chosen name is unrecognised, verbs get
// verb_result.
struct Dispatcher {
  std::vector<Executed> executed;
  std::string unknown;
  int32_t verb_result = 0;
  std::chrono::milliseconds per_command{0};

  CommandExecutor executor() {
    return [this](int type, const char* name, const float* args, int32_t* result) {
      if (name == unknown) return 1;
      executed.push_back({type, name, {args[0], args[1], args[2], args[3], args[4]}});
      if (type >= CMD_LOAD) *result = verb_result;
      if (per_command.count() > 0) std::this_thread::sleep_for(per_command);
      return 0;
    };
  }
};

bool start(ScriptThread* thread, const std::string& text) {
  auto script = parse_text(text);
  EXPECT_EQ(script->errors, 0) << text;
  return thread->start(std::move(script), 1);
}

// Drains every few milliseconds until the script has finished, or gives up.
bool drain_until_finished(ScriptThread* thread, Dispatcher* dispatcher,
                          std::chrono::milliseconds limit = 10s) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (!thread->finished()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    if (!thread->drain(dispatcher->executor())) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

bool wait_for(const std::function<bool()>& condition, std::chrono::milliseconds limit = 2s) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

TEST(Ring, ManyStatementsArriveOnceInOrderWhileTheScriptWaitsForSlots) {
  MessageCapture capture;
  std::string text;
  for (int i = 0; i < 150; ++i) text += "object " + std::to_string(i) + " position (1, 2, 3);\n";
  ScriptThread thread;
  ASSERT_TRUE(start(&thread, text));

  // Undrained, the script fills the ring and waits for a free slot.
  std::this_thread::sleep_for(150ms);
  EXPECT_FALSE(thread.ended());

  // One drain takes only what was pending when it began, even though the
  // script refills the freed slots meanwhile.
  Dispatcher dispatcher;
  dispatcher.per_command = 1ms;
  ASSERT_TRUE(thread.drain(dispatcher.executor()));
  EXPECT_EQ(dispatcher.executed.size(), static_cast<size_t>(RING_SLOTS));

  dispatcher.per_command = 0ms;
  ASSERT_TRUE(drain_until_finished(&thread, &dispatcher));
  ASSERT_EQ(dispatcher.executed.size(), 150u);
  for (int i = 0; i < 150; ++i) {
    EXPECT_EQ(dispatcher.executed[i].type, CMD_OBJECT);
    EXPECT_EQ(dispatcher.executed[i].args[0], static_cast<float>(i));
  }
  EXPECT_TRUE(capture.messages().empty());
}

TEST(Ring, AVerbReturnsOnlyAfterTheCommandsBeforeItRan) {
  ScriptThread thread;
  ASSERT_TRUE(start(&thread,
                    "object 1 a; object 2 b; object 3 c; object 4 d;\n"
                    "n = new cLight(0);\n"
                    "object n after;\n"));
  Dispatcher dispatcher;
  dispatcher.verb_result = 5;

  // The script stops at the verb: nothing after it is posted until it has run.
  std::this_thread::sleep_for(100ms);
  ASSERT_TRUE(thread.drain(dispatcher.executor()));
  ASSERT_EQ(dispatcher.executed.size(), 5u);
  EXPECT_EQ(dispatcher.executed[3].name, "d");
  EXPECT_EQ(dispatcher.executed[4].type, CMD_NEW);
  EXPECT_EQ(dispatcher.executed[4].name, "cLight");
  EXPECT_EQ(dispatcher.executed[4].args[0], 0.0f);

  ASSERT_TRUE(drain_until_finished(&thread, &dispatcher));
  ASSERT_EQ(dispatcher.executed.size(), 6u);
  EXPECT_EQ(dispatcher.executed[5].args[0], 5.0f);  // the verb's result reached the script
}

TEST(Ring, AnEmptyNameIsReleasedWithResultZeroWithoutDispatch) {
  CommandRing ring;
  ring.reset();
  std::atomic<bool> stop{false};
  std::atomic<int32_t> result{-1};
  std::thread script([&] {
    CommandSlot command{};
    command.state = CMD_NEW;
    command.args[0] = 42.0f;  // would come back as the result if nobody overwrote it
    result = post_command(ring, command, true, stop);
  });

  int dispatched = 0;
  CommandExecutor count = [&](int, const char*, const float*, int32_t* out) {
    ++dispatched;
    *out = 9;
    return 0;
  };
  ASSERT_TRUE(wait_for([&] {
    drain_ring(ring, count);
    return result.load() != -1;
  }));
  script.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_EQ(dispatched, 0);
  EXPECT_EQ(slot_state(ring.slots[0]), SLOT_FREE);
  EXPECT_EQ(ring.read_index, 1);
}

TEST(Ring, AnUnrecognisedCommandStopsDrainingAndTheScriptWithIt) {
  MessageCapture capture;
  ScriptThread thread;
  ASSERT_TRUE(start(&thread, "object 1 first; scene nonsense (1, 2); object 2 later; n = new cLight(0); print n;"));
  Dispatcher dispatcher;
  dispatcher.unknown = "nonsense";
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(thread.drain(dispatcher.executor()));
  ASSERT_EQ(dispatcher.executed.size(), 1u);
  EXPECT_EQ(dispatcher.executed[0].name, "first");

  std::vector<Message> messages = capture.messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Talpine Engine 2.02");
  EXPECT_EQ(messages[0].text, "script error\nunrecognized command: <nonsense>");
  EXPECT_TRUE(script_error_noted());

  // The faulty slot stays pending and the runner drains no more: the later
  // commands never run, and the verb behind them never returns to the script.
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(thread.finished());
  EXPECT_FALSE(thread.ended());
  EXPECT_EQ(dispatcher.executed.size(), 1u);
  EXPECT_EQ(capture.messages().size(), 1u);
}

TEST(Ring, FinishedOnlyOnceEveryPostedCommandHasRun) {
  ScriptThread thread;
  EXPECT_FALSE(thread.started());
  ASSERT_TRUE(start(&thread, "object 1 a;"));
  ASSERT_TRUE(wait_for([&] { return thread.ended(); }));
  EXPECT_FALSE(thread.finished());  // the thread is done, its command is not
  Dispatcher dispatcher;
  ASSERT_TRUE(thread.drain(dispatcher.executor()));
  EXPECT_TRUE(thread.finished());
}

TEST(Ring, AScriptWithCarriageReturnLineEndsRuns) {
  ScriptThread thread;
  ASSERT_TRUE(start(&thread, "x = 2;\r\n// note\r\nobject x position (x, 0, 0);\r\n"));
  Dispatcher dispatcher;
  ASSERT_TRUE(drain_until_finished(&thread, &dispatcher));
  ASSERT_EQ(dispatcher.executed.size(), 1u);
  EXPECT_EQ(dispatcher.executed[0].args[1], 2.0f);
}

TEST(Ring, StoppingEndsAScriptThatSleepsLoopsOrWaits) {
  const char* scripts[] = {
      "sleep 100000;",                   // sleeping
      "while (1) { x = x + 1; }",        // looping without posting
      "n = new cLight(0);",              // waiting for a verb's result
      "while (1) object 1 spin;",        // waiting for a free slot
  };
  for (const char* text : scripts) {
    ScriptThread thread;
    ASSERT_TRUE(start(&thread, text));
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(thread.ended()) << text;
    thread.stop();
    EXPECT_TRUE(wait_for([&] { return thread.ended(); }, 1s)) << text;
  }
}

TEST(Ring, ThreadOutlivesItsOwnerSafely) {
  // The owner lets go while the script still waits on the ring; the thread must
  // wind down on its own, touching only what it shares.
  for (int i = 0; i < 20; ++i) {
    ScriptThread thread;
    ASSERT_TRUE(start(&thread, "while (1) { object 1 spin; sleep 1; }"));
  }
  std::this_thread::sleep_for(50ms);
}

}  // namespace
