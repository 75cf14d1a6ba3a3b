// The texts of the grid's data cells, made once per value: a cell reads its
// cube record through the cell index, and a record's text is made the first
// time any cell shows it. Each cell also remembers which text it showed
// (while the grid is not too big for that), so that later passes over the
// grid, row by row as the report, the CSV and the painting read it, touch
// memory in order and allocate nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cube/HyCache.h"

namespace hy {

class THySource;
class TAbstractSummary;
class Variant;

// A value shown through a display format: numbers by the number format,
// anything else as its own text.
std::string FormatDisplayValue(const Variant& value, const std::string& format);

class TCellTextCache {
public:
  // Cells of a grid above this many get no memory of their own.
  static constexpr int64_t kMaxCellTable = 16'000'000;

  // The text of data cell (x, y): the current summary's text for the cell's
  // record, or the record's value through `format` when that is not empty.
  // The view holds until the next call.
  std::string_view DataText(const THySource& source, int32_t x, int32_t y,
                            const std::string& format);
  // Texts made so far are dropped (the cube, the pivot or a format changed).
  void Clear();

private:
  static constexpr uint32_t kNone = UINT32_MAX;
  struct TSpan {
    uint32_t Start;
    uint32_t Length;
  };

  // Makes the cache fit what it is asked for; false when it cannot.
  void Prepare(const TAbstractSummary* summary, int32_t records, const std::string& format,
               int32_t cols, int32_t rows);
  std::string_view Text(uint32_t id) const {
    const TSpan& span = spans_[id];
    if (span.Length == 0) return {};
    return {chunks_[span.Start >> kChunkBits].get() + (span.Start & (kChunkSize - 1)), span.Length};
  }
  // Copies a text into the store; false when the store is full.
  bool Keep(std::string_view text, uint32_t& start);
  // The text id of a record's text, made now if it is new; kNone when the
  // store is full (the text is then in scratch_).
  uint32_t RecordText(const TAbstractSummary& summary, int32_t record, const std::string& format);
  // Makes a record's text and keeps it; false when the store is full.
  bool StoreText(const TAbstractSummary& summary, int32_t record, const std::string& format);

  // The cube's records that neighbour a new one get their texts with it: a
  // pass over the grid meets records in scattered order, and reading a few
  // neighbours while their bytes are in the cache costs far less than
  // coming back for each one later.
  static constexpr int32_t kRecordBlock = 16;

  const TAbstractSummary* summary_ = nullptr;
  std::string format_;
  int32_t cols_ = 0, rows_ = 0;
  int32_t loadedRecords_ = 0;  // the records before any total was added
  TCoords coords_;
  std::vector<uint32_t> recordText_;  // record -> text id
  std::vector<uint32_t> cellText_;    // y * cols + x -> text id, when the grid is small enough
  // The texts live in chunks that never move, so the store grows without
  // copying what it holds. A span's start is its chunk number and offset.
  static constexpr int kChunkBits = 20;
  static constexpr size_t kChunkSize = size_t{1} << kChunkBits;
  static constexpr size_t kMaxChunks = size_t{1} << (32 - kChunkBits);
  std::vector<TSpan> spans_;  // text id -> place in chunks_; id 0 is the empty text
  std::vector<std::unique_ptr<char[]>> chunks_;
  size_t chunkUsed_ = 0, chunkCapacity_ = 0;
  std::string scratch_;
};

}  // namespace hy
