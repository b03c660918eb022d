#include "mesh/loader_obj.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mesh/byte_reader.h"
#include "mesh/object.h"
#include "mesh/polygon.h"
#include "mesh/text_numbers.h"
#include "platform/platform.h"

namespace {

// One run of vertex statements and the faces after it, as collected.
struct ObjPart {
  std::vector<float> positions;  // 3 per vertex
  std::vector<float> coords;     // 2 per texture coordinate
  std::vector<long> corners;     // file-wide 1-based position numbers, 3 per triangle
  long before = 0;               // positions read in earlier parts
  bool has_faces = false;
};

struct ObjReader {
  cObject* object;
  ObjPart current;
  long positions_read = 0;  // over the whole file: relative numbers count from here
  // The face being read, kept between faces: its corners' position numbers,
  // their positions, and its triangles as corner numbers.
  std::vector<long> numbers;
  std::vector<float> corner_positions;
  std::vector<uint32_t> split;

  bool is_blank(char c) { return c == ' ' || c == '\t'; }

  // A face of n corners, each "v", "v/vt", "v/vt/vn" or "v//vn", becomes n - 2
  // triangles (mesh/polygon.h: the fan (1, 2, 3), (1, 3, 4), ... when it is
  // convex); a corner whose position number is missing or 0 drops the face.
  // Numbers are read in place and stop at the line's end.
  void face(const char* p, const char* end) {
    numbers.clear();
    while (p < end) {
      while (p < end && is_blank(*p)) ++p;
      if (p >= end) break;
      long number = 0;
      const char* after = readLong(p, end, &number);
      if (after == p || number == 0) return;
      if (number < 0) number = positions_read + number + 1;  // relative to the last position
      numbers.push_back(number);
      p = after;
      while (p < end && !is_blank(*p)) ++p;  // the corner's texture and normal numbers
    }
    current.has_faces = true;
    if (numbers.size() <= 3) {
      if (numbers.size() == 3) current.corners.insert(current.corners.end(), numbers.begin(), numbers.end());
      return;
    }

    // The corners' positions, when every one lies in this part; a face that
    // names others keeps the fan, and finish() drops its triangles that fall
    // outside.
    long count = static_cast<long>(current.positions.size() / 3);
    corner_positions.clear();
    for (long number : numbers) {
      long local = number - current.before - 1;
      if (local < 0 || local >= count) break;
      corner_positions.insert(corner_positions.end(), &current.positions[local * 3], &current.positions[local * 3 + 3]);
    }
    split.clear();
    if (corner_positions.size() == numbers.size() * 3) {
      triangulatePolygon(corner_positions.data(), numbers.size(), &split);
    } else {
      for (uint32_t i = 2; i < numbers.size(); ++i) split.insert(split.end(), {0u, i - 1, i});
    }
    for (uint32_t corner : split) current.corners.push_back(numbers[corner]);
  }

  // Up to `count` numbers of a "v" or "vt" statement; missing ones are 0, and
  // so is every one after a word that is no number.
  void values(const char* p, const char* end, int count, std::vector<float>* out) {
    for (int i = 0; i < count; ++i) {
      float value = 0.0f;
      p = readFloat(p, end, &value);
      out->push_back(value);
    }
  }

  void line(const char* p, const char* end) {
    if (p >= end) return;
    if (*p == 'f') {
      face(p + 1, end);
    } else if (*p == 'v') {
      if (current.has_faces) finish();
      char next = p + 1 < end ? p[1] : '\0';
      if (is_blank(next)) {
        values(p + 1, end, 3, &current.positions);
        ++positions_read;
      } else if (next == 't') {
        values(p + 2, end, 2, &current.coords);
      }
    }
    // anything else (comments, groups, objects, materials, normals) is skipped
  }

  // Makes one part of the given triangles (part-local indices into `source`),
  // with vertices renumbered when `remap` is set.
  void emit(const ObjPart& source, const std::vector<int>& triangles, bool remap) {
    int source_count = static_cast<int>(source.positions.size() / 3);
    std::vector<int> order;  // source vertex of each new vertex
    std::vector<uint16_t> indices;
    if (remap) {
      std::vector<int> number(source_count, -1);
      for (int v : triangles) {
        if (number[v] < 0) {
          number[v] = static_cast<int>(order.size());
          order.push_back(v);
        }
        indices.push_back(static_cast<uint16_t>(number[v]));
      }
    } else {
      for (int v = 0; v < source_count; ++v) order.push_back(v);
      for (int v : triangles) indices.push_back(static_cast<uint16_t>(v));
    }

    MeshPart part;
    part.vertexCount = static_cast<int32_t>(order.size());
    part.positions.reserve(order.size() * 3);
    part.texCoords.assign(order.size() * 2, 0.0f);
    for (size_t i = 0; i < order.size(); ++i) {
      int v = order[i];
      part.positions.insert(part.positions.end(), &source.positions[v * 3], &source.positions[v * 3 + 3]);
      // Coordinates pair with positions by order; exactly one pair per vertex.
      if (static_cast<size_t>(v) * 2 + 1 < source.coords.size()) {
        part.texCoords[i * 2] = source.coords[v * 2];
        part.texCoords[i * 2 + 1] = source.coords[v * 2 + 1];
      }
    }
    part.texCoordCount = part.vertexCount;
    part.normals.assign(order.size() * 3, 0.0f);

    MaterialGroup group;
    group.triangleCount = static_cast<int32_t>(indices.size() / 3);
    group.indices = std::move(indices);
    group.drawIndices = group.indices;
    group.drawTriangleCount = group.triangleCount;
    group.faceNormals.assign(group.indices.size(), 0.0f);
    const float ambient[4] = {1, 1, 1, 1}, diffuse[4] = {0, 0, 0, 1}, specular[4] = {0, 0, 0, 1};
    for (int i = 0; i < 4; ++i) {
      group.ambient[i] = ambient[i];
      group.diffuse[i] = diffuse[i];
      group.specular[i] = specular[i];
    }
    part.groups.push_back(std::move(group));
    part.groupCount = 1;
    object->parts.push_back(std::move(part));
  }

  // Rebases the part's position numbers by the positions read before it
  // (x - before - 1; a face with a number outside the part is dropped) and
  // moves it into the object. A part too big for 16-bit indices is split into
  // runs of faces, in order, whose distinct vertices fit.
  void finish() {
    ObjPart part = std::move(current);
    current = ObjPart();
    current.before = positions_read;
    long count = static_cast<long>(part.positions.size() / 3);
    if (count == 0 && part.corners.empty()) return;

    std::vector<int> triangles;
    for (size_t t = 0; t + 2 < part.corners.size(); t += 3) {
      long local[3];
      bool inside = true;
      for (int k = 0; k < 3; ++k) {
        local[k] = part.corners[t + k] - part.before - 1;
        if (local[k] < 0 || local[k] >= count) inside = false;
      }
      if (!inside) continue;
      for (long v : local) triangles.push_back(static_cast<int>(v));
    }

    if (count <= MAX_PART_VERTICES) {
      emit(part, triangles, false);
      return;
    }
    std::vector<char> seen(count, 0);
    std::vector<int> run;
    std::vector<int> touched;
    for (size_t t = 0; t < triangles.size(); t += 3) {
      int fresh = 0;
      for (int k = 0; k < 3; ++k)
        if (!seen[triangles[t + k]]) ++fresh;  // repeated corners counted at most three times
      if (touched.size() + fresh > static_cast<size_t>(MAX_PART_VERTICES)) {
        emit(part, run, true);
        run.clear();
        for (int v : touched) seen[v] = 0;
        touched.clear();
      }
      for (int k = 0; k < 3; ++k) {
        int v = triangles[t + k];
        if (!seen[v]) {
          seen[v] = 1;
          touched.push_back(v);
        }
        run.push_back(v);
      }
    }
    if (!run.empty()) emit(part, run, true);
  }
};

}  // namespace

bool readObjText(cObject* object, const char* text, size_t size) {
  object->clearMesh();
  ObjReader reader{object, ObjPart(), 0, {}, {}, {}};
  const char* p = text;
  const char* end = text + size;
  while (p < end) {
    const char* line_end = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    if (!line_end) line_end = end;
    const char* content_end = line_end;
    if (content_end > p && content_end[-1] == '\r') --content_end;
    reader.line(p, content_end);
    p = line_end + 1;
  }
  reader.finish();
  object->partCount = static_cast<int32_t>(object->parts.size());
  object->computeNormals();
  return true;
}

bool readObj(cObject* object, const char* path) {
  FILE* file = platform::open_file(path, "rb");
  if (!file) return false;
  std::vector<uint8_t> data = read_whole_file(file);
  std::fclose(file);
  return readObjText(object, reinterpret_cast<const char*>(data.data()), data.size());
}
