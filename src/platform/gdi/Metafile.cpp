#include "platform/gdi/Metafile.h"

#include <cmath>
#include <fstream>
#include <istream>
#include <ostream>

#include "platform/gdi/Bitmap.h"
#include "platform/gdi/Bytes.h"
#include "platform/gdi/WmfWriter.h"

namespace hy {

int32_t PixelsToHiMetric(int32_t px) {
  return int32_t(std::lround(double(px) * kRefDeviceWidthMm * 100.0 / kRefDeviceWidthPx));
}

int32_t HiMetricToPixels(int32_t hm) {
  return int32_t(std::lround(double(hm) * kRefDeviceWidthPx / (kRefDeviceWidthMm * 100.0)));
}

void TMetafile::Clear() {
  data_.clear();
  width_ = height_ = 0;
}

void TMetafile::SetWidth(int32_t width) {
  width_ = width;
  PatchFrame();
}

void TMetafile::SetHeight(int32_t height) {
  height_ = height;
  PatchFrame();
}

void TMetafile::PatchFrame() {
  if (data_.size() < emf::kHeaderSizeBase) return;
  le::TWriter w(data_);
  int32_t left = le::I32(data_.data() + 24), top = le::I32(data_.data() + 28);
  w.PatchU32(32, uint32_t(left + PixelsToHiMetric(width_)));
  w.PatchU32(36, uint32_t(top + PixelsToHiMetric(height_)));
}

void TMetafile::SetData(std::vector<uint8_t> data) {
  TEmfHeader h = ValidateMetafile(data.data(), data.size());
  data.resize(h.Bytes);  // drop anything after the picture
  data_ = std::move(data);
  width_ = int32_t(std::lround(h.FrameWidthPx()));
  height_ = int32_t(std::lround(h.FrameHeightPx()));
}

TEmfHeader TMetafile::Header() const {
  if (data_.empty()) throw EEmfError("The picture is empty");
  TEmfRecord r{emf::EMR_HEADER, le::U32(data_.data() + 4), data_.data(), 0, 0};
  return ReadHeader(r);
}

void TMetafile::LoadFromStream(std::istream& in) {
  std::vector<uint8_t> data(emf::kHeaderSizeBase);
  in.read(reinterpret_cast<char*>(data.data()), std::streamsize(data.size()));
  if (size_t(in.gcount()) != data.size())
    throw EEmfError("Cannot read the picture: the data ends inside its header");
  if (le::U32(data.data()) != emf::EMR_HEADER || le::U32(data.data() + 40) != emf::ENHMETA_SIGNATURE)
    throw EEmfError("The data is not an enhanced metafile (no EMF header signature)");
  uint32_t bytes = le::U32(data.data() + 48);
  if (bytes < emf::kHeaderSizeBase)
    throw EEmfError(Format("Damaged metafile: the header's byte count %u is not sound", unsigned(bytes)));
  // Read in slices so that a damaged byte count cannot demand a huge buffer.
  constexpr size_t kSlice = size_t(1) << 20;
  while (data.size() < bytes) {
    size_t want = std::min<size_t>(kSlice, bytes - data.size());
    size_t at = data.size();
    data.resize(at + want);
    in.read(reinterpret_cast<char*>(data.data() + at), std::streamsize(want));
    if (size_t(in.gcount()) != want)
      throw EEmfError(Format("Cannot read the picture: the data ends after %zu of %u bytes",
                              at + size_t(in.gcount()), unsigned(bytes)));
  }
  SetData(std::move(data));
}

void TMetafile::SaveToStream(std::ostream& out) const {
  if (data_.empty()) throw EEmfError("Cannot save an empty picture");
  if (enhanced_) {
    out.write(reinterpret_cast<const char*>(data_.data()), std::streamsize(data_.size()));
  } else {
    std::vector<uint8_t> wmf = ToWmf();
    out.write(reinterpret_cast<const char*>(wmf.data()), std::streamsize(wmf.size()));
  }
  if (!out) throw EGdiError("Cannot write the picture");
}

void TMetafile::LoadFromFile(const std::string& fileName) {
  std::vector<uint8_t> bytes = ReadWholeFile(fileName);
  if (bytes.size() >= 4 && le::U32(bytes.data()) == kWmfPlaceableKey)
    throw EEmfError(Format("\"%s\" is an old-style metafile; only enhanced metafiles can be loaded",
                            fileName.c_str()));
  try {
    SetData(std::move(bytes));
  } catch (const EEmfError& e) {
    throw EEmfError(Format("\"%s\": %s", fileName.c_str(), e.what()));
  }
}

void TMetafile::SaveToFile(const std::string& fileName) const {
  if (data_.empty()) throw EEmfError("Cannot save an empty picture");
  WriteFileAtomically(fileName, enhanced_ ? data_ : ToWmf());
}

std::vector<uint8_t> TMetafile::ToWmf() const {
  if (data_.empty()) throw EEmfError("Cannot convert an empty picture");
  return ConvertEmfToWmf(data_.data(), data_.size());
}

}  // namespace hy
