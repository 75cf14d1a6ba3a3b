#include "pivot/HyGridTexts.h"

#include <algorithm>

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
  arena_.clear();
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
  // Room for a short text per record; untouched room costs no memory.
  spans_.reserve(static_cast<size_t>(records) + 1);
  arena_.reserve(static_cast<size_t>(records) * 12);
  if (int64_t{cols} * rows <= kMaxCellTable)
    cellText_.assign(static_cast<size_t>(cols) * rows, kNone);
  spans_.push_back({0, 0});  // the text of a cell without data
}

bool TCellTextCache::StoreText(const TAbstractSummary& summary, int32_t record,
                               const std::string& format) {
  std::string& text = scratch_;
  if (format.empty()) summary.GetRecordText(record, text);
  else text = FormatDisplayValue(summary.GetRecordValue(record), format);
  if (arena_.size() + text.size() >= kNone || spans_.size() >= kNone) return false;
  recordText_[record] = static_cast<uint32_t>(spans_.size());
  spans_.push_back({static_cast<uint32_t>(arena_.size()), static_cast<uint32_t>(text.size())});
  arena_ += text;
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
