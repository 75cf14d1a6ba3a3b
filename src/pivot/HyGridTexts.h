// The texts of the grid's data cells, made once per value: a cell reads its
// cube record through the cell index, and a record's text is made the first
// time any cell shows it. Each cell also remembers which text it showed
// (while the grid is not too big for that), so that later passes over the
// grid, row by row as the report, the CSV and the painting read it, touch
// memory in order and allocate nothing.
//
// While cells are remembered, the first cell read of a tile of the grid
// fills the whole tile: its records are found by adding a row's and a
// column's share of the index slot, and its new texts are made together,
// on two threads when the summary allows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cube/HyCache.h"
#include "platform/sys/ZeroedArray.h"

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
  // Text ids: 0 is none (not made, or a cell not filled yet), 1 the empty
  // text of a cell without data; zeroed memory thus starts as "none".
  static constexpr uint32_t kNone = 0;
  static constexpr uint32_t kEmpty = 1;
  struct TSpan {
    uint32_t Start;
    uint32_t Length;
  };

  // Tiles filled at once: about kTileCells cells, a band of rows cut into
  // column blocks so that a very wide grid does not fill millions of cells
  // for one visible cell.
  static constexpr int32_t kTileCells = 65536;
  static constexpr int32_t kTileCols = 4096;
  // A batch of texts at least this big becomes a chunk of the store as it is.
  static constexpr size_t kAdoptBatch = 65536;
  // New texts in a tile from which a second thread makes half of them.
  static constexpr size_t kParallelTexts = 4096;
  // A record whose text the tile being filled makes; ids stay below it.
  static constexpr uint32_t kPending = UINT32_MAX;
  // A tile cell whose total could not be computed.
  static constexpr int32_t kUnresolved = -3;

  // Texts made apart from the store, to be kept in order. Each on cache
  // lines of its own: the two threads write their batches' ends with
  // every text, and sharing a line would make every write a transfer.
  struct alignas(64) TTextBatch {
    std::string Bytes;
    std::vector<uint32_t> Ends;
  };

  // Starts afresh when the summary, the format or the grid's size changed.
  // `totals`: how many totals the cube has still to compute.
  void Prepare(const TAbstractSummary* summary, int32_t records, int64_t totals,
               const std::string& format, int32_t cols, int32_t rows);
  std::string_view Text(uint32_t id) const {
    const TSpan& span = spans_[id];
    if (span.Length == 0) return {};
    return {chunks_[span.Start >> kChunkBits].data() + (span.Start & (kChunkSize - 1)),
            span.Length};
  }
  // Totals become records as they are first read: recordText_ grows to them.
  void CoverRecord(int32_t record) {
    if (record >= static_cast<int32_t>(recordText_.size())) recordText_.resize(record + 1);
  }
  // Copies a text into the store; false when the store is full.
  bool Keep(std::string_view text, uint32_t& start);
  // The text id of a record's text, made now if it is new; kNone when the
  // store is full (the text is then in scratch_).
  uint32_t RecordText(const TAbstractSummary& summary, int32_t record, const std::string& format);
  // Makes a record's text and keeps it; false when the store is full.
  bool StoreText(const TAbstractSummary& summary, int32_t record, const std::string& format);
  static void RecordTextInto(const TAbstractSummary& summary, int32_t record,
                             const std::string& format, std::string& text);

  // The slots' shares and the tiles' shape, on the first tile filled.
  void PrepareTiles(const THySource& source, const TDataCache& cache);
  size_t TileOf(int32_t x, int32_t y) const {
    return static_cast<size_t>(y / tileRows_) * tileCols_ + x / kTileCols;
  }
  // Fills the tile holding cell (x, y); a cell whose total cannot be
  // computed is left to make its text (and raise) alone.
  void FillTile(const THySource& source, const TDataCache& cache, const TAbstractSummary& summary,
                int32_t x, int32_t y, const std::string& format);
  // Finds the records of the tile's cells into tileRecords_ and lists the
  // records without a text in pending_.
  void FindTileRecords(const THySource& source, const TDataCache& cache, int32_t x0, int32_t x1,
                       int32_t y0, int32_t y1);
  // Makes and keeps the texts of pending_; a record whose text did not fit
  // is left without one.
  void MakePendingTexts(const TAbstractSummary& summary, const std::string& format);
  void MakeBatch(const TAbstractSummary& summary, const std::string& format, size_t from, size_t to,
                 TTextBatch& batch) const;
  // Keeps a batch's texts for pending_[from..]; false when the store is full.
  bool KeepBatch(TTextBatch& batch, size_t from);
  // A record still pending (the store was full, or making texts failed)
  // has no text; its cells then make their texts one by one.
  void ReleasePending();
  void KeepSpan(int32_t record, uint32_t start, size_t length);

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
  sys::TZeroedArray<uint32_t> recordText_;  // record -> text id
  sys::TZeroedArray<uint32_t> cellText_;  // y * cols + x -> text id, when the grid is small enough
  // A cell's index slot is its row's slot plus its column's share.
  std::vector<int64_t> colSlot_;
  int32_t tileRows_ = 0, tileCols_ = 0;
  std::vector<bool> tileDone_;
  bool columnsFirst_ = false;  // a tile's records come in slot order column by column
  bool storeFull_ = false;     // tiles are no longer filled: their texts would not fit
  std::vector<int64_t> rowSlot_;
  std::vector<int32_t> tileRecords_;
  std::vector<int32_t> pending_;
  TTextBatch batch_, helperBatch_;
  // The texts live in chunks that never move, so the store grows without
  // copying what it holds. A span's start is its chunk number and offset.
  static constexpr int kChunkBits = 20;
  static constexpr size_t kChunkSize = size_t{1} << kChunkBits;
  static constexpr size_t kMaxChunks = size_t{1} << (32 - kChunkBits);
  sys::TZeroedArray<TSpan> spans_;  // text id -> place in chunks_
  // A chunk never grows past the capacity it was given, so its bytes stay put.
  std::vector<std::string> chunks_;
  size_t chunkCapacity_ = 0;
  std::string scratch_;
};

}  // namespace hy
