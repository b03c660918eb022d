// The lightmap baker: one cRadio bakes lightmaps for the lit mesh objects by
// rendering the scene with GL itself. For every triangle it looks from sample
// points on the triangle along the face normal, averages each view into one
// colour, and draws the samples Gouraud-shaded into the triangle's cell of the
// material's lightmap. Between `calc` and finishing the lightmaps sit in the
// materials' baseTexture (what the objects show); finishing moves them to
// lightmapTexture (drawn over the colour map from then on), writes them as PNG
// images beside the meshes and rewrites the meshes' .gfx caches with the
// lightmap coordinates, by which a later load finds the images again.
//
// Sample views and lightmaps are drawn into an off-screen framebuffer of their
// own size, so the window size does not limit them. Everything runs on the
// render thread inside the command that triggers it.
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "core/element_class.h"
#include "core/texture_slot.h"

struct Engine;
struct cObject;

// Running material numbers 1..254 get a lightmap buffer.
constexpr int MAX_LIGHTMAPS = 255;

// One material the last `calc` prepared; finishing works through these.
struct BakedMaterial {
  int object = 0;              // slot in the object table
  const cObject* mesh = nullptr;  // the object that was there
  int part = 0, group = 0;
  int number = 0;              // running material number
  bool baked = false;          // has a layout and a buffer (else left as it was)
  // Where its triangles are drawn into the lightmap. The material's own
  // lightmapCoords are these moved one pixel into each cell: what it is drawn
  // through, during the bake as after it.
  std::vector<int32_t> layout;
};

// The off-screen framebuffer of the sample views and lightmaps.
struct BakeTarget {
  GLuint framebuffer = 0, color = 0, depth = 0, stencil = 0;
  int size = 0;
};

struct cRadio {
  explicit cRadio(Engine* owner) : engine(owner) {}

  std::recursive_mutex lock;   // held by calc and by finishing
  bool savemode = true;        // write PNG files and .gfx caches when finishing
  float litpower = 4.0f;       // gain of a sample that is not dark
  uint8_t savedMultisample = 0;
  int32_t polydiv = 1;
  Engine* engine;
  float savedCamPos[3] = {0, 0, 0};
  float savedCamRot[3] = {0, 0, 0};
  GLuint quadList = 0;         // full-screen quad of the weighting image
  int32_t lambert = 0;         // texture slot of "lambert"; 0: no weighting
  int32_t lmsize = 256;        // lightmap edge, pixels
  int32_t scrsize = 64;        // sample view edge, pixels
  std::vector<uint8_t> samples;     // RGB per sample of the material being baked
  int32_t lmangle = 120;
  std::vector<uint8_t> viewBuffer;  // one sample view read back
  std::vector<uint8_t> lightmaps[MAX_LIGHTMAPS];  // RGB, rows bottom-up, by running material number
  std::string names[MAX_LIGHTMAPS];
  int32_t darklevel = 1;       // views whose channel means are all at or below it get no gain

  std::vector<BakedMaterial> prepared;
  BakeTarget target;
};

// `new cRad`: a baker with its defaults; the engine's lighting and multisampling
// go off and the weighting image "lambert" is loaded when present.
cRadio* newRadio(Engine* engine);
// The `calc` command.
void calcLightmaps(cRadio* radio);
// Swaps the textures back, insets the coordinates, writes the images and
// caches (savemode) and gives the engine its camera, multisampling and
// projection back. Run by delete, by a replacing new and by destroyScene.
void finishRadio(cRadio* radio);
// The `texreset` command: every material loses its lightmap and coordinates.
void resetLightmaps(cRadio* radio);
// Whether `slot` holds a lightmap buffer the baker made (the only slots it frees).
bool isBakerTexture(const Engine* engine, int slot);

extern const ClassType radio_class;
