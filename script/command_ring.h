// The hand-over between the script thread and the render thread: a ring of 100
// 44-byte CommandSlot records. The state byte is the sole synchronisation: the
// handing side writes the payload first and the state byte last (release), the
// other side reads the state byte first (acquire). Both sides poll with 10 ms sleeps.
#pragma once

#include <cstdint>

constexpr int RING_SLOTS = 100;
constexpr int COMMAND_NAME_SIZE = 23;   // at most 22 characters and the NUL
constexpr uint8_t SLOT_FREE = 99;       // the character 'c': free or done

// Type codes carried in the state byte of a pending slot.
enum CommandType : uint8_t {
  CMD_SCENE = 0,
  CMD_OBJECT = 1,
  CMD_TEXGFX = 2,
  CMD_WATER = 3,
  CMD_PARTICLE = 4,
  CMD_FLARE = 5,
  CMD_LIGHT = 6,
  CMD_SKYBOX = 7,
  CMD_FRAMER = 8,
  CMD_DEFORM = 9,
  CMD_RADIO = 10,
  CMD_BLOOM = 11,
  CMD_BLUR = 12,
  CMD_SHADOW = 13,
  CMD_CSG = 14,
  CMD_FLUIDE = 15,
  CMD_GLOW = 16,
  CMD_LOAD = 50,
  CMD_DELETE = 51,
  CMD_NEW = 52,
  CMD_STATUS = 53,
};

struct CommandSlot {
  uint8_t state;                  // SLOT_FREE, or the type code of a pending command
  char name[COMMAND_NAME_SIZE];   // command word, class name or file name
  float args[5];                  // a0..a4; the result replaces a0 after execution
};
static_assert(sizeof(CommandSlot) == 44, "CommandSlot is the 44-byte hand-over record");
