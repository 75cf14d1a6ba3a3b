#include "export/KyRExportAttributes.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>

#include "export/KyRCodePage.h"
#include "platform/gdi/EmfFormat.h"
#include "platform/gdi/EmfPlayer.h"
#include "platform/gdi/EmfRecords.h"

namespace hy {

using namespace emf;

namespace {

// Elements whose tops differ by at most this share a row; text lefts within
// this of a column's left share the column.
constexpr int32_t kRowTolerance = 5;
constexpr int32_t kColumnTolerance = 10;
// A text fragment starting this close to the end of the previous one
// continues it.
constexpr int32_t kJoinDistance = 5;

}  // namespace

const TSharedFont& DefaultExportFont() {
  static const TSharedFont font = std::make_shared<const TFont>();
  return font;
}

bool TKyRERecord::HasText() const { return Kind == rkText && !IsBlankText(Text); }

void TKyRExportAttributes::BeginExport() {
  records_.clear();
  columns_.clear();
  font_ = DefaultExportFont();
  textAlign_ = 0;
  bkMode_ = 0;
  bkColor_ = clWhite;
  currentX_ = currentY_ = 0;
}

void TKyRExportAttributes::EndExport() {
  ClearCells();
  font_ = DefaultExportFont();
}

void TKyRExportAttributes::ClearCells() {
  records_.clear();
  records_.shrink_to_fit();
  columns_.clear();
}

void TKyRExportAttributes::SetFontColor(TColor color) {
  if (font_->Color() == color) return;
  auto f = std::make_shared<TFont>(*font_);
  f->SetColor(color);
  font_ = std::move(f);
}

TKyRERecord& TKyRExportAttributes::AddElement(uint8_t kind, const TRect& inclusiveBounds) {
  TRect r = inclusiveBounds.Inflate(1, 1);
  TKyRERecord& e = records_.emplace_back();
  e.Kind = kind;
  e.Color = bkColor_;
  e.Font = font_;
  e.Align = textAlign_;
  e.Left = OffsetX() + r.Left;
  e.Top = OffsetY() + r.Top;
  e.Width = r.Width();
  e.Height = r.Height();
  return e;
}

void TKyRExportAttributes::ProcessRecord(const TEmfRecord& r) {
  switch (r.Type) {
    case EMR_SETBKMODE: bkMode_ = uint8_t(ReadValue(r)); break;
    case EMR_SETTEXTALIGN: textAlign_ = uint8_t(ReadValue(r)); break;
    case EMR_SETTEXTCOLOR: SetFontColor(ReadColor(r)); break;
    case EMR_SETBKCOLOR: bkColor_ = ReadColor(r); break;
    case EMR_MOVETOEX: {
      TPoint p = ReadPoint(r);
      currentX_ = p.X, currentY_ = p.Y;
      break;
    }
    case EMR_ELLIPSE:
    case EMR_RECTANGLE: {
      if (!(options_ & (r.Type == EMR_ELLIPSE ? coEllipses : coRectangles))) break;
      TRect box = ReadBox(r);  // right and bottom outside, like a record's bounds + 1
      AddElement(r.Type == EMR_ELLIPSE ? rkEllipse : rkRectangle,
                 {box.Left, box.Top, box.Right - 1, box.Bottom - 1});
      break;
    }
    case EMR_LINETO: {
      TPoint p = ReadPoint(r);
      if (options_ & coLines) {
        TKyRERecord& e = records_.emplace_back();
        e.Kind = rkLine;
        e.Color = bkColor_;
        e.Font = font_;
        e.Align = textAlign_;
        e.Left = OffsetX() + currentX_;
        e.Top = OffsetY() + currentY_;
        e.Width = std::abs(p.X - currentX_);
        e.Height = std::abs(p.Y - currentY_);
      }
      currentX_ = p.X, currentY_ = p.Y;
      break;
    }
    case EMR_BITBLT:
    case EMR_STRETCHBLT:
    case EMR_STRETCHDIBITS: {
      if (!(options_ & coPictures)) break;
      TRect bounds;
      TColor background = bkColor_;
      if (r.Type == EMR_STRETCHDIBITS) {
        bounds = ReadStretchDIBits(r).Bounds;
      } else {
        TEmrBitBlt b = ReadBitBlt(r);
        if (!b.HasSource()) break;  // a pattern fill (a cell's background), no picture
        bounds = b.Bounds;
        background = b.BkColorSrc;
      }
      TBitmap image = BitmapOfRecord(r);
      TKyRERecord& e = AddElement(rkPicture, bounds);
      e.Color = background;
      if (!image.Empty()) e.Picture = std::make_unique<TBitmap>(std::move(image));
      break;
    }
    case EMR_EXTCREATEFONTINDIRECTW:
      font_ = std::make_shared<const TFont>(ReadCreateFont(r).LogFont.ToFont(font_->Color()));
      break;
    case EMR_EXTTEXTOUTA:
    case EMR_EXTTEXTOUTW:
      if (options_ & coText) CaptureText(ReadExtTextOut(r));
      break;
    default: break;
  }
}

void TKyRExportAttributes::CaptureText(const TEmrExtTextOut& t) {
  // Text() reads each record kind as what it is: UTF-16 or single bytes.
  std::string text = t.Text();
  if (IsBlankText(text)) return;
  TRect r = t.Bounds.Inflate(1, 1);
  int32_t left = OffsetX() + r.Left;
  int32_t top = OffsetY() + r.Top;
  if (!records_.empty()) {
    TKyRERecord& last = records_.back();
    if (last.Kind == rkText && last.Top == top && last.Color == bkColor_ &&
        last.Align == textAlign_ && std::abs(last.Left + last.Width - left) < kJoinDistance) {
      last.Text += text;
      last.Width += r.Width();
      last.Height = std::max(last.Height, r.Height());
      last.Font = font_;
      last.Clipped = last.Clipped || t.Clipped();
      return;
    }
  }
  TKyRERecord& e = AddElement(rkText, t.Bounds);
  e.Text = std::move(text);
  e.Clipped = t.Clipped();
}

void TKyRExportAttributes::SaveToFile(const std::string& fileName) {
  TKyRExport::SaveToFile(fileName);
  NormalizeGrid();
}

// Rows: elements sorted by top, a row holding every element within the
// tolerance of its first (topmost) one. Columns: the lefts of the texts,
// sorted, a column holding every left within the tolerance of its first
// (leftmost) one; any element belongs to the first column that does not lie
// more than the tolerance left of it. Each cell keeps one element; blank
// text cells fill the gaps. Sorting twice keeps it O(n log n).
void TKyRExportAttributes::NormalizeGrid() {
  const size_t n = records_.size();
  columns_.clear();
  rowCount_ = 1;
  columnCount_ = 0;
  if (n == 0) return;

  std::vector<int32_t> lefts;
  for (const TKyRERecord& e : records_)
    if (e.HasText()) lefts.push_back(e.Left);
  std::sort(lefts.begin(), lefts.end());
  for (int32_t left : lefts)
    if (columns_.empty() || left - columns_.back() > kColumnTolerance) columns_.push_back(left);
  columnCount_ = int32_t(columns_.size());

  std::vector<uint32_t> order(n);
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(),
                   [&](uint32_t a, uint32_t b) { return records_[a].Top < records_[b].Top; });
  std::vector<int32_t> rowOf(n);
  int32_t rows = 0;
  int32_t anchor = 0;
  for (uint32_t i : order) {
    if (rows == 0 || records_[i].Top - anchor > kRowTolerance) {
      ++rows;
      anchor = records_[i].Top;
    }
    rowOf[i] = rows - 1;
  }
  rowCount_ = rows;
  if (columnCount_ == 0) {  // nothing that makes a column: no cells
    ClearCells();
    return;
  }

  // Within a row, left to right; elements at the same left keep drawing order.
  std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    if (rowOf[a] != rowOf[b]) return rowOf[a] < rowOf[b];
    return records_[a].Left < records_[b].Left;
  });

  const size_t cells = size_t(rowCount_) * size_t(columnCount_);
  std::vector<int32_t> cellOf(cells, -1);
  std::vector<int32_t> rowTop(size_t(rowCount_), 0);
  std::vector<bool> rowSeen(size_t(rowCount_), false);
  for (uint32_t i : order) {
    TKyRERecord& e = records_[i];
    size_t row = size_t(rowOf[i]);
    if (!rowSeen[row]) rowSeen[row] = true, rowTop[row] = e.Top;
    size_t col =
        size_t(std::lower_bound(columns_.begin(), columns_.end(), e.Left - kColumnTolerance) -
               columns_.begin());
    if (col == columns_.size()) --col;  // a picture or shape right of every text column
    int32_t& cell = cellOf[row * size_t(columnCount_) + col];
    if (cell < 0) {
      cell = int32_t(i);
      continue;
    }
    // Two elements in one cell: texts join (with a blank unless the second
    // continues the first), a text wins over a picture or shape.
    TKyRERecord& held = records_[size_t(cell)];
    if (held.HasText() && e.HasText()) {
      if (std::abs(held.Left + held.Width - e.Left) >= kJoinDistance) held.Text += ' ';
      held.Text += e.Text;
      held.Width = std::max(held.Left + held.Width, e.Left + e.Width) - held.Left;
    } else if (e.HasText()) {
      cell = int32_t(i);
    }
  }

  std::vector<TKyRERecord> grid(cells);
  const TKyRERecord* next = nullptr;  // the next filled cell, whose look a blank takes
  for (size_t c = cells; c-- > 0;)
    if (cellOf[c] >= 0 && !next) next = &records_[size_t(cellOf[c])];
  for (size_t c = cells; c-- > 0;) {
    if (cellOf[c] >= 0) {
      next = &records_[size_t(cellOf[c])];
      continue;
    }
    TKyRERecord& blank = grid[c];
    blank.Color = next->Color;
    blank.Font = next->Font;
    blank.Align = next->Align;
    blank.Left = columns_[c % size_t(columnCount_)];
    blank.Top = rowTop[c / size_t(columnCount_)];
  }
  for (size_t c = 0; c < cells; ++c)
    if (cellOf[c] >= 0) grid[c] = std::move(records_[size_t(cellOf[c])]);
  records_ = std::move(grid);
}

}  // namespace hy
