#include "mesh/loader_gltf.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <tuple>
#include <type_traits>
#include <vector>

#include "core/engine.h"
#include "mesh/byte_reader.h"
#include "mesh/gltf_library.h"
#include "mesh/object.h"
#include "platform/platform.h"
#include "resources/texture_manager.h"

// Conventions. glTF is right-handed with y up and front faces wound
// counter-clockwise, as the engine's meshes are: positions are used as they
// stand (a script's z is negated when it is stored, a mesh's is not), in the
// file's units. Texture coordinates count rows from the top of the image, GL
// from the bottom: t = 1 - v.
//
// [SECTION] file access         the folder fence and the image callback
// [SECTION] accessors           typed, strided, sparse data read with bounds
// [SECTION] nodes               transforms through the hierarchy
// [SECTION] primitives          triangles and vertex sets of one mesh instance
// [SECTION] parts               16-bit parts, material groups, textures
// [SECTION] entry

namespace {

using tinygltf::Model;

// Kept over the whole file: what one object may hold, whatever the file's
// instancing multiplies its meshes to. Beyond them the rest is dropped.
constexpr size_t MAX_OBJECT_VERTICES = size_t(1) << 23;
constexpr size_t MAX_OBJECT_TRIANGLES = size_t(1) << 23;

// The work a file may ask for on the way, whatever its counts claim (an
// accessor without data reads as that many zeros) and its nodes multiply:
// what would go over is dropped. Generous for any real mesh.
struct Budget {
  size_t decoded = size_t(1) << 25;      // accessor values converted or made up
  size_t transformed = size_t(1) << 24;  // vertices placed by a node's transform
  size_t corners = size_t(1) << 26;      // indices walked into triangles
};

// Takes `amount` (= count * width) from `*left`; false when it is not there.
bool take(size_t* left, size_t count, size_t width = 1) {
  if (width && count > *left / width) return false;
  *left -= count * width;
  return true;
}

// Required extensions this reader honours; any other one fails the file.
constexpr const char* READABLE_EXTENSIONS[] = {"KHR_mesh_quantization", "KHR_materials_emissive_strength"};

// ---- [SECTION] file access ----------------------------------------------------

// tinygltf looks for a buffer's file as folder + uri and, failing that, as
// "./" + uri, after decoding %XX escapes. Only the first, without a ".."
// component, is let through.
bool inside_folder(const std::string& folder, const std::string& path) {
  if (path.size() <= folder.size() || path.compare(0, folder.size(), folder) != 0) return false;
  std::string rest = path.substr(folder.size());
  if (rest[0] == '/') return false;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t slash = rest.find('/', start);
    if (slash == std::string::npos) slash = rest.size();
    if (rest.compare(start, slash - start, "..") == 0) return false;
    start = slash + 1;
  }
  return true;
}

struct FileFence {
  std::string folder;
};

bool fence_exists(const std::string& path, void* user) {
  if (!inside_folder(static_cast<FileFence*>(user)->folder, path)) return false;
  FILE* file = platform::open_file(path, "rb");
  if (!file) return false;
  std::fclose(file);
  return true;
}

std::string fence_expand(const std::string& path, void*) { return path; }

bool fence_read(std::vector<unsigned char>* out, std::string* err, const std::string& path, void* user) {
  if (!inside_folder(static_cast<FileFence*>(user)->folder, path)) {
    if (err) *err = "outside the mesh's folder";
    return false;
  }
  FILE* file = platform::open_file(path, "rb");
  if (!file) return false;
  *out = read_whole_file(file);
  std::fclose(file);
  return true;
}

bool fence_write(std::string* err, const std::string&, const std::vector<unsigned char>&, void*) {
  if (err) *err = "loading writes nothing";
  return false;
}

// Images are decoded later through the texture table. A data URI's bytes are
// kept in the image record (tinygltf hands them over only here). For an image
// in a bufferView tinygltf passes a pointer it has not checked against the
// buffer: it is not read; the bytes are taken later through the bounded view.
bool keep_image_bytes(tinygltf::Image* image, const int, std::string*, std::string*, int, int,
                      const unsigned char* bytes, int size, void*) {
  if (image->bufferView < 0 && bytes && size > 0) image->image.assign(bytes, bytes + size);
  image->as_is = true;
  return true;
}

// %XX escapes of a file URI, decoded; a malformed escape stays as written.
std::string decode_uri(const std::string& uri) {
  std::string out;
  for (size_t i = 0; i < uri.size(); ++i) {
    if (uri[i] == '%' && i + 2 < uri.size() && std::isxdigit(static_cast<unsigned char>(uri[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(uri[i + 2]))) {
      out.push_back(static_cast<char>(std::stoi(uri.substr(i + 1, 2), nullptr, 16)));
      i += 2;
    } else {
      out.push_back(uri[i]);
    }
  }
  return out;
}

// ---- [SECTION] accessors --------------------------------------------------------

size_t component_size(int type) {
  switch (type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return 1;
    case TINYGLTF_COMPONENT_TYPE_SHORT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: return 2;
    case TINYGLTF_COMPONENT_TYPE_INT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
    case TINYGLTF_COMPONENT_TYPE_FLOAT: return 4;
    case TINYGLTF_COMPONENT_TYPE_DOUBLE: return 8;
    default: return 0;
  }
}

bool is_integer(int type) {
  return component_size(type) != 0 && type != TINYGLTF_COMPONENT_TYPE_FLOAT &&
         type != TINYGLTF_COMPONENT_TYPE_DOUBLE;
}

size_t type_width(int type) {
  switch (type) {
    case TINYGLTF_TYPE_SCALAR: return 1;
    case TINYGLTF_TYPE_VEC2: return 2;
    case TINYGLTF_TYPE_VEC3: return 3;
    case TINYGLTF_TYPE_VEC4: return 4;
    default: return 0;  // matrices are not vertex data
  }
}

template <typename T>
T load(const uint8_t* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

// One component as a float; normalised integers map to [0, 1] or [-1, 1].
float to_float(const uint8_t* p, int type, bool normalized) {
  switch (type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE: {
      float v = load<int8_t>(p);
      return normalized ? std::max(v / 127.0f, -1.0f) : v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: {
      float v = load<uint8_t>(p);
      return normalized ? v / 255.0f : v;
    }
    case TINYGLTF_COMPONENT_TYPE_SHORT: {
      float v = load<int16_t>(p);
      return normalized ? std::max(v / 32767.0f, -1.0f) : v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
      float v = load<uint16_t>(p);
      return normalized ? v / 65535.0f : v;
    }
    case TINYGLTF_COMPONENT_TYPE_INT: {
      double v = load<int32_t>(p);
      return static_cast<float>(normalized ? std::max(v / 2147483647.0, -1.0) : v);
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: {
      double v = load<uint32_t>(p);
      return static_cast<float>(normalized ? v / 4294967295.0 : v);
    }
    case TINYGLTF_COMPONENT_TYPE_FLOAT: return load<float>(p);
    case TINYGLTF_COMPONENT_TYPE_DOUBLE: return static_cast<float>(load<double>(p));
    default: return 0.0f;
  }
}

// A vertex index no part can hold: negative values and the like.
constexpr uint32_t NO_INDEX = UINT32_MAX;

uint32_t to_index(const uint8_t* p, int type, bool) {
  switch (type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE: {
      int8_t v = load<int8_t>(p);
      return v < 0 ? NO_INDEX : static_cast<uint32_t>(v);
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return load<uint8_t>(p);
    case TINYGLTF_COMPONENT_TYPE_SHORT: {
      int16_t v = load<int16_t>(p);
      return v < 0 ? NO_INDEX : static_cast<uint32_t>(v);
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: return load<uint16_t>(p);
    case TINYGLTF_COMPONENT_TYPE_INT: {
      int32_t v = load<int32_t>(p);
      return v < 0 ? NO_INDEX : static_cast<uint32_t>(v);
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: return load<uint32_t>(p);
    default: return NO_INDEX;
  }
}

// The bytes of a bufferView, when its buffer holds all of them.
struct View {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t stride = 0;  // 0: tightly packed
};

bool buffer_view(const Model& model, int index, View* view) {
  if (index < 0 || static_cast<size_t>(index) >= model.bufferViews.size()) return false;
  const tinygltf::BufferView& v = model.bufferViews[index];
  if (v.buffer < 0 || static_cast<size_t>(v.buffer) >= model.buffers.size()) return false;
  const std::vector<unsigned char>& buffer = model.buffers[v.buffer].data;
  if (v.byteOffset > buffer.size() || v.byteLength > buffer.size() - v.byteOffset) return false;
  view->data = buffer.data() + v.byteOffset;
  view->size = v.byteLength;
  view->stride = v.byteStride;
  return true;
}

// Whether `count` records of `record` bytes, `stride` apart, starting at
// `offset`, lie inside `size` bytes (no overflow on the way).
bool fits(size_t size, size_t offset, size_t count, size_t record, size_t stride) {
  if (count == 0) return offset <= size;
  if (offset > size || record > size - offset) return false;
  return count - 1 <= (size - offset - record) / stride;
}

// An accessor's elements, `width` values each: where the buffer holds them
// as the wanted type, tightly packed and aligned, they are read in place;
// otherwise they are converted into `owned`.
template <typename T>
struct Elements {
  const T* data = nullptr;
  size_t size = 0;  // values
  std::vector<T> owned;

  const T& operator[](size_t i) const { return data[i]; }
  void own(size_t values, T fill) {
    owned.assign(values, fill);
    data = owned.data();
    size = values;
  }
};

// The elements of an accessor (its type must have `width` components): the
// bufferView's data, or zeros without one, then the sparse substitutions.
// False when anything it names is missing or too short; sparse entries whose
// index lies past the count are skipped.
template <typename T, typename Convert>
bool decode(const Model& model, int index, size_t width, Convert convert, size_t* allowance, Elements<T>* out) {
  if (index < 0 || static_cast<size_t>(index) >= model.accessors.size()) return false;
  const tinygltf::Accessor& accessor = model.accessors[index];
  const int type = accessor.componentType;
  const size_t size = component_size(type);
  if (size == 0 || type_width(accessor.type) != width) return false;
  const size_t element = size * width;
  const size_t count = accessor.count;
  const bool sparse = accessor.sparse.isSparse;

  if (accessor.bufferView < 0) {
    if (!take(allowance, count, width)) return false;
    out->own(count * width, T(0));
  } else {
    View view;
    if (!buffer_view(model, accessor.bufferView, &view)) return false;
    size_t stride = view.stride ? view.stride : element;
    if (stride < element || !fits(view.size, accessor.byteOffset, count, element, stride)) return false;
    const uint8_t* base = view.data + accessor.byteOffset;
    constexpr int same_type = std::is_same_v<T, float>      ? TINYGLTF_COMPONENT_TYPE_FLOAT
                              : std::is_same_v<T, uint32_t> ? TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT
                                                            : 0;
    bool packed = type == same_type && stride == element;
    if (packed && !sparse && reinterpret_cast<uintptr_t>(base) % alignof(T) == 0) {
      out->data = reinterpret_cast<const T*>(base);
      out->size = count * width;
      return true;
    }
    if (!take(allowance, count, width)) return false;
    out->own(count * width, T(0));
    T* to = out->owned.data();
    if (packed) {
      if (count) std::memcpy(to, base, count * element);
    } else {
      for (size_t i = 0; i < count; ++i) {
        const uint8_t* from = base + i * stride;
        for (size_t c = 0; c < width; ++c) *to++ = convert(from + c * size, type, accessor.normalized);
      }
    }
  }
  if (!sparse) return true;

  const auto& entries_of = accessor.sparse;
  const int index_type = entries_of.indices.componentType;
  if (entries_of.count <= 0 || static_cast<size_t>(entries_of.count) > count) return false;
  if (index_type != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE && index_type != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
      index_type != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT)
    return false;
  const size_t entries = static_cast<size_t>(entries_of.count);
  const size_t index_size = component_size(index_type);
  View indices, values;
  if (!buffer_view(model, entries_of.indices.bufferView, &indices) || entries_of.indices.byteOffset < 0 ||
      !fits(indices.size, static_cast<size_t>(entries_of.indices.byteOffset), entries, index_size, index_size))
    return false;
  if (!buffer_view(model, entries_of.values.bufferView, &values) || entries_of.values.byteOffset < 0 ||
      !fits(values.size, static_cast<size_t>(entries_of.values.byteOffset), entries, element, element))
    return false;
  const uint8_t* at = indices.data + entries_of.indices.byteOffset;
  const uint8_t* value = values.data + entries_of.values.byteOffset;
  for (size_t k = 0; k < entries; ++k) {
    uint32_t target = to_index(at + k * index_size, index_type, false);
    if (target >= count) continue;
    for (size_t c = 0; c < width; ++c)
      out->owned[target * width + c] = convert(value + k * element + c * size, type, accessor.normalized);
  }
  return true;
}

// Accessors read once per file, however many primitives and nodes use them,
// and the budget of the whole read. (A map's entries stay where they are, so
// the pointers handed out hold.)
struct AccessorCache {
  const Model& model;
  Budget budget;
  std::map<std::pair<int, size_t>, std::pair<bool, Elements<float>>> floats;
  std::map<int, std::pair<bool, Elements<uint32_t>>> indices;

  const Elements<float>* float_data(int index, size_t width) {
    auto [it, fresh] = floats.try_emplace({index, width});
    if (fresh)
      it->second.first = decode(
          model, index, width, [](const uint8_t* p, int type, bool n) { return to_float(p, type, n); },
          &budget.decoded, &it->second.second);
    return it->second.first ? &it->second.second : nullptr;
  }
  const Elements<uint32_t>* index_data(int index) {
    auto [it, fresh] = indices.try_emplace(index);
    if (fresh && index >= 0 && static_cast<size_t>(index) < model.accessors.size() &&
        is_integer(model.accessors[index].componentType))
      it->second.first = decode(
          model, index, 1, [](const uint8_t* p, int type, bool n) { return to_index(p, type, n); },
          &budget.decoded, &it->second.second);
    return it->second.first ? &it->second.second : nullptr;
  }
};

// ---- [SECTION] nodes --------------------------------------------------------------

// Column-major 4 x 4, as GL and glTF store them.
struct Matrix {
  double m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

Matrix multiply(const Matrix& a, const Matrix& b) {
  Matrix r;
  for (int col = 0; col < 4; ++col)
    for (int row = 0; row < 4; ++row) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) sum += a.m[k * 4 + row] * b.m[col * 4 + k];
      r.m[col * 4 + row] = sum;
    }
  return r;
}

bool all_finite(const std::vector<double>& values) {
  for (double v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

// A node's own transform: its matrix, else translation * rotation * scale.
// False for arrays of the wrong length, numbers that are not finite and a
// rotation of length zero.
bool local_transform(const tinygltf::Node& node, Matrix* out) {
  Matrix m;
  if (!node.matrix.empty()) {
    if (node.matrix.size() != 16 || !all_finite(node.matrix)) return false;
    std::copy(node.matrix.begin(), node.matrix.end(), m.m);
    *out = m;
    return true;
  }
  if ((!node.translation.empty() && node.translation.size() != 3) ||
      (!node.rotation.empty() && node.rotation.size() != 4) || (!node.scale.empty() && node.scale.size() != 3))
    return false;
  if (!all_finite(node.translation) || !all_finite(node.rotation) || !all_finite(node.scale)) return false;
  if (!node.rotation.empty()) {
    double x = node.rotation[0], y = node.rotation[1], z = node.rotation[2], w = node.rotation[3];
    double length = std::sqrt(x * x + y * y + z * z + w * w);
    if (!(length > 0.0) || !std::isfinite(length)) return false;
    x /= length, y /= length, z /= length, w /= length;
    m.m[0] = 1 - 2 * (y * y + z * z), m.m[1] = 2 * (x * y + w * z), m.m[2] = 2 * (x * z - w * y);
    m.m[4] = 2 * (x * y - w * z), m.m[5] = 1 - 2 * (x * x + z * z), m.m[6] = 2 * (y * z + w * x);
    m.m[8] = 2 * (x * z + w * y), m.m[9] = 2 * (y * z - w * x), m.m[10] = 1 - 2 * (x * x + y * y);
  }
  if (!node.scale.empty())
    for (int col = 0; col < 3; ++col)
      for (int row = 0; row < 3; ++row) m.m[col * 4 + row] *= node.scale[col];
  if (!node.translation.empty())
    for (int row = 0; row < 3; ++row) m.m[12 + row] = node.translation[row];
  *out = m;
  return true;
}

// ---- [SECTION] primitives -----------------------------------------------------------

// The vertices of one mesh instance that share their attribute accessors, in
// the instance's space, with the triangles of every primitive that uses them,
// one list per material in the order first met.
struct VertexSet {
  std::tuple<int, int, int> key;   // POSITION, NORMAL, TEXCOORD_0 accessors (-1 none)
  size_t count = 0;
  std::vector<float> positions;    // 3 per vertex
  std::vector<float> normals;      // 3 per vertex, or empty
  std::vector<float> coords;       // 2 per vertex, or empty
  std::vector<uint8_t> unusable;   // per vertex: a position that is not finite
  std::vector<std::pair<int, std::vector<uint32_t>>> triangles;  // material, 3 indices per triangle

  std::vector<uint32_t>& material(int m) {
    for (auto& entry : triangles)
      if (entry.first == m) return entry.second;
    triangles.emplace_back(m, std::vector<uint32_t>());
    return triangles.back().second;
  }
  size_t triangle_count() const {
    size_t n = 0;
    for (const auto& entry : triangles) n += entry.second.size() / 3;
    return n;
  }
};

struct Instance {
  Matrix world;
  bool mirrored = false;   // negative determinant: windings turn over
  double normal[9] = {};   // cofactors of the upper 3 x 3, sign of the determinant applied
  std::vector<VertexSet> sets;
};

void prepare_instance(Instance* instance) {
  const double* m = instance->world.m;
  const double a0[3] = {m[0], m[1], m[2]}, a1[3] = {m[4], m[5], m[6]}, a2[3] = {m[8], m[9], m[10]};
  auto cross = [](const double* u, const double* v, double* out) {
    out[0] = u[1] * v[2] - u[2] * v[1];
    out[1] = u[2] * v[0] - u[0] * v[2];
    out[2] = u[0] * v[1] - u[1] * v[0];
  };
  // Normals go through the inverse transpose, which is the cofactor matrix
  // (columns a1 x a2, a2 x a0, a0 x a1) over the determinant; only the
  // determinant's sign matters before normalising.
  double* n = instance->normal;
  cross(a1, a2, n);
  cross(a2, a0, n + 3);
  cross(a0, a1, n + 6);
  double det = a0[0] * n[0] + a0[1] * n[1] + a0[2] * n[2];
  instance->mirrored = det < 0.0;
  if (instance->mirrored)
    for (int i = 0; i < 9; ++i) n[i] = -n[i];
}

// The vertex set for a primitive's accessors, made (and transformed) on first
// use; null when the positions cannot be read.
VertexSet* vertex_set(Instance* instance, AccessorCache& cache, int position, int normal, int coord) {
  for (VertexSet& set : instance->sets)
    if (set.key == std::make_tuple(position, normal, coord)) return &set;

  const Elements<float>* p = cache.float_data(position, 3);
  if (!p) return nullptr;
  VertexSet set;
  set.key = {position, normal, coord};
  set.count = p->size / 3;
  if (!take(&cache.budget.transformed, set.count)) return nullptr;
  const Elements<float>* n = normal >= 0 ? cache.float_data(normal, 3) : nullptr;
  const Elements<float>* t = coord >= 0 ? cache.float_data(coord, 2) : nullptr;
  if (n && n->size != set.count * 3) n = nullptr;  // attributes must match the positions
  if (t && t->size != set.count * 2) t = nullptr;

  const double* m = instance->world.m;
  set.positions.resize(set.count * 3);
  set.unusable.assign(set.count, 0);
  for (size_t v = 0; v < set.count; ++v) {
    const float* in = &(*p)[v * 3];
    for (int row = 0; row < 3; ++row) {
      double x = m[row] * in[0] + m[4 + row] * in[1] + m[8 + row] * in[2] + m[12 + row];
      float f = static_cast<float>(x);
      if (!std::isfinite(f)) {
        set.unusable[v] = 1;
        f = 0.0f;
      }
      set.positions[v * 3 + row] = f;
    }
  }
  if (n) {
    // A normal that is not finite or has no length is left for the computed one
    // (marked by zeros).
    const double* c = instance->normal;
    set.normals.resize(set.count * 3);
    for (size_t v = 0; v < set.count; ++v) {
      const float* in = &(*n)[v * 3];
      double out[3];
      for (int row = 0; row < 3; ++row) out[row] = c[row] * in[0] + c[3 + row] * in[1] + c[6 + row] * in[2];
      double length = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
      bool usable = length > 0.0 && std::isfinite(length);
      for (int row = 0; row < 3; ++row)
        set.normals[v * 3 + row] = usable ? static_cast<float>(out[row] / length) : 0.0f;
    }
  }
  if (t) {
    set.coords.resize(set.count * 2);
    for (size_t v = 0; v < set.count; ++v) {
      float s = (*t)[v * 2], u = (*t)[v * 2 + 1];
      set.coords[v * 2] = std::isfinite(s) ? s : 0.0f;
      set.coords[v * 2 + 1] = std::isfinite(u) ? 1.0f - u : 0.0f;
    }
  }
  instance->sets.push_back(std::move(set));
  return &instance->sets.back();
}

int attribute(const tinygltf::Primitive& primitive, const char* name) {
  auto it = primitive.attributes.find(name);
  return it == primitive.attributes.end() ? -1 : it->second;
}

// One primitive's triangles into its vertex set. Strips and fans become lists
// (strips keep alternate windings facing the same way); points and lines are
// skipped. A triangle with an index past the vertices, a repeated index (what
// strips use to restart) or an unusable vertex is dropped.
void add_primitive(Instance* instance, AccessorCache& cache, const tinygltf::Primitive& primitive) {
  int mode = primitive.mode;
  if (mode != TINYGLTF_MODE_TRIANGLES && mode != TINYGLTF_MODE_TRIANGLE_STRIP && mode != TINYGLTF_MODE_TRIANGLE_FAN)
    return;
  int position = attribute(primitive, "POSITION");
  if (position < 0) return;
  VertexSet* set = vertex_set(instance, cache, position, attribute(primitive, "NORMAL"),
                              attribute(primitive, "TEXCOORD_0"));
  if (!set) return;

  const Elements<uint32_t>* indices = nullptr;
  size_t corners = set->count;
  if (primitive.indices >= 0) {
    indices = cache.index_data(primitive.indices);
    if (!indices) return;
    corners = indices->size;
  }
  if (!take(&cache.budget.corners, corners)) return;
  auto corner = [&](size_t i) { return indices ? (*indices)[i] : static_cast<uint32_t>(i); };

  std::vector<uint32_t>& out = set->material(primitive.material);
  const size_t vertices = set->count;
  auto add = [&](uint32_t a, uint32_t b, uint32_t c) {
    if (a >= vertices || b >= vertices || c >= vertices || a == b || b == c || a == c) return;
    if (set->unusable[a] || set->unusable[b] || set->unusable[c]) return;
    if (instance->mirrored) std::swap(b, c);
    out.insert(out.end(), {a, b, c});
  };
  if (mode == TINYGLTF_MODE_TRIANGLES) {
    out.reserve(out.size() + corners / 3 * 3);
    for (size_t i = 0; i + 2 < corners; i += 3) add(corner(i), corner(i + 1), corner(i + 2));
  } else if (mode == TINYGLTF_MODE_TRIANGLE_STRIP) {
    for (size_t i = 0; i + 2 < corners; ++i) {
      if (i % 2 == 0) add(corner(i), corner(i + 1), corner(i + 2));
      else add(corner(i + 1), corner(i), corner(i + 2));
    }
  } else {
    for (size_t i = 1; i + 1 < corners; ++i) add(corner(i), corner(i + 1), corner(0));
  }
}

// ---- [SECTION] parts ---------------------------------------------------------------

// A material's colours and where its colour map comes from.
struct GroupMaterial {
  float diffuse[4] = {1, 1, 1, 1};
  float emission[4] = {0, 0, 0, 1};
  bool blend = false;
  int image = -1;  // index into the model's images; -1 none
};

float unit(double v) { return std::isfinite(v) ? static_cast<float>(std::clamp(v, 0.0, 1.0)) : 0.0f; }

// Base colour factor as diffuse (its alpha counts only for BLEND), emissive
// factor (times KHR_materials_emissive_strength) as emission. An index that
// names no material gives glTF's default: white, opaque, not emissive.
GroupMaterial group_material(const Model& model, int index) {
  GroupMaterial g;
  if (index < 0 || static_cast<size_t>(index) >= model.materials.size()) return g;
  const tinygltf::Material& material = model.materials[index];
  const std::vector<double>& base = material.pbrMetallicRoughness.baseColorFactor;
  g.blend = material.alphaMode == "BLEND";
  if (base.size() == 4)
    for (int i = 0; i < 4; ++i) g.diffuse[i] = std::isfinite(base[i]) ? unit(base[i]) : 1.0f;
  if (!g.blend) g.diffuse[3] = 1.0f;

  double strength = 1.0;
  auto extension = material.extensions.find("KHR_materials_emissive_strength");
  if (extension != material.extensions.end() && extension->second.IsObject()) {
    const tinygltf::Value& value = extension->second.Get("emissiveStrength");
    if (value.IsNumber()) strength = value.GetNumberAsDouble();
  }
  if (material.emissiveFactor.size() == 3)
    for (int i = 0; i < 3; ++i) g.emission[i] = unit(material.emissiveFactor[i] * strength);

  int texture = material.pbrMetallicRoughness.baseColorTexture.index;
  if (texture >= 0 && static_cast<size_t>(texture) < model.textures.size()) {
    int source = model.textures[texture].source;
    if (source >= 0 && static_cast<size_t>(source) < model.images.size()) g.image = source;
  }
  return g;
}

struct PartBuilder {
  cObject* object;
  const Model& model;
  std::vector<std::vector<int>> group_materials;  // per part, the glTF material of each group
  std::vector<std::vector<float>> file_normals;   // per part, 3 per vertex; zeros: computed
  size_t vertices_kept = 0;
  size_t triangles_kept = 0;

  MeshPart& new_part(const std::string& name) {
    object->parts.emplace_back();
    MeshPart& part = object->parts.back();
    std::snprintf(part.name, sizeof part.name, "%s", name.c_str());
    group_materials.emplace_back();
    file_normals.emplace_back();
    return part;
  }

  MaterialGroup& group(size_t part_number, int material) {
    MeshPart& part = object->parts[part_number];
    std::vector<int>& materials = group_materials[part_number];
    for (size_t g = 0; g < materials.size(); ++g)
      if (materials[g] == material) return part.groups[g];
    materials.push_back(material);
    part.groups.emplace_back();
    MaterialGroup& group = part.groups.back();
    GroupMaterial colours = group_material(model, material);
    for (int i = 0; i < 4; ++i) {
      group.ambient[i] = colours.diffuse[i];
      group.diffuse[i] = colours.diffuse[i];
      group.emission[i] = colours.emission[i];
    }
    group.ambient[3] = group.diffuse[3];
    group.specular[3] = group.diffuse[3];
    return group;
  }

  // Vertices [from, from + count) of a set, or the one vertex `from` when
  // count is 1, at the end of a part. File normals are kept only once a set
  // that has them reaches the part (zeros before: computed ones).
  void append_vertices(size_t part_number, const VertexSet& set, size_t from, size_t count) {
    MeshPart& part = object->parts[part_number];
    const float* positions = set.positions.data() + from * 3;
    part.positions.insert(part.positions.end(), positions, positions + count * 3);
    if (set.coords.empty()) {
      part.texCoords.resize(part.texCoords.size() + count * 2, 0.0f);
    } else {
      const float* coords = set.coords.data() + from * 2;
      part.texCoords.insert(part.texCoords.end(), coords, coords + count * 2);
    }
    std::vector<float>& normals = file_normals[part_number];
    if (!set.normals.empty()) {
      normals.resize(static_cast<size_t>(part.vertexCount) * 3, 0.0f);
      const float* given = set.normals.data() + from * 3;
      normals.insert(normals.end(), given, given + count * 3);
    }
    part.vertexCount += static_cast<int32_t>(count);
  }

  // A set's vertices and triangles into parts of at most 65,535 vertices: a set
  // that fits goes whole, in its own vertex order, into the instance's last
  // part when there is room, else into a new one; a larger set is cut into runs
  // of triangles, in order, whose vertices fit.
  void add_set(const VertexSet& set, size_t first_part, const std::string& name) {
    size_t triangles = set.triangle_count();
    if (triangles == 0) return;
    if (vertices_kept + set.count > MAX_OBJECT_VERTICES || triangles_kept + triangles > MAX_OBJECT_TRIANGLES) return;
    triangles_kept += triangles;

    if (set.count <= static_cast<size_t>(MAX_PART_VERTICES)) {
      vertices_kept += set.count;
      size_t p = object->parts.size();
      if (p > first_part && object->parts[p - 1].vertexCount + set.count <= static_cast<size_t>(MAX_PART_VERTICES))
        --p;
      else
        new_part(name);
      uint32_t base = static_cast<uint32_t>(object->parts[p].vertexCount);
      append_vertices(p, set, 0, set.count);
      for (const auto& [material, corners] : set.triangles) {
        if (corners.empty()) continue;
        std::vector<uint16_t>& indices = group(p, material).indices;
        indices.reserve(indices.size() + corners.size());
        for (uint32_t c : corners) indices.push_back(static_cast<uint16_t>(base + c));
      }
      return;
    }

    std::vector<int32_t> number(set.count, -1);  // the vertex's number in the current part
    std::vector<uint32_t> touched;
    size_t p = object->parts.size();
    new_part(name);
    for (const auto& [material, corners] : set.triangles) {
      for (size_t t = 0; t + 2 < corners.size(); t += 3) {
        size_t fresh = 0;
        for (int k = 0; k < 3; ++k) fresh += number[corners[t + k]] < 0;
        if (touched.size() + fresh > static_cast<size_t>(MAX_PART_VERTICES)) {
          for (uint32_t v : touched) number[v] = -1;
          touched.clear();
          p = object->parts.size();
          new_part(name);
        }
        std::vector<uint16_t>& indices = group(p, material).indices;
        for (int k = 0; k < 3; ++k) {
          uint32_t v = corners[t + k];
          if (number[v] < 0) {
            number[v] = object->parts[p].vertexCount;
            touched.push_back(v);
            append_vertices(p, set, v, 1);
            ++vertices_kept;
          }
          indices.push_back(static_cast<uint16_t>(number[v]));
        }
      }
    }
  }

  // Counts and copies of every group and part once all are filled (normals
  // and face normals are sized by computeNormals, which follows).
  void finish_arrays() {
    object->partCount = static_cast<int32_t>(object->parts.size());
    for (MeshPart& part : object->parts) {
      part.texCoordCount = part.vertexCount;
      part.groupCount = static_cast<int32_t>(part.groups.size());
      for (MaterialGroup& group : part.groups) {
        group.triangleCount = static_cast<int32_t>(group.indices.size() / 3);
        group.drawIndices = group.indices;
        group.drawTriangleCount = group.triangleCount;
      }
    }
  }

  // The file's normals over the computed ones, where it gave usable ones.
  void apply_file_normals() {
    for (size_t p = 0; p < object->parts.size(); ++p) {
      std::vector<float>& normals = object->parts[p].normals;
      const std::vector<float>& given = file_normals[p];
      for (size_t v = 0; v + 2 < given.size() && v + 2 < normals.size(); v += 3)
        if (given[v] != 0.0f || given[v + 1] != 0.0f || given[v + 2] != 0.0f)
          std::copy(&given[v], &given[v + 3], &normals[v]);
    }
  }
};

// Texture names: an image file beside the mesh binds under its name without
// extension, relative to the data folder (`prefix` is the mesh's folder
// there), by the usual rules (.png, else .jpg); an image embedded in the file,
// or a file of another type, is decoded from its bytes and recorded as
// "<mesh>_image<n>".
struct ImageBinder {
  cObject* object;
  const Model& model;
  const FileFence& fence;
  bool folder_in_data;   // the mesh's folder lies inside the data folder
  std::string prefix;    // the mesh's folder relative to the data folder

  void bind(int part, int group, int index) {
    const tinygltf::Image& image = model.images[index];
    std::string embedded_name = std::string(object->name) + "_image" + std::to_string(index);
    if (!image.image.empty()) {
      loadMaterialTextureBytes(object, part, group, embedded_name.c_str(), image.image.data(), image.image.size());
      return;
    }
    if (image.bufferView >= 0) {
      View view;
      if (buffer_view(model, image.bufferView, &view))
        loadMaterialTextureBytes(object, part, group, embedded_name.c_str(), view.data, view.size);
      return;
    }
    if (image.uri.empty() || image.uri.compare(0, 5, "data:") == 0) return;
    std::string file = decode_uri(image.uri);
    if (!inside_folder(fence.folder, fence.folder + file)) return;
    size_t slash = file.rfind('/');
    size_t dot = file.rfind('.');
    bool has_extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    std::string stem = has_extension ? file.substr(0, dot) : file;
    std::string extension = file.substr(stem.size());
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (folder_in_data && (extension == ".png" || extension == ".jpg")) {
      loadMaterialTextures(object, part, group, (prefix + stem).c_str());
      return;
    }
    std::vector<unsigned char> bytes;
    if (fence_read(&bytes, nullptr, fence.folder + file, const_cast<FileFence*>(&fence)))
      loadMaterialTextureBytes(object, part, group, (folder_in_data ? prefix + stem : embedded_name).c_str(),
                               bytes.data(), bytes.size());
  }
};

bool readable_version(const tinygltf::Asset& asset) {
  auto major_two = [](const std::string& v) { return v == "2" || v.compare(0, 2, "2.") == 0; };
  return major_two(asset.version) && (asset.minVersion.empty() || major_two(asset.minVersion));
}

bool readable_extensions(const Model& model) {
  for (const std::string& required : model.extensionsRequired) {
    bool known = false;
    for (const char* name : READABLE_EXTENSIONS) known = known || required == name;
    if (!known) return false;
  }
  return true;
}

// The nodes to walk: the default scene's, else the first scene's; a file with
// no scene shows the nodes that are nobody's child.
std::vector<int> root_nodes(const Model& model) {
  if (!model.scenes.empty()) {
    int scene = model.defaultScene;
    if (scene < 0 || static_cast<size_t>(scene) >= model.scenes.size()) scene = 0;
    return model.scenes[scene].nodes;
  }
  std::vector<bool> child(model.nodes.size(), false);
  for (const tinygltf::Node& node : model.nodes)
    for (int c : node.children)
      if (c >= 0 && static_cast<size_t>(c) < child.size()) child[c] = true;
  std::vector<int> roots;
  for (size_t n = 0; n < child.size(); ++n)
    if (!child[n]) roots.push_back(static_cast<int>(n));
  return roots;
}

// Every mesh of the scene into parts. The walk keeps its own stack, so a deep
// hierarchy costs no recursion, and visits a node once: a node met again (a
// cycle, or a child of two parents) is passed over. A node whose transform is
// unusable is passed over with everything below it.
void build_parts(PartBuilder& builder, AccessorCache& cache) {
  const Model& model = builder.model;
  std::vector<bool> visited(model.nodes.size(), false);
  std::vector<std::pair<int, Matrix>> stack;
  std::vector<int> roots = root_nodes(model);
  for (auto it = roots.rbegin(); it != roots.rend(); ++it) stack.emplace_back(*it, Matrix());

  while (!stack.empty()) {
    auto [index, parent] = stack.back();
    stack.pop_back();
    if (index < 0 || static_cast<size_t>(index) >= model.nodes.size() || visited[index]) continue;
    visited[index] = true;
    const tinygltf::Node& node = model.nodes[index];
    Matrix local;
    if (!local_transform(node, &local)) continue;
    Matrix world = multiply(parent, local);

    if (node.mesh >= 0 && static_cast<size_t>(node.mesh) < model.meshes.size()) {
      const tinygltf::Mesh& mesh = model.meshes[node.mesh];
      Instance instance;
      instance.world = world;
      prepare_instance(&instance);
      instance.sets.reserve(mesh.primitives.size());  // sets are handed out by address
      for (const tinygltf::Primitive& primitive : mesh.primitives) add_primitive(&instance, cache, primitive);
      const std::string& name = node.name.empty() ? mesh.name : node.name;
      size_t first_part = builder.object->parts.size();
      for (const VertexSet& set : instance.sets) builder.add_set(set, first_part, name);
    }
    for (auto child = node.children.rbegin(); child != node.children.rend(); ++child)
      stack.emplace_back(*child, world);
  }
}

// ---- [SECTION] entry ----------------------------------------------------------------

// tinygltf's check of a binary file's BIN chunk lets the chunk's end run up to
// 8 bytes past the file's: a binary file is parsed from memory that has 8 more
// bytes, zero. `padded` says the caller's memory has them.
constexpr size_t GLB_SLACK = 8;

bool parse(const uint8_t* data, size_t size, bool padded, const std::string& folder, FileFence* fence,
           Model* model) {
  if (size > UINT32_MAX - GLB_SLACK) return false;
  tinygltf::TinyGLTF gltf;
  gltf.SetFsCallbacks({fence_exists, fence_expand, fence_read, fence_write, fence});
  gltf.SetImageLoader(keep_image_bytes, nullptr);
  std::string err, warn;
  // tinygltf throws on some malformed input (an empty embedded image, an empty
  // binary buffer): a file that does that does not load.
  try {
    if (size >= 4 && std::memcmp(data, "glTF", 4) == 0) {
      std::vector<uint8_t> copy;
      if (!padded) {
        copy.assign(size + GLB_SLACK, 0);
        std::memcpy(copy.data(), data, size);
        data = copy.data();
      }
      return gltf.LoadBinaryFromMemory(model, &err, &warn, data, static_cast<unsigned>(size), folder);
    }
    return gltf.LoadASCIIFromString(model, &err, &warn, reinterpret_cast<const char*>(data),
                                    static_cast<unsigned>(size), folder);
  } catch (const std::exception&) {
    return false;
  }
}

bool load(cObject* object, const uint8_t* data, size_t size, bool padded, const std::string& folder) {
  object->clearMesh();
  FileFence fence{folder};
  Model model;
  if (!data || !parse(data, size, padded, folder, &fence, &model)) return false;
  if (!readable_version(model.asset) || !readable_extensions(model)) return false;

  AccessorCache cache{model, {}, {}, {}};
  PartBuilder builder{object, model, {}, {}};
  build_parts(builder, cache);
  builder.finish_arrays();
  if (builder.triangles_kept == 0) {
    object->clearMesh();
    return false;
  }

  // Colour maps, once every part and group exists (binding checks both).
  if (object->engine) {
    std::string data_path = object->engine->paths.data_path;
    bool in_data = folder.compare(0, data_path.size(), data_path) == 0;
    ImageBinder binder{object, model, fence, in_data, in_data ? folder.substr(data_path.size()) : std::string()};
    for (size_t p = 0; p < object->parts.size(); ++p)
      for (size_t g = 0; g < object->parts[p].groups.size(); ++g) {
        int image = group_material(model, builder.group_materials[p][g]).image;
        if (image >= 0) binder.bind(static_cast<int>(p), static_cast<int>(g), image);
      }
  }
  // Blending after the bindings, which clear the flag before they look at the image.
  for (size_t p = 0; p < object->parts.size(); ++p)
    for (size_t g = 0; g < object->parts[p].groups.size(); ++g)
      if (group_material(model, builder.group_materials[p][g]).blend) {
        object->parts[p].groups[g].transparent = 1;
        object->blended = 1;
      }

  object->computeNormals();
  builder.apply_file_normals();
  return true;
}

}  // namespace

bool readGltfBytes(cObject* object, const uint8_t* data, size_t size, const std::string& folder) {
  return load(object, data, size, false, folder);
}

bool readGltf(cObject* object, const char* path) {
  FILE* file = platform::open_file(path, "rb");
  if (!file) return false;
  // In one read, into memory with the slack a binary file needs.
  std::vector<uint8_t> data;
  long length = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
  bool read = length >= 0 && static_cast<unsigned long>(length) <= UINT32_MAX && std::fseek(file, 0, SEEK_SET) == 0;
  if (read) {
    data.resize(static_cast<size_t>(length) + GLB_SLACK);
    read = std::fread(data.data(), 1, static_cast<size_t>(length), file) == static_cast<size_t>(length);
  }
  std::fclose(file);
  if (!read) {
    object->clearMesh();
    return false;
  }
  std::string resolved = path;
  size_t slash = resolved.rfind('/');
  std::string folder = slash == std::string::npos ? std::string() : resolved.substr(0, slash + 1);
  return load(object, data.data(), static_cast<size_t>(length), true, folder);
}
