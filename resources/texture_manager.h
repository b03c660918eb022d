// The texture table: 255 slots inside the Engine, images read through FreeImage
// into tightly packed power-of-two buffers, uploads with the engine's filter mode.
// Everything else refers to textures by slot number; slot 0 means "no texture"
// and is kept for the font ("FONT"), so every other texture takes the lowest free
// slot from 1. Render thread only; the operations that create textures make the
// engine's GL context current themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct Engine;
struct cObject;

// What the `load` verb finds in the data folder for a name (probe order:
// gfx, 3ds, obj, gltf, glb, png, jpg, vp, fp, then music tracks).
enum class LoadKind { Mesh = 0, Texture = 1, VertexProgram = 2, FragmentProgram = 3, NotFound = 4, Music = 5 };

// The name the font's image is loaded under; the only name that may take slot 0.
constexpr const char* FONT_TEXTURE_NAME = "FONT";

// Deletes every GL texture of the table and empties all 255 slots. GL start-up.
void clearTextures(Engine* engine);
// Lowest in-use slot whose name equals `name` (case-sensitive), or -1.
int findTexture(const Engine* engine, const char* name);
// Lowest free slot from 1 (slot 0 is the font's), or -1 when the table is full.
int findFreeTextureSlot(const Engine* engine);

// Reads data folder + name + ".png" (else ".jpg") into a bottom-up, tightly
// packed buffer of power-of-two size (64..4096, capped by max_texture_size), in
// RGB(A) or luminance order. Null when no file, when the image cannot be read,
// and when its header alone shows it too big to hold (checked before decoding).
std::unique_ptr<uint8_t[]> loadImagePixels(const Engine* engine, const char* name,
                                           int* width, int* height, int* bytes_per_pixel);
// The same for an encoded image (any format FreeImage reads) held in memory.
std::unique_ptr<uint8_t[]> decodeImagePixels(const Engine* engine, const uint8_t* bytes, size_t size,
                                             int* width, int* height, int* bytes_per_pixel);

// What uploadTexture sets for the engine's (normalised) filter mode.
struct TextureFilter {
  int mode;           // 0..6 after normalisation
  int min_filter;     // GL_TEXTURE_MIN_FILTER
  int mag_filter;     // GL_TEXTURE_MAG_FILTER, 0: left at the GL default
  float anisotropy;   // GL_TEXTURE_MAX_ANISOTROPY_EXT, 0: not set
  bool mipmaps;       // built with gluBuild2DMipmaps
};
// Normalises tfilter against trilinear and anisotropic (the change stays in the
// engine) and returns the parameters of the resulting mode.
TextureFilter normaliseTextureFilter(Engine* engine);

// Sets the filters of the texture bound to `target` and uploads the pixels;
// nothing when pixels is null. internal_format is the component count 1, 3 or 4.
void uploadTexture(Engine* engine, const uint8_t* pixels, int internal_format, unsigned format,
                   int width, int height, unsigned target);

// Slot of the texture loaded under `name` (an existing one is reused, whatever
// its wrap mode), or 0 on any failure. wrap applies to S and T.
int loadTexture(Engine* engine, const char* name, int wrap);
// loadTexture for an image held in memory (embedded in a mesh file), recorded
// in the table under `name`; a texture already loaded under it is reused and
// the bytes are not decoded.
int loadTextureBytes(Engine* engine, const char* name, const uint8_t* bytes, size_t size, int wrap);
// Whether a slot holds a texture loadTextureBytes made: it has no file in the
// data folder unless someone writes one (see writeLoadedGfx).
bool isEmbeddedTexture(const Engine* engine, int slot);
// Deletes the texture of a slot and empties it. Slot 0 (the font's, and "no
// texture" for everyone else) and numbers outside 1..254 are ignored.
void freeTexture(Engine* engine, int slot);
// The same for any slot including 0: for the font, which owns slot 0.
void releaseTextureSlot(Engine* engine, int slot);
// tfilter = mode with the anisotropic and trilinear switches that go with it.
void setTextureFilter(Engine* engine, int mode);

// Binds the colour map `name` to one material group; a 32-bit image marks the
// group transparent and the object blended. Out-of-range numbers are ignored.
// Clamped to its edges, or repeated where the part's texture coordinates go
// beyond 0..1.
void loadMaterialTextures(cObject* object, int part, int group, const char* name);
// The same with the image held in memory (see loadTextureBytes).
void loadMaterialTextureBytes(cObject* object, int part, int group, const char* name, const uint8_t* bytes,
                              size_t size);

// Writes the texture of a slot, read back from GL (level 0, as uploaded), as a
// PNG file at `path`; false when the slot holds nothing or the write fails.
bool saveTexturePng(Engine* engine, int slot, const char* path);

// What `load` finds for a name: the first of data folder + name + "." + gfx,
// 3ds, obj (mesh), png, jpg (texture), vp, fp (programs), then ogg, wav,
// flac, mp3 (music) that exists.
LoadKind classifyLoadFile(const Engine* engine, const char* name);
// The file names classifyLoadFile tries for `name`, in order, comma-separated.
std::string loadProbeNames(const char* name);

// 64, 128, ..., 4096: the largest not above n (64 for anything smaller).
int floorPowerOfTwo(int n);
