#include "pivot/HyGridTexts.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <thread>

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
  colSlot_.clear();
  tileDone_.clear();
  storeFull_ = false;
  spans_.clear();
  chunks_.clear();
  chunkCapacity_ = 0;
}

void TCellTextCache::Prepare(const TAbstractSummary* summary, int32_t records, int64_t totals,
                             const std::string& format, int32_t cols, int32_t rows) {
  if (summary == summary_ && format == format_ && cols == cols_ && rows == rows_) return;
  Clear();
  summary_ = summary;
  format_ = format;
  cols_ = cols;
  rows_ = rows;
  loadedRecords_ = records;
  // The totals the grid can show become records too; room for them now
  // saves copying what is kept as they come.
  const int64_t shown = std::min({totals, int64_t{cols} * rows, kMaxCellTable});
  recordText_.reserve(static_cast<size_t>(records + shown));
  recordText_.resize(static_cast<size_t>(records));
  spans_.reserve(recordText_.capacity() + 2);
  if (int64_t{cols} * rows <= kMaxCellTable) cellText_.resize(static_cast<size_t>(cols) * rows);
  spans_.push_back({0, 0});  // kNone, never shown
  spans_.push_back({0, 0});  // kEmpty
}

void TCellTextCache::RecordTextInto(const TAbstractSummary& summary, int32_t record,
                                    const std::string& format, std::string& text) {
  if (format.empty()) summary.GetRecordText(record, text);
  else text = FormatDisplayValue(summary.GetRecordValue(record), format);
}

bool TCellTextCache::StoreText(const TAbstractSummary& summary, int32_t record,
                               const std::string& format) {
  std::string& text = scratch_;
  RecordTextInto(summary, record, format, text);
  uint32_t start = 0;
  if (spans_.size() >= kPending || !Keep(text, start)) return false;
  KeepSpan(record, start, text.size());
  return true;
}

void TCellTextCache::KeepSpan(int32_t record, uint32_t start, size_t length) {
  recordText_[record] = static_cast<uint32_t>(spans_.size());
  spans_.push_back({start, static_cast<uint32_t>(length)});
}

bool TCellTextCache::Keep(std::string_view text, uint32_t& start) {
  if (text.empty()) return true;
  if (text.size() >= UINT32_MAX) return false;
  // An offset must stay below kChunkSize: a chunk holding one long text
  // takes nothing after it.
  if (chunks_.empty() || chunks_.back().size() + text.size() > chunkCapacity_ ||
      chunks_.back().size() >= kChunkSize) {
    if (chunks_.size() >= kMaxChunks) return false;
    // A text longer than a chunk gets a chunk of its own size.
    chunkCapacity_ = std::max(kChunkSize, text.size());
    chunks_.emplace_back().reserve(chunkCapacity_);
  }
  std::string& chunk = chunks_.back();
  start = static_cast<uint32_t>(((chunks_.size() - 1) << kChunkBits) | chunk.size());
  chunk.append(text);
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
  Prepare(summary, cache.BinTable()->RecordCount(), cache.PendingCount(), format, cols, rows);

  uint32_t* cell = cellText_.empty() ? nullptr : &cellText_[static_cast<size_t>(y) * cols + x];
  if (cell && *cell == kNone && !storeFull_) {
    if (colSlot_.empty()) PrepareTiles(source, cache);
    if (!tileDone_[TileOf(x, y)]) FillTile(source, cache, *summary, x, y, format);
  }
  if (cell && *cell != kNone) return Text(*cell);
  source.CellCoordsInto(y, x, coords_);
  const int32_t record = cache.CellRecord(coords_);
  uint32_t id = kEmpty;
  if (record >= 0) {
    CoverRecord(record);
    id = RecordText(*summary, record, format);
    if (id == kNone) return scratch_;
  }
  if (cell) *cell = id;
  return Text(id);
}

void TCellTextCache::PrepareTiles(const THySource& source, const TDataCache& cache) {
  colSlot_.resize(static_cast<size_t>(cols_));
  source.CellCoordsInto(0, 0, coords_);
  const int64_t origin = cache.SlotOf(coords_);
  for (int32_t c = 0; c < cols_; ++c) {
    source.CellCoordsInto(0, c, coords_);
    colSlot_[c] = cache.SlotOf(coords_) - origin;
  }
  source.CellCoordsInto(std::min(rows_ - 1, 1), 0, coords_);
  const int64_t rowStep = cache.SlotOf(coords_) - origin;
  const int64_t colStep = colSlot_[std::min(cols_ - 1, 1)];
  columnsFirst_ = std::llabs(colStep) > std::llabs(rowStep);
  tileRows_ = std::max(1, kTileCells / std::min(cols_, kTileCols));
  tileCols_ = (cols_ + kTileCols - 1) / kTileCols;
  tileDone_.assign(static_cast<size_t>((rows_ + tileRows_ - 1) / tileRows_) * tileCols_, false);
}

void TCellTextCache::FillTile(const THySource& source, const TDataCache& cache,
                              const TAbstractSummary& summary, int32_t x, int32_t y,
                              const std::string& format) {
  const int32_t y0 = y - y % tileRows_, y1 = std::min(rows_, y0 + tileRows_);
  const int32_t x0 = x - x % kTileCols, x1 = std::min(cols_, x0 + kTileCols);
  try {
    FindTileRecords(source, cache, x0, x1, y0, y1);
  } catch (...) {
    ReleasePending();
    throw;
  }
  MakePendingTexts(summary, format);

  const int32_t width = x1 - x0;
  for (int32_t r = y0; r < y1; ++r) {
    const int32_t* records = &tileRecords_[static_cast<size_t>(r - y0) * width];
    uint32_t* cells = &cellText_[static_cast<size_t>(r) * cols_ + x0];
    for (int32_t i = 0; i < width; ++i)
      if (cells[i] == kNone && records[i] != kUnresolved)
        cells[i] = records[i] < 0 ? kEmpty : recordText_[records[i]];
  }
  tileDone_[TileOf(x, y)] = true;
}

void TCellTextCache::FindTileRecords(const THySource& source, const TDataCache& cache, int32_t x0,
                                     int32_t x1, int32_t y0, int32_t y1) {
  const int32_t width = x1 - x0;
  rowSlot_.resize(static_cast<size_t>(y1 - y0));
  for (int32_t r = y0; r < y1; ++r) {
    source.CellCoordsInto(r, 0, coords_);
    rowSlot_[r - y0] = cache.SlotOf(coords_);
  }
  tileRecords_.resize(static_cast<size_t>(y1 - y0) * width);
  pending_.clear();
  auto find = [&](int32_t r, int32_t c) {
    int32_t record = cache.SlotRecord(rowSlot_[r - y0] + colSlot_[c]);
    if (record == -2) {
      source.CellCoordsInto(r, c, coords_);
      try {
        record = cache.CellRecord(coords_);
      } catch (const std::exception&) {
        // A total that cannot be computed (an overflow, no memory) is left
        // to its own cell, whose read raises it; the rest of the tile is
        // not held back by it.
        record = kUnresolved;
      }
    }
    if (record >= 0) {
      CoverRecord(record);
      if (recordText_[record] == kNone) {
        recordText_[record] = kPending;
        pending_.push_back(record);
      }
    }
    tileRecords_[static_cast<size_t>(r - y0) * width + (c - x0)] = record;
  };
  // In slot order the records come nearly in the cube's order.
  if (columnsFirst_) {
    for (int32_t c = x0; c < x1; ++c)
      for (int32_t r = y0; r < y1; ++r) find(r, c);
  } else {
    for (int32_t r = y0; r < y1; ++r)
      for (int32_t c = x0; c < x1; ++c) find(r, c);
  }
}

void TCellTextCache::MakeBatch(const TAbstractSummary& summary, const std::string& format,
                               size_t from, size_t to, TTextBatch& batch) const {
  batch.Bytes.clear();
  batch.Bytes.reserve(kChunkSize);
  batch.Ends.clear();
  std::string text;
  for (size_t i = from; i < to; ++i) {
    RecordTextInto(summary, pending_[i], format, text);
    batch.Bytes += text;
    batch.Ends.push_back(static_cast<uint32_t>(batch.Bytes.size()));
  }
}

bool TCellTextCache::KeepBatch(TTextBatch& batch, size_t from) {
  if (batch.Bytes.size() >= kAdoptBatch && batch.Bytes.size() <= kChunkSize &&
      chunks_.size() < kMaxChunks) {
    const uint32_t base = static_cast<uint32_t>(chunks_.size() << kChunkBits);
    uint32_t begin = 0;
    for (size_t i = 0; i < batch.Ends.size(); ++i) {
      const uint32_t end = batch.Ends[i];
      KeepSpan(pending_[from + i], end == begin ? 0 : base | begin, end - begin);
      begin = end;
    }
    // The chunk is full: the next text opens a new one.
    chunkCapacity_ = batch.Bytes.size();
    chunks_.push_back(std::move(batch.Bytes));
    batch.Bytes = std::string();
    return true;
  }
  uint32_t begin = 0;
  for (size_t i = 0; i < batch.Ends.size(); ++i) {
    const uint32_t end = batch.Ends[i];
    uint32_t start = 0;
    if (!Keep(std::string_view(batch.Bytes).substr(begin, end - begin), start)) return false;
    KeepSpan(pending_[from + i], start, end - begin);
    begin = end;
  }
  return true;
}

void TCellTextCache::MakePendingTexts(const TAbstractSummary& summary, const std::string& format) {
  const size_t n = pending_.size();
  // Ids must stay clear of the pending mark.
  if (spans_.size() + n >= kPending) storeFull_ = true;
  try {
    if (storeFull_) return;
    std::thread helper;
    std::exception_ptr helperFailure;
    const size_t half = n / 2;
    if (n >= kParallelTexts && summary.ReadsConcurrently() &&
        std::thread::hardware_concurrency() >= 2) {
      try {
        helper = std::thread([&] {
          try {
            MakeBatch(summary, format, 0, half, helperBatch_);
          } catch (...) {
            helperFailure = std::current_exception();
          }
        });
      } catch (const std::system_error&) {
        // No thread to be had: this one makes every text.
      }
    }
    if (!helper.joinable()) {
      MakeBatch(summary, format, 0, n, batch_);
      if (!KeepBatch(batch_, 0)) storeFull_ = true;
    } else {
      try {
        MakeBatch(summary, format, half, n, batch_);
      } catch (...) {
        helper.join();
        throw;
      }
      helper.join();
      if (helperFailure) std::rethrow_exception(helperFailure);
      if (!KeepBatch(helperBatch_, 0) || !KeepBatch(batch_, half)) storeFull_ = true;
    }
  } catch (...) {
    ReleasePending();
    throw;
  }
  ReleasePending();
}

void TCellTextCache::ReleasePending() {
  for (int32_t record : pending_)
    if (recordText_[record] == kPending) recordText_[record] = kNone;
}

}  // namespace hy
