// The output file of an export: written to a temporary file beside the
// target and renamed onto it by Commit, so that a failed or abandoned export
// leaves no half-written file under the user's name. Writes are buffered.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class QSaveFile;

namespace hy {

class TExportFile {
public:
  // Opens the temporary file; EKyRExportError when it cannot be created.
  explicit TExportFile(const std::string& fileName);
  ~TExportFile();  // without Commit the temporary file is removed
  TExportFile(const TExportFile&) = delete;
  TExportFile& operator=(const TExportFile&) = delete;

  void Write(std::string_view bytes) {
    buffer_.append(bytes);
    if (buffer_.size() >= kFlushSize) Flush();
  }
  void WriteU16(uint16_t v) {
    buffer_ += char(v & 0xFF);
    buffer_ += char(v >> 8);
  }
  // Writes the rest and renames the file onto the target.
  void Commit();
  const std::string& FileName() const { return fileName_; }

private:
  static constexpr size_t kFlushSize = 1 << 20;
  void Flush();
  [[noreturn]] void Fail(const char* what) const;

  std::string fileName_;
  std::unique_ptr<QSaveFile> file_;
  std::string buffer_;
};

}  // namespace hy
