#include "resources/texture_manager.h"

#include <FreeImage.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/engine.h"
#include "core/window.h"
#include "mesh/object.h"
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
  FIBITMAP* loaded = FreeImage_Load(format, path.c_str(), 0);
  if (!loaded) return nullptr;
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
  if (filter.anisotropy > 0.0f)
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, filter.anisotropy);

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

int loadTexture(Engine* engine, const char* name, int wrap) {
  // Without a GL context there is nothing to upload into.
  if (!engine->window.hglrc || std::strlen(name) >= static_cast<size_t>(TEXTURE_NAME_SIZE)) return 0;
  int found = findTexture(engine, name);
  if (found >= 0) return found;

  int slot = -1;
  if (std::strcmp(name, FONT_TEXTURE_NAME) == 0 && !engine->resources.textures[0].inUse) slot = 0;
  else slot = findFreeTextureSlot(engine);
  if (slot < 0) return 0;

  int width = 0, height = 0, bpp = 0;
  std::unique_ptr<uint8_t[]> pixels = loadImagePixels(engine, name, &width, &height, &bpp);
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

void loadMaterialTextures(cObject* object, int part, int group, const char* name) {
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
  material.baseTexture = static_cast<int16_t>(loadTexture(engine, name, tiled ? GL_REPEAT : GL_CLAMP_TO_EDGE));
  if (material.baseTexture != 0 && engine->resources.textures[material.baseTexture].bytesPerPixel == 4) {
    material.transparent = 1;
    object->blended = 1;
  }
}

LoadKind classifyLoadFile(const Engine* engine, const char* name) {
  static const struct {
    const char* extension;
    LoadKind kind;
  } probes[] = {
      {"gfx", LoadKind::Mesh},          {"3ds", LoadKind::Mesh},          {"obj", LoadKind::Mesh},
      {"png", LoadKind::Texture},       {"jpg", LoadKind::Texture},       {"vp", LoadKind::VertexProgram},
      {"fp", LoadKind::FragmentProgram},
  };
  for (const auto& probe : probes)
    if (file_exists(data_file(engine, name, probe.extension))) return probe.kind;
  return LoadKind::NotFound;
}
