// The hand-over between the script thread and the render thread: a ring of 100
// 44-byte CommandSlot records. The state byte is the sole synchronisation: the
// handing side writes the payload first and the state byte last (release), the
// other side reads the state byte first (acquire). Both sides poll with 10 ms sleeps.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "core/command_codes.h"
#include "script/source_spot.h"

constexpr int RING_SLOTS = 100;
constexpr int COMMAND_NAME_SIZE = 23;   // at most 22 characters and the NUL
constexpr uint8_t SLOT_FREE = 99;       // the character 'c': free or done

struct CommandSlot {
  uint8_t state;                  // SLOT_FREE, or the type code of a pending command
  char name[COMMAND_NAME_SIZE];   // command word, class name or file name
  float args[5];                  // a0..a4; the result replaces a0 after execution
};
static_assert(sizeof(CommandSlot) == 44, "CommandSlot is the 44-byte hand-over record");

// Milliseconds either side sleeps between looks at a slot it waits for.
constexpr int RING_POLL_MS = 10;

// The only record the script thread and the render thread share.
struct CommandRing {
  CommandSlot slots[RING_SLOTS];
  // Where in the script each pending command was posted, for the diagnostic of
  // one that fails; written with the slot's payload, before its state byte.
  SourceSpot origins[RING_SLOTS];
  int32_t write_index = 0;  // next slot the script thread fills; script thread only
  int32_t read_index = 0;   // next slot the render thread executes; render thread only

  // Every slot free, both indices 0. Only while no command is in flight.
  void reset();
};

// The state byte: read with acquire, written with release, so that the payload
// written before it is seen by whoever sees the new state.
uint8_t slot_state(const CommandSlot& slot);
void set_slot_state(CommandSlot& slot, uint8_t state);

// Script thread. Copies command (its state byte is the type code) into the next
// slot once that slot is free, then publishes it. With wait, waits until the
// render thread has executed it and returns its result, truncated toward zero;
// otherwise returns 0. Returns 0 without posting or waiting further once stop is set.
// `origin` is the statement's place in the script.
int32_t post_command(CommandRing& ring, const CommandSlot& command, bool wait,
                     const std::atomic<bool>& stop, SourceSpot origin = {});

// Runs one command on the render thread: 0 when handled (also when ignored),
// non-zero when unrecognised; writes the result.
using CommandExecutor =
    std::function<int(int type, const char* name, const float* args, int32_t* result)>;

// Render thread. Executes, in order, the commands that were pending when it began
// (at most RING_SLOTS); a command with an empty name is released with result 0
// without being executed. An unrecognised command is reported (with its
// origin), its slot left pending, and false returned; true otherwise.
bool drain_ring(CommandRing& ring, const CommandExecutor& execute);
