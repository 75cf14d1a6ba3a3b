#include "export/KyRExportFile.h"

#include <QSaveFile>

#include "common/StrUtils.h"
#include "export/KyRExprt.h"

namespace hy {

TExportFile::TExportFile(const std::string& fileName)
    : fileName_(fileName), file_(std::make_unique<QSaveFile>(QString::fromStdString(fileName))) {
  file_->setDirectWriteFallback(false);
  if (!file_->open(QIODevice::WriteOnly)) Fail("Cannot create file");
  buffer_.reserve(kFlushSize + 4096);
}

TExportFile::~TExportFile() = default;

void TExportFile::Flush() {
  if (buffer_.empty()) return;
  if (file_->write(buffer_.data(), qint64(buffer_.size())) != qint64(buffer_.size()))
    Fail("Cannot write file");
  buffer_.clear();
}

void TExportFile::Commit() {
  Flush();
  if (!file_->commit()) Fail("Cannot write file");
}

void TExportFile::Fail(const char* what) const {
  throw EKyRExportError(
      Format("%s \"%s\": %s", what, fileName_.c_str(), file_->errorString().toStdString().c_str()));
}

}  // namespace hy
