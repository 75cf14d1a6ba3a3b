// Little-endian reading and writing of the binary formats of this unit
// (EMF, WMF, DIB). Readers take a pointer the caller has bounds-checked.
#pragma once

#include "common/StrUtils.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/CodePage.h"

namespace hy::le {

inline uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline int16_t I16(const uint8_t* p) { return int16_t(U16(p)); }
inline uint32_t U32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline int32_t I32(const uint8_t* p) { return int32_t(U32(p)); }
inline float F32(const uint8_t* p) {
  uint32_t u = U32(p);
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}

// Appends little-endian values to a byte buffer.
class TWriter {
public:
  explicit TWriter(std::vector<uint8_t>& buffer) : buf_(buffer) {}
  size_t Pos() const { return buf_.size(); }
  void U8(uint8_t v) { buf_.push_back(v); }
  void U16(uint16_t v) {
    uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    buf_.insert(buf_.end(), b, b + 2);
  }
  void I16(int16_t v) { U16(uint16_t(v)); }
  void U32(uint32_t v) {
    uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    buf_.insert(buf_.end(), b, b + 4);
  }
  void I32(int32_t v) { U32(uint32_t(v)); }
  void F32(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    U32(u);
  }
  void Bytes(const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    buf_.insert(buf_.end(), b, b + n);
  }
  void Zeros(size_t n) { buf_.insert(buf_.end(), n, 0); }
  void PadTo(size_t multiple) {
    while (buf_.size() % multiple) buf_.push_back(0);
  }
  void PatchU32(size_t at, uint32_t v) {
    buf_[at] = uint8_t(v);
    buf_[at + 1] = uint8_t(v >> 8);
    buf_[at + 2] = uint8_t(v >> 16);
    buf_[at + 3] = uint8_t(v >> 24);
  }
  void PatchU16(size_t at, uint16_t v) {
    buf_[at] = uint8_t(v);
    buf_[at + 1] = uint8_t(v >> 8);
  }

private:
  std::vector<uint8_t>& buf_;
};

// UTF-8 <-> UTF-16 without Qt, so that the reader works on plain bytes.
std::u16string Utf8To16(std::string_view s);
std::string Utf16To8(std::u16string_view s);
// Code page 1252, the 8-bit text of the old metafile form and of EXTTEXTOUTA
// (common/CodePage.h).
using ::hy::Cp1252ToUnicode;
using ::hy::Cp1252ToUtf8;
using ::hy::UnicodeToCp1252;

}  // namespace hy::le
