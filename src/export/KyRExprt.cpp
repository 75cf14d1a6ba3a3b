#include "export/KyRExprt.h"

#include "platform/gdi/EmfRecords.h"
#include "platform/gdi/Metafile.h"

namespace hy {

void TKyRExport::SaveToFile(const std::string&) {
  offsetX_ = offsetY_ = 0;
  pageWidth_ = pageHeight_ = 0;
  totalWidth_ = totalHeight_ = 0;
}

void TKyRExport::ProcessPicture(const TMetafile& picture) {
  EnumerateMetafile(picture, [this](const TEmfRecord& r) { ProcessRecord(r); });
}

std::string SeparateFileName(const std::string& fileName, int32_t pageIndex, int32_t barIndex) {
  // A dot in a folder name ("./out/report.txt") is not the file's extension.
  size_t nameStart = fileName.find_last_of('/');
  nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
  size_t dot = fileName.find('.', nameStart);
  std::string numbers = std::to_string(pageIndex) + "_" + std::to_string(barIndex);
  if (dot == std::string::npos) return fileName + numbers;
  return fileName.substr(0, dot) + numbers + fileName.substr(dot);
}

}  // namespace hy
