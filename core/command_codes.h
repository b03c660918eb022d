// The type codes of the commands a script posts: 0 the scene, 1..16 the element
// classes, 50..53 the verbs. They travel in the state byte of a command slot,
// so their values are part of the hand-over and never change.
#pragma once

#include <cstdint>

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

// Type codes 1..16 name the element classes; 0 is the scene.
constexpr int CLASS_TYPE_CODES = 17;
