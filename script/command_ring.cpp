// Posting to and draining the CommandRing. post_command runs on the script thread
// only, drain_ring on the render thread only; each index is private to its side.
#include "script/command_ring.h"

#include <cstring>

#include "core/convert.h"
#include "platform/platform.h"
#include "script/messages.h"
#include "script/script_activity.h"

uint8_t slot_state(const CommandSlot& slot) {
  return std::atomic_ref<uint8_t>(const_cast<uint8_t&>(slot.state)).load(std::memory_order_acquire);
}

void set_slot_state(CommandSlot& slot, uint8_t state) {
  std::atomic_ref<uint8_t>(slot.state).store(state, std::memory_order_release);
}

void CommandRing::reset() {
  for (CommandSlot& slot : slots) set_slot_state(slot, SLOT_FREE);
  write_index = 0;
  read_index = 0;
}

namespace {

// Polls until the slot is free again; false when stopped first.
bool wait_until_free(const CommandSlot& slot, const std::atomic<bool>& stop, ScriptWait kind) {
  if (slot_state(slot) == SLOT_FREE) return !stop.load(std::memory_order_relaxed);
  begin_script_wait(kind, &slot);
  while (slot_state(slot) != SLOT_FREE) {
    if (stop.load(std::memory_order_relaxed)) break;
    platform::sleep_ms(script_poll_ms());
  }
  // Reads the drain's frame after the slot's state (acquire), which the render
  // thread wrote after noting that frame.
  wait_for_draining_frame(current_script_activity(), stop);
  end_script_wait();
  return !stop.load(std::memory_order_relaxed);
}

}  // namespace

int32_t post_command(CommandRing& ring, const CommandSlot& command, bool wait,
                     const std::atomic<bool>& stop, SourceSpot origin) {
  CommandSlot& slot = ring.slots[ring.write_index];
  if (!wait_until_free(slot, stop, ScriptWait::WaitingForSlot)) return 0;
  std::memcpy(slot.name, command.name, sizeof slot.name);
  slot.name[COMMAND_NAME_SIZE - 1] = '\0';
  std::memcpy(slot.args, command.args, sizeof slot.args);
  ring.origins[ring.write_index] = origin;
  set_slot_state(slot, command.state);

  int32_t result = 0;
  if (wait) {
    if (!wait_until_free(slot, stop, ScriptWait::WaitingForResult)) return 0;
    result = float_to_int(slot.args[0]);
  }
  ring.write_index = (ring.write_index + 1) % RING_SLOTS;
  return result;
}

bool drain_ring(CommandRing& ring, const CommandExecutor& execute) {
  // Only what is pending now: commands posted meanwhile wait for the next drain,
  // so a script that keeps the ring full cannot hold the frame back.
  int pending = 0;
  while (pending < RING_SLOTS &&
         slot_state(ring.slots[(ring.read_index + pending) % RING_SLOTS]) != SLOT_FREE) {
    ++pending;
  }

  for (; pending > 0; --pending) {
    CommandSlot& slot = ring.slots[ring.read_index];
    int type = slot_state(slot);
    int32_t result = 0;
    clear_command_failure();
    if (slot.name[0] != '\0' && execute(type, slot.name, slot.args, &result) != 0) {
      report_unrecognised_command(slot.name, ring.origins[ring.read_index]);
      return false;
    }
    slot.args[0] = static_cast<float>(result);
    set_slot_state(slot, SLOT_FREE);
    ring.read_index = (ring.read_index + 1) % RING_SLOTS;
  }
  return true;
}
