// Bounded reading of binary mesh files: the whole file is held in memory and
// every read says whether the bytes were there, so that no reader can look
// past the end of its data whatever the counts in the file claim.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

// The rest of an open file from its current position (empty on a read error).
std::vector<uint8_t> read_whole_file(FILE* file);

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  // Multi-byte values are little-endian unless big_endian is set.
  bool big_endian = false;

  size_t position() const { return pos_; }
  const uint8_t* cursor() const { return data_ + pos_; }
  size_t remaining() const { return size_ - pos_; }
  bool seek(size_t position) {
    if (position > size_) return false;
    pos_ = position;
    return true;
  }

  bool bytes(void* out, size_t count) {
    if (count > remaining()) return false;
    if (count) std::memcpy(out, data_ + pos_, count);
    pos_ += count;
    return true;
  }
  bool skip(size_t count) {
    if (count > remaining()) return false;
    pos_ += count;
    return true;
  }
  bool u8(uint8_t* out) { return bytes(out, 1); }
  bool u16(uint16_t* out) {
    uint8_t b[2];
    if (!bytes(b, 2)) return false;
    *out = big_endian ? static_cast<uint16_t>(b[0] << 8 | b[1]) : static_cast<uint16_t>(b[1] << 8 | b[0]);
    return true;
  }
  bool u32(uint32_t* out) {
    uint8_t b[4];
    if (!bytes(b, 4)) return false;
    if (big_endian)
      *out = uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
    else
      *out = uint32_t(b[3]) << 24 | uint32_t(b[2]) << 16 | uint32_t(b[1]) << 8 | b[0];
    return true;
  }
  bool f32(float* out) {
    uint32_t bits;
    if (!u32(&bits)) return false;
    std::memcpy(out, &bits, 4);
    return true;
  }
  // count floats into out (resized); false (and out untouched) when short.
  bool floats(std::vector<float>* out, size_t count) {
    if (count > remaining() / 4) return false;
    out->resize(count);
    for (size_t i = 0; i < count; ++i) f32(&(*out)[i]);
    return true;
  }
  bool u16s(std::vector<uint16_t>* out, size_t count) {
    if (count > remaining() / 2) return false;
    out->resize(count);
    for (size_t i = 0; i < count; ++i) u16(&(*out)[i]);
    return true;
  }
  // A string ended by NUL or by max bytes, whichever comes first (the NUL is
  // consumed); stops quietly at the end of the data.
  void cstring(char* out, size_t max) {
    size_t n = 0;
    uint8_t c;
    while (n < max && u8(&c) && c != 0) out[n++] = static_cast<char>(c);
    out[n] = '\0';
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};
