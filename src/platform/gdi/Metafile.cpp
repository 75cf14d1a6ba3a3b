#include "platform/gdi/Metafile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>
#include <utility>

#include "platform/gdi/Bitmap.h"
#include "platform/gdi/Bytes.h"
#include "platform/gdi/EmfLayout.h"
#include "platform/gdi/WmfWriter.h"

namespace hy {

int32_t PixelsToHiMetric(int32_t px) {
  return int32_t(std::clamp<long long>(
      std::llround(double(px) * kRefDeviceWidthMm * 100.0 / kRefDeviceWidthPx), INT32_MIN,
      INT32_MAX));
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
  emf::THeaderFields h = emf::DecodeFields<emf::THeaderFields>(data_.data() + 8);
  auto end = [](int32_t start, int32_t px) {
    return int32_t(
        std::clamp<int64_t>(int64_t(start) + PixelsToHiMetric(px), INT32_MIN, INT32_MAX));
  };
  h.Frame.Right = end(h.Frame.Left, width_);
  h.Frame.Bottom = end(h.Frame.Top, height_);
  emf::PatchFields(data_, 8, h);
}

namespace {

// The page size the header's frame gives, in page units.
std::pair<double, double> PageSize(const TEmfHeader& h) {
  return {std::round(h.FrameWidthPx()), std::round(h.FrameHeightPx())};
}

}  // namespace

void TMetafile::SetData(std::vector<uint8_t> data) {
  TEmfHeader h = ValidateMetafile(data.data(), data.size());
  auto [w, ht] = PageSize(h);
  if (!(std::fabs(w) <= INT32_MAX && std::fabs(ht) <= INT32_MAX))
    throw EEmfError(
        Format("Damaged metafile: the header's frame (%.0f x %.0f units) does not fit", w, ht));
  data.resize(h.Bytes);  // drop anything after the picture
  data_ = std::move(data);
  width_ = int32_t(w);
  height_ = int32_t(ht);
}

TEmfHeader TMetafile::Header() const {
  if (data_.empty()) throw EEmfError("The picture is empty");
  TEmfRecord r{emf::EMR_HEADER, le::U32(data_.data() + 4), data_.data(), 0, 0};
  return ReadHeader(r);
}

namespace {

// The fixed part of the header, or EEmfError when the stream ends inside it.
std::vector<uint8_t> ReadHeaderBytes(std::istream& in) {
  std::vector<uint8_t> data(emf::kHeaderSizeBase);
  in.read(reinterpret_cast<char*>(data.data()), std::streamsize(data.size()));
  if (size_t(in.gcount()) != data.size())
    throw EEmfError("Cannot read the picture: the data ends inside its header");
  return data;
}

}  // namespace

void TMetafile::LoadFromStream(std::istream& in) { LoadAfterHeader(in, ReadHeaderBytes(in)); }

void TMetafile::LoadAfterHeader(std::istream& in, std::vector<uint8_t> data) {
  const emf::THeaderFields h = emf::DecodeFields<emf::THeaderFields>(data.data() + 8);
  if (le::U32(data.data()) != emf::EMR_HEADER || h.Signature != emf::ENHMETA_SIGNATURE)
    throw EEmfError("The data is not an enhanced metafile (no EMF header signature)");
  const uint32_t bytes = h.Bytes;
  if (bytes < emf::kHeaderSizeBase)
    throw EEmfError(
        Format("Damaged metafile: the header's byte count %u is not sound", unsigned(bytes)));
  if (bytes > kMaxPictureBytes)
    throw EEmfError(
        Format("The picture announces %u bytes, more than the %u bytes a picture may have",
               unsigned(bytes), unsigned(kMaxPictureBytes)));
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
  auto [w, ht] = PageSize(ValidateMetafile(data.data(), data.size()));
  if (!(w >= 0 && w <= kMaxPageUnits && ht >= 0 && ht <= kMaxPageUnits))
    throw EEmfError(
        Format("Damaged metafile: the header's frame makes a page of %.0f x %.0f units; a page has "
               "0 to %d units a side",
               w, ht, int(kMaxPageUnits)));
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
  // The stream library reports a folder or a failing device only by an
  // exception of its own; say it as the system does.
  auto cannotRead = [&](int error) {
    return EGdiError(Format("Cannot read file \"%s\": %s", fileName.c_str(), std::strerror(error)));
  };
  std::error_code ec;
  if (std::filesystem::is_directory(fileName, ec)) throw cannotRead(EISDIR);
  std::ifstream in(fileName, std::ios::binary);
  if (!in)
    throw EGdiError(Format("Cannot open file \"%s\": %s", fileName.c_str(), std::strerror(errno)));
  try {
    std::vector<uint8_t> head = ReadHeaderBytes(in);
    if (le::U32(head.data()) != kWmfPlaceableKey) {
      // The header's byte count delimits the picture: no more is read, even
      // from a device that never ends.
      LoadAfterHeader(in, std::move(head));
      return;
    }
  } catch (const std::ios_base::failure&) {
    throw cannotRead(errno ? errno : EIO);
  } catch (const EEmfError& e) {
    throw EEmfError(Format("\"%s\": %s", fileName.c_str(), e.what()));
  }
  throw EEmfError(Format("\"%s\" is an old-style metafile; only enhanced metafiles can be loaded",
                         fileName.c_str()));
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
