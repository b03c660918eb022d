#include "resources/texture_manager.h"

#include <FreeImage.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/engine.h"
#include "core/window.h"
#include "media/music.h"
#include "mesh/object.h"
#include "platform/gl_api.h"
#include "platform/platform.h"

// ---- the table --------------------------------------------------------------

static void empty_slot(TextureSlot& slot) {
  if (slot.glName != 0 && slot.inUse) glDeleteTextures(1, &slot.glName);
  slot.glName = 0;
  slot.name[0] = '\0';
  slot.bytesPerPixel = 0;
  slot.inUse = 0;
  slot.width = 0;
  slot.height = 0;
}

void clearTextures(Engine* engine) {
  for (TextureSlot& slot : engine->resources.textures) empty_slot(slot);
}

int findTexture(const Engine* engine, const char* name) {
  for (int i = 0; i < MAX_TEXTURES; ++i) {
    const TextureSlot& slot = engine->resources.textures[i];
    if (slot.inUse && std::strcmp(slot.name, name) == 0) return i;
  }
  return -1;
}

int findFreeTextureSlot(const Engine* engine) {
  for (int i = 1; i < MAX_TEXTURES; ++i)
    if (!engine->resources.textures[i].inUse) return i;
  return -1;
}

void freeTexture(Engine* engine, int slot) {
  if (slot <= 0 || slot >= MAX_TEXTURES) return;
  empty_slot(engine->resources.textures[slot]);
}

void releaseTextureSlot(Engine* engine, int slot) {
  if (slot < 0 || slot >= MAX_TEXTURES) return;
  empty_slot(engine->resources.textures[slot]);
}

int floorPowerOfTwo(int n) {
  for (int size = 4096; size >= 64; size /= 2)
    if (size <= n) return size;
  return 64;
}

// ---- image files ------------------------------------------------------------

static bool file_exists(const std::string& path) {
  FILE* file = platform::open_file(path, "rb");
  if (!file) return false;
  std::fclose(file);
  return true;
}

static std::string data_file(const Engine* engine, const char* name, const char* extension) {
  return std::string(engine->paths.data_path) + name + "." + extension;
}

// Brings any image to an 8-, 24- or 32-bit standard bitmap. 8-, 24- and 32-bit
// images stay as they are (an 8-bit palette image gives its raw indices);
// everything else (1- and 4-bit, 16-bit grey or colour, 48/64-bit, float,
// CMYK) becomes 24 bits, or 32 when it carries alpha, since uploading those as
// they are would read past their pixels. Returns `image` itself or a new one.
static FIBITMAP* to_standard_depth(FIBITMAP* image) {
  FREE_IMAGE_TYPE type = FreeImage_GetImageType(image);
  FIBITMAP* standard = image;
  bool deep = type != FIT_BITMAP;
  if (deep) {
    bool alpha = type == FIT_RGBA16 || type == FIT_RGBAF;
    standard = alpha ? FreeImage_ConvertTo32Bits(image) : nullptr;
    if (!standard && (type == FIT_RGB16 || type == FIT_RGBF)) standard = FreeImage_ConvertTo24Bits(image);
    // 16-bit grey keeps its high byte (a linear rescale would stretch it).
    if (!standard && type == FIT_UINT16) standard = FreeImage_ConvertTo8Bits(image);
    if (!standard) standard = FreeImage_ConvertToType(image, FIT_BITMAP, TRUE);
    if (!standard) return nullptr;
  }
  unsigned bpp = FreeImage_GetBPP(standard);
  bool cmyk = FreeImage_GetColorType(standard) == FIC_CMYK;
  if ((bpp == 8 || bpp == 24 || bpp == 32) && !cmyk && !deep) return standard;
  FIBITMAP* converted = FreeImage_IsTransparent(standard) ? FreeImage_ConvertTo32Bits(standard)
                                                          : FreeImage_ConvertTo24Bits(standard);
  if (standard != image) FreeImage_Unload(standard);
  return converted;
}

// FreeImage allocates (and clears) a whole bitmap before it decodes a pixel, so
// a forged header of 30000 x 30000 in a file of a hundred bytes would cost
// gigabytes and many seconds. The header is read alone first, and an image
// whose bitmap, or the 32-bit copy made of it, would pass this is refused.
constexpr uint64_t MAX_IMAGE_BYTES = uint64_t(1) << 30;

// Whether the image's size is known from its header and within bounds. A
// format that cannot report its size without decoding (not PNG or JPEG, only
// found under their names) is refused too.
// Takes over (and unloads) the header; null is refused.
static bool header_size_acceptable(FIBITMAP* header) {
  if (!header) return false;
  uint64_t width = FreeImage_GetWidth(header);
  uint64_t height = FreeImage_GetHeight(header);
  uint64_t bits = std::max<uint64_t>(FreeImage_GetBPP(header), 32);
  FreeImage_Unload(header);
  // width and height are below 2^32 each, bits at most 128: no overflow
  // once the first product is known to be within bounds.
  if (width == 0 || height == 0 || width * height > MAX_IMAGE_BYTES) return false;
  return width * height * (bits / 8) <= MAX_IMAGE_BYTES;
}

static bool image_size_acceptable(FREE_IMAGE_FORMAT format, const std::string& path) {
  if (!FreeImage_FIFSupportsNoPixels(format)) return false;
  return header_size_acceptable(FreeImage_Load(format, path.c_str(), FIF_LOAD_NOPIXELS));
}

// The pixels of a loaded bitmap, which it takes over (and unloads): converted
// to 8, 24 or 32 bits, resized to powers of two within max_texture_size,
// copied into a tightly packed buffer in RGB(A) order. Null when unusable.
static std::unique_ptr<uint8_t[]> bitmap_pixels(const Engine* engine, FIBITMAP* loaded, int* width,
                                                int* height, int* bytes_per_pixel) {
  FIBITMAP* image = to_standard_depth(loaded);
  if (!image) {
    FreeImage_Unload(loaded);
    return nullptr;
  }

  int w = static_cast<int>(FreeImage_GetWidth(image));
  int h = static_cast<int>(FreeImage_GetHeight(image));
  int cap = engine->settings.max_texture_size;
  int target_w = floorPowerOfTwo(w);
  int target_h = floorPowerOfTwo(h);
  if (cap > 0 && target_w > cap) target_w = cap;
  if (cap > 0 && target_h > cap) target_h = cap;
  FIBITMAP* rescaled = nullptr;
  if (target_w != w || target_h != h) rescaled = FreeImage_Rescale(image, target_w, target_h, FILTER_BICUBIC);
  FIBITMAP* used = rescaled ? rescaled : image;

  w = static_cast<int>(FreeImage_GetWidth(used));
  h = static_cast<int>(FreeImage_GetHeight(used));
  int bpp = static_cast<int>(FreeImage_GetBPP(used)) / 8;
  std::unique_ptr<uint8_t[]> pixels;
  if (w > 0 && h > 0 && bpp > 0) {
    // Row by row: FreeImage pads rows to 4 bytes, which only matters when the
    // rescale failed or a small cap left a width that is not a power of two.
    size_t row = static_cast<size_t>(w) * bpp;
    pixels.reset(new (std::nothrow) uint8_t[row * h]);
    if (pixels) {
      for (int y = 0; y < h; ++y)
        std::memcpy(pixels.get() + row * y, FreeImage_GetScanLine(used, y), row);
      // FreeImage keeps blue-green-red; GL wants red-green-blue (alpha stays last).
      if (bpp == 3 || bpp == 4) {
        for (size_t i = 0; i + 2 < row * h; i += bpp) std::swap(pixels[i], pixels[i + 2]);
      }
    }
  }
  if (rescaled) FreeImage_Unload(rescaled);
  if (image != loaded) FreeImage_Unload(image);
  FreeImage_Unload(loaded);
  if (!pixels) return nullptr;
  *width = w;
  *height = h;
  *bytes_per_pixel = bpp;
  return pixels;
}

std::unique_ptr<uint8_t[]> loadImagePixels(const Engine* engine, const char* name, int* width,
                                           int* height, int* bytes_per_pixel) {
  std::string path = data_file(engine, name, "png");
  if (!file_exists(path)) {
    path = data_file(engine, name, "jpg");
    if (!file_exists(path)) return nullptr;
  }
  // FreeImage opens the file itself: hand it the name as found on disk.
  path = platform::resolve_file(path);

  FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path.c_str(), 0);
  if (format == FIF_UNKNOWN) format = FreeImage_GetFIFFromFilename(path.c_str());
  if (format == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(format)) return nullptr;
  if (!image_size_acceptable(format, path)) return nullptr;
  FIBITMAP* loaded = FreeImage_Load(format, path.c_str(), 0);
  if (!loaded) return nullptr;
  return bitmap_pixels(engine, loaded, width, height, bytes_per_pixel);
}

// The same bound for an image in memory (embedded in a glTF file).
static bool memory_image_size_acceptable(FREE_IMAGE_FORMAT format, FIMEMORY* memory) {
  if (!FreeImage_FIFSupportsNoPixels(format)) return false;
  FIBITMAP* header = FreeImage_LoadFromMemory(format, memory, FIF_LOAD_NOPIXELS);
  FreeImage_SeekMemory(memory, 0, SEEK_SET);
  return header_size_acceptable(header);
}

std::unique_ptr<uint8_t[]> decodeImagePixels(const Engine* engine, const uint8_t* bytes, size_t size,
                                             int* width, int* height, int* bytes_per_pixel) {
  if (!bytes || size == 0 || size > UINT32_MAX) return nullptr;
  // FreeImage only reads through the pointer it is given.
  FIMEMORY* memory = FreeImage_OpenMemory(const_cast<BYTE*>(bytes), static_cast<DWORD>(size));
  if (!memory) return nullptr;
  FREE_IMAGE_FORMAT format = FreeImage_GetFileTypeFromMemory(memory, 0);
  FIBITMAP* loaded = nullptr;
  if (format != FIF_UNKNOWN && FreeImage_FIFSupportsReading(format) && memory_image_size_acceptable(format, memory))
    loaded = FreeImage_LoadFromMemory(format, memory, 0);
  FreeImage_CloseMemory(memory);
  if (!loaded) return nullptr;
  return bitmap_pixels(engine, loaded, width, height, bytes_per_pixel);
}

// ---- filters and upload -----------------------------------------------------

TextureFilter normaliseTextureFilter(Engine* engine) {
  if (engine->settings.trilinear) engine->settings.tfilter = engine->settings.anisotropic ? 6 : 5;
  if (engine->settings.anisotropic) {
    if (engine->settings.tfilter == 1) engine->settings.tfilter = 3;
    else if (engine->settings.tfilter == 2) engine->settings.tfilter = 4;
    else if (engine->settings.tfilter == 5) engine->settings.tfilter = 6;
  } else {
    if (engine->settings.tfilter == 3) engine->settings.tfilter = 1;
    else if (engine->settings.tfilter == 4) engine->settings.tfilter = 2;
    else if (engine->settings.tfilter == 6) engine->settings.tfilter = 5;
  }
  float anisotropy = static_cast<float>(engine->settings.anisotropy);
  switch (engine->settings.tfilter) {
    case 0: return {0, GL_NEAREST, GL_NEAREST, 0.0f, false};
    case 1: return {1, GL_LINEAR, GL_LINEAR, 0.0f, false};
    case 2: return {2, GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR, 0.0f, true};
    case 3: return {3, GL_LINEAR, 0, 2.0f, false};
    case 4: return {4, GL_LINEAR_MIPMAP_NEAREST, 0, anisotropy, true};
    case 5: return {5, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, 0.0f, true};
    case 6: return {6, GL_LINEAR_MIPMAP_LINEAR, 0, anisotropy, true};
    default:
      // A mode outside 0..6 sets no filter and uploads one level; GL's own
      // default minification wants mipmaps, so they are built.
      return {engine->settings.tfilter, 0, 0, 0.0f, true};
  }
}

void uploadTexture(Engine* engine, const uint8_t* pixels, int internal_format, unsigned format,
                   int width, int height, unsigned target) {
  if (!pixels) return;
  TextureFilter filter = normaliseTextureFilter(engine);

  // filters of the normalised mode
  if (filter.min_filter != 0) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter.min_filter);
  if (filter.mag_filter != 0) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter.mag_filter);
  // The renderer's limit caps the mode's anisotropy: on a software renderer
  // that means none, since its filter's cost grows with the footprint.
  if (filter.anisotropy > 0.0f)
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT,
                    std::min(filter.anisotropy, gl_capabilities().anisotropy_limit));

  // environment and row alignment: an odd width cannot be 2-aligned
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glPixelStorei(GL_UNPACK_ALIGNMENT, (width % 2 == 0) ? 2 : 1);

  // pixels
  if (filter.mipmaps) {
    gluBuild2DMipmaps(target, internal_format, width, height, format, GL_UNSIGNED_BYTE, pixels);
  } else {
    glTexImage2D(target, 0, internal_format, width, height, 0, format, GL_UNSIGNED_BYTE, pixels);
  }
}

void setTextureFilter(Engine* engine, int mode) {
  engine->settings.tfilter = mode;
  switch (mode) {
    case 0: case 1: case 2:
      engine->settings.anisotropic = 0;
      engine->settings.trilinear = 0;
      break;
    case 3: case 4:
      engine->settings.anisotropic = 1;
      engine->settings.trilinear = 0;
      break;
    case 5:
      engine->settings.anisotropic = 0;
      engine->settings.trilinear = 1;
      break;
    case 6:
      engine->settings.anisotropic = 1;
      engine->settings.trilinear = 1;
      break;
    default:
      engine->settings.tfilter = 2;
      engine->settings.anisotropic = 0;
      engine->settings.trilinear = 0;
      break;
  }
}

// ---- loading by name --------------------------------------------------------

// loadTexture with the pixels from `decode` (called only when no texture of
// that name is loaded yet).
using PixelSource = std::unique_ptr<uint8_t[]> (*)(const Engine*, const void* source, int* width, int* height,
                                                   int* bytes_per_pixel);

static int load_texture_from(Engine* engine, const char* name, int wrap, PixelSource decode, const void* source) {
  // Without a GL context there is nothing to upload into.
  if (!engine->window.hglrc || std::strlen(name) >= static_cast<size_t>(TEXTURE_NAME_SIZE)) return 0;
  int found = findTexture(engine, name);
  if (found >= 0) return found;

  int slot = -1;
  if (std::strcmp(name, FONT_TEXTURE_NAME) == 0 && !engine->resources.textures[0].inUse) slot = 0;
  else slot = findFreeTextureSlot(engine);
  if (slot < 0) return 0;

  int width = 0, height = 0, bpp = 0;
  std::unique_ptr<uint8_t[]> pixels = decode(engine, source, &width, &height, &bpp);
  TextureSlot& entry = engine->resources.textures[slot];
  entry.inUse = 0;
  if (!pixels) return 0;

  GLenum format = GL_RGB;
  if (bpp == 1) format = GL_LUMINANCE;
  else if (bpp == 4) format = GL_RGBA;

  make_engine_current();
  glGenTextures(1, &entry.glName);
  glBindTexture(GL_TEXTURE_2D, entry.glName);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
  uploadTexture(engine, pixels.get(), bpp, format, width, height, GL_TEXTURE_2D);

  entry.bytesPerPixel = static_cast<uint8_t>(bpp);
  entry.width = static_cast<int16_t>(width);
  entry.height = static_cast<int16_t>(height);
  entry.inUse = 1;
  std::snprintf(entry.name, sizeof entry.name, "%s", name);
  return slot;
}

namespace {

struct EncodedImage {
  const uint8_t* bytes;
  size_t size;
};

std::unique_ptr<uint8_t[]> pixels_of_file(const Engine* engine, const void* name, int* w, int* h, int* bpp) {
  return loadImagePixels(engine, static_cast<const char*>(name), w, h, bpp);
}

std::unique_ptr<uint8_t[]> pixels_of_bytes(const Engine* engine, const void* image, int* w, int* h, int* bpp) {
  const auto* encoded = static_cast<const EncodedImage*>(image);
  return decodeImagePixels(engine, encoded->bytes, encoded->size, w, h, bpp);
}

}  // namespace

int loadTexture(Engine* engine, const char* name, int wrap) {
  return load_texture_from(engine, name, wrap, pixels_of_file, name);
}

// The slots filled from memory, by the GL name they got (a slot emptied and
// filled again gets another). One engine exists at a time.
namespace {
struct EmbeddedSlots {
  const Engine* engine = nullptr;
  GLuint glName[MAX_TEXTURES] = {};
};
EmbeddedSlots embedded_slots;
}  // namespace

int loadTextureBytes(Engine* engine, const char* name, const uint8_t* bytes, size_t size, int wrap) {
  bool known = findTexture(engine, name) >= 0;
  EncodedImage image{bytes, size};
  int slot = load_texture_from(engine, name, wrap, pixels_of_bytes, &image);
  if (slot > 0 && !known) {
    if (embedded_slots.engine != engine) embedded_slots = EmbeddedSlots{engine, {}};
    embedded_slots.glName[slot] = engine->resources.textures[slot].glName;
  }
  return slot;
}

bool isEmbeddedTexture(const Engine* engine, int slot) {
  if (slot <= 0 || slot >= MAX_TEXTURES || embedded_slots.engine != engine) return false;
  const TextureSlot& texture = engine->resources.textures[slot];
  return texture.inUse && texture.glName != 0 && embedded_slots.glName[slot] == texture.glName;
}

// The binding of one material group's colour map to the slot `load(engine,
// wrap)` gives; a 32-bit image marks the group transparent and the object
// blended.
template <typename Load>
static void bind_material_texture(cObject* object, int part, int group, Load load) {
  if (part < 0 || part >= object->partCount) return;
  MeshPart& mesh_part = object->parts[part];
  if (group < 0 || group >= mesh_part.groupCount) return;
  MaterialGroup& material = mesh_part.groups[group];

  material.baseTexture = 0;
  material.bumpTexture = 0;
  material.normalTexture = 0;
  material.envTexture = 0;
  material.lightmapTexture = 0;
  material.transparent = 0;

  // Clamped to the edges, unless the part's texture coordinates tile the
  // image: clamped, a tiled floor would show one tile and streaks. (The load
  // verb repeats, and a second load of the name gets this first wrap mode.)
  bool tiled = false;
  for (float coordinate : mesh_part.texCoords)
    if (coordinate < -0.01f || coordinate > 1.01f) tiled = true;
  Engine* engine = object->engine;
  material.baseTexture = static_cast<int16_t>(load(engine, tiled ? GL_REPEAT : GL_CLAMP_TO_EDGE));
  if (material.baseTexture != 0 && engine->resources.textures[material.baseTexture].bytesPerPixel == 4) {
    material.transparent = 1;
    object->blended = 1;
  }
}

void loadMaterialTextures(cObject* object, int part, int group, const char* name) {
  bind_material_texture(object, part, group,
                        [&](Engine* engine, int wrap) { return loadTexture(engine, name, wrap); });
}

void loadMaterialTextureBytes(cObject* object, int part, int group, const char* name, const uint8_t* bytes,
                              size_t size) {
  bind_material_texture(object, part, group, [&](Engine* engine, int wrap) {
    return loadTextureBytes(engine, name, bytes, size, wrap);
  });
}

bool saveTexturePng(Engine* engine, int slot, const char* path) {
  if (slot < 0 || slot >= MAX_TEXTURES || !engine->window.hglrc) return false;
  const TextureSlot& texture = engine->resources.textures[slot];
  int bpp = texture.bytesPerPixel;
  if (!texture.inUse || texture.glName == 0 || texture.width <= 0 || texture.height <= 0) return false;
  if (bpp != 1 && bpp != 3 && bpp != 4) return false;

  // Level 0 as uploaded: bottom row first, which FreeImage takes as upright.
  const int width = texture.width, height = texture.height;
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * bpp);
  make_engine_current();
  glBindTexture(GL_TEXTURE_2D, texture.glName);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, bpp == 1 ? GL_LUMINANCE : bpp == 3 ? GL_RGB : GL_RGBA, GL_UNSIGNED_BYTE,
                pixels.data());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  if (bpp >= 3)
    for (size_t i = 0; i + 2 < pixels.size(); i += bpp) std::swap(pixels[i], pixels[i + 2]);  // FreeImage's BGR

  FIBITMAP* image = FreeImage_ConvertFromRawBits(pixels.data(), width, height, width * bpp, bpp * 8,
                                                 FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK, FALSE);
  if (!image) return false;
  if (bpp == 1) {
    RGBQUAD* palette = FreeImage_GetPalette(image);
    for (int i = 0; palette && i < 256; ++i)
      palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = static_cast<BYTE>(i);
  }
  bool saved = FreeImage_Save(FIF_PNG, image, platform::resolve_file(path).c_str(), 0);
  FreeImage_Unload(image);
  return saved;
}

namespace {

const struct {
  const char* extension;
  LoadKind kind;
} LOAD_PROBES[] = {
    {"gfx", LoadKind::Mesh},          {"3ds", LoadKind::Mesh},          {"obj", LoadKind::Mesh},
    {"gltf", LoadKind::Mesh},         {"glb", LoadKind::Mesh},
    {"png", LoadKind::Texture},       {"jpg", LoadKind::Texture},       {"vp", LoadKind::VertexProgram},
    {"fp", LoadKind::FragmentProgram},
};

}  // namespace

LoadKind classifyLoadFile(const Engine* engine, const char* name) {
  for (const auto& probe : LOAD_PROBES)
    if (file_exists(data_file(engine, name, probe.extension))) return probe.kind;
  // Music tracks, after everything that existing scripts load.
  for (const char* extension : TRACK_EXTENSIONS)
    if (file_exists(data_file(engine, name, extension))) return LoadKind::Music;
  return LoadKind::NotFound;
}

std::string loadProbeNames(const char* name) {
  std::string names;
  for (const auto& probe : LOAD_PROBES) {
    if (!names.empty()) names += ", ";
    names += std::string(name) + "." + probe.extension;
  }
  for (const char* extension : TRACK_EXTENSIONS) names += std::string(", ") + name + "." + extension;
  return names;
}
