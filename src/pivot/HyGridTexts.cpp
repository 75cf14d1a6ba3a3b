#include "pivot/HyGridTexts.h"

#include <algorithm>
#include <cstring>

#include "common/Format.h"
#include "cube/HyBin.h"
#include "pivot/HyDB.h"
#include "pivot/HyDBCube.h"

namespace hy {

std::string FormatDisplayValue(const Variant& value, const std::string& format) {
  if (value.IsNull() || value.IsEmpty()) return {};
  if (value.VarType() == varCurrency) return FormatCurr(format, value.AsCurrency());
  if (value.IsNumeric() || value.VarType() == varDate) return FormatFloat(format, value.AsDouble());
  return value.ToText();
}

void TCellTextCache::Clear() {
  summary_ = nullptr;
  format_.clear();
  cols_ = rows_ = loadedRecords_ = 0;
  recordText_.clear();
  cellText_.clear();
  spans_.clear();
  chunks_.clear();
  chunkUsed_ = chunkCapacity_ = 0;
}

void TCellTextCache::Prepare(const TAbstractSummary* summary, int32_t records,
                             const std::string& format, int32_t cols, int32_t rows) {
  if (summary == summary_ && format == format_ && cols == cols_ && rows == rows_) return;
  Clear();
  summary_ = summary;
  format_ = format;
  cols_ = cols;
  rows_ = rows;
  recordText_.assign(records, kNone);
  loadedRecords_ = records;
  spans_.reserve(static_cast<size_t>(records) + 1);
  if (int64_t{cols} * rows <= kMaxCellTable)
    cellText_.assign(static_cast<size_t>(cols) * rows, kNone);
  spans_.push_back({0, 0});  // the text of a cell without data
}

bool TCellTextCache::StoreText(const TAbstractSummary& summary, int32_t record,
                               const std::string& format) {
  std::string& text = scratch_;
  if (format.empty()) summary.GetRecordText(record, text);
  else text = FormatDisplayValue(summary.GetRecordValue(record), format);
  uint32_t start = 0;
  if (spans_.size() >= kNone || !Keep(text, start)) return false;
  recordText_[record] = static_cast<uint32_t>(spans_.size());
  spans_.push_back({start, static_cast<uint32_t>(text.size())});
  return true;
}

bool TCellTextCache::Keep(std::string_view text, uint32_t& start) {
  if (text.empty()) return true;
  if (text.size() >= kNone) return false;
  // An offset must stay below kChunkSize: a chunk holding one long text
  // takes nothing after it.
  if (chunks_.empty() || chunkUsed_ + text.size() > chunkCapacity_ || chunkUsed_ >= kChunkSize) {
    if (chunks_.size() >= kMaxChunks) return false;
    // A text longer than a chunk gets a chunk of its own size.
    chunkCapacity_ = std::max(kChunkSize, text.size());
    chunks_.emplace_back(new char[chunkCapacity_]);
    chunkUsed_ = 0;
  }
  start = static_cast<uint32_t>(((chunks_.size() - 1) << kChunkBits) | chunkUsed_);
  std::memcpy(chunks_.back().get() + chunkUsed_, text.data(), text.size());
  chunkUsed_ += text.size();
  return true;
}

uint32_t TCellTextCache::RecordText(const TAbstractSummary& summary, int32_t record,
                                    const std::string& format) {
  if (recordText_[record] != kNone) return recordText_[record];
  if (record < loadedRecords_) {
    const int32_t first = record - record % kRecordBlock;
    const int32_t last = std::min(first + kRecordBlock, loadedRecords_);
    for (int32_t r = first; r < last; ++r)
      if (r != record && recordText_[r] == kNone && !StoreText(summary, r, format)) break;
  }
  return StoreText(summary, record, format) ? recordText_[record] : kNone;
}

std::string_view TCellTextCache::DataText(const THySource& source, int32_t x, int32_t y,
                                          const std::string& format) {
  const THyCube* cube = source.DecisionCube();
  if (source.DataState() != dsAllData || !cube || source.SummaryCount() <= 0) return {};
  const int32_t cols = source.ColCount(), rows = source.RowCount();
  if (y < 0 || y >= rows || x < 0 || x >= cols) return {};
  const TDataCache& cache = cube->DataCache();
  const TAbstractSummary* summary = cache.Summaries(cache.CurrentSummary());
  Prepare(summary, cache.BinTable()->RecordCount(), format, cols, rows);

  uint32_t* cell = cellText_.empty() ? nullptr : &cellText_[static_cast<size_t>(y) * cols + x];
  if (cell && *cell != kNone) return Text(*cell);
  source.CellCoordsInto(y, x, coords_);
  const int32_t record = cache.CellRecord(coords_);
  uint32_t id = 0;
  if (record >= 0) {
    // Totals become records as they are first read.
    if (record >= static_cast<int32_t>(recordText_.size())) recordText_.resize(record + 1, kNone);
    id = RecordText(*summary, record, format);
    if (id == kNone) return scratch_;
  }
  if (cell) *cell = id;
  return Text(id);
}

}  // namespace hy
