// Small pictures made record by record, for inputs the canvas never writes:
// odd transforms, huge regions, fields at the edge of their range.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gdi/EmfLayout.h"

namespace hy::test {

class TPictureBuilder {
public:
  // `frame` in .01 mm; the reference device is 96 pixels per inch, so
  // 2540 units are 96 page units.
  explicit TPictureBuilder(TRect frame = {0, 0, 2540, 2540}) {
    emf::THeaderFields h;
    h.Frame = frame;
    h.Signature = emf::ENHMETA_SIGNATURE;
    h.Version = emf::ENHMETA_VERSION;
    h.Handles = 8;
    h.Device = {960, 960};  // 96 pixels per inch
    h.Millimeters = {254, 254};
    emf::TEmfRecordScope(bytes_, emf::EMR_HEADER, &records_).Put(h);
  }

  // A record of `type` with the fields of layout L and `tail` after them.
  template <class L>
  TPictureBuilder& Add(uint32_t type, const L& fields, const std::vector<uint8_t>& tail = {}) {
    emf::TEmfRecordScope rec(bytes_, type, &records_);
    rec.Put(fields);
    rec.Out().Bytes(tail.data(), tail.size());
    return *this;
  }

  // The picture with its end record and the header's counts.
  std::vector<uint8_t> Finish() {
    emf::TEmfRecordScope(bytes_, emf::EMR_EOF, &records_).Put(emf::TEofFields{});
    emf::THeaderFields h = emf::DecodeFields<emf::THeaderFields>(bytes_.data() + 8);
    h.Bytes = uint32_t(bytes_.size());
    h.Records = records_;
    emf::PatchFields(bytes_, 8, h);
    return bytes_;
  }

private:
  std::vector<uint8_t> bytes_;
  uint32_t records_ = 0;
};

// A font record for handle 1 of `height` (negative: em height in pixels).
inline emf::TCreateFontFields FontFields(int32_t height, int32_t escapement = 0) {
  emf::TCreateFontFields f;
  f.Handle = 1;
  f.Height = height;
  f.Escapement = escapement;
  f.Weight = emf::FW_NORMAL;
  const char face[] = "Arial";
  for (size_t i = 0; i + 1 < sizeof face; ++i) f.FaceName[i] = uint16_t(face[i]);
  return f;
}

// An EMR_EXTTEXTOUTW of `text` (ASCII) at (x, y), without a rectangle:
// TextFields, then TextTail (no spacing array, the string).
inline std::vector<uint8_t> TextTail(const char* text) {
  std::vector<uint8_t> tail;
  le::TWriter w(tail);
  w.U32(0);
  for (const char* c = text; *c; ++c) w.U16(uint16_t(*c));
  return tail;
}
inline emf::TExtTextOutFields TextFields(int32_t x, int32_t y, uint32_t chars) {
  emf::TExtTextOutFields f;
  f.GraphicsMode = emf::GM_COMPATIBLE;
  f.Reference = {x, y};
  f.Chars = chars;
  f.StringOffset = emf::RecordSize<emf::TExtTextOutFields>() + 4;  // after the spacing offset
  f.Options = emf::ETO_NO_RECT;
  return f;
}

}  // namespace hy::test
