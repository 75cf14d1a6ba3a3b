// The grid layout of TKyPrintCustomGrid: columns, sheets, pages and rows.
#include <algorithm>
#include <cmath>

#include "platform/gdi/Bytes.h"
#include "platform/gdi/TextLayout.h"
#include "report/KyProces.h"
#include "report/KyRAuto.h"
#include "report/KyRPars.h"

namespace hy {

TKyPrintCustomGrid::TKyPrintCustomGrid(TComponent* owner) : TKyAutoPrint(owner) {
  gridLine_.SetColor(clBtnShadow);
}

TKyPrintCustomGrid::~TKyPrintCustomGrid() = default;

void TKyPrintCustomGrid::GetCellText(int32_t, int32_t, std::string& text) { text.clear(); }

TAlignment TKyPrintCustomGrid::GetCellAlignment(int32_t col, int32_t) {
  if (col < 0 || col >= static_cast<int32_t>(columns_.size())) return taLeftJustify;
  return columns_[static_cast<size_t>(col)].Alignment;
}

const TFont& TKyPrintCustomGrid::GetCellFont(int32_t, int32_t) { return defaultFont_; }

int32_t TKyPrintCustomGrid::Avail() const {
  const TPageInfo* page = OpenPage();
  return page ? page->Width() - page->LeftMargin() - page->RightMargin() : 0;
}

int32_t TKyPrintCustomGrid::ColumnSpan(int32_t col) const {
  const TColumnInfo& c = columns_[static_cast<size_t>(col)];
  return c.Hidden ? 0 : c.Width + 2 * gapHorizontal_;
}

void TKyPrintCustomGrid::BuildColumns() {
  const int32_t count = static_cast<int32_t>(columns_.size());
  if (count == 0) return;
  double scale = 1.0;
  if (autoFit_) {
    // The gaps keep their size: only the text areas share what they leave.
    int64_t widths = 0, gaps = 0;
    for (const TColumnInfo& c : columns_) {
      if (c.Hidden) continue;
      widths += c.Width;
      gaps += 2 * gapHorizontal_;
    }
    if (widths > 0)
      scale = std::max(0.0, static_cast<double>(Avail() - gaps) / static_cast<double>(widths));
  }
  int32_t x = 0;
  // Rounded on the running total, so that the roundings do not add up.
  double scaled = 0;
  int32_t rounded = 0;
  for (int32_t i = 0; i < count - 1; ++i) {
    TColumnInfo& c = columns_[static_cast<size_t>(i)];
    if (scale != 1.0) {
      scaled += c.Width * scale;
      const int32_t next = static_cast<int32_t>(std::nearbyint(scaled));
      c.Width = next - rounded;
      rounded = next;
    }
    c.Left = x + gapHorizontal_;
    x += ColumnSpan(i);
  }
  if (count > 1) {
    TColumnInfo& last = columns_.back();
    last.Left = x + gapHorizontal_;
    if (autoFit_) last.Width = std::max(0, Avail() - last.Left - gapHorizontal_);
  }
}

int32_t TKyPrintCustomGrid::LineHeightOf(const TFont& font) {
  for (const TFontKey& k : fontCache_)
    if (k.Font.SameShape(font)) return k.LineHeight;
  fontCache_.push_back({font, MetricsFor(font).LineHeight(), {}});
  return fontCache_.back().LineHeight;
}

int32_t TKyPrintCustomGrid::TextHeightIn(const TFont& font, const std::string& text, int32_t width,
                                         uint32_t flags) {
  const int32_t lineHeight = LineHeightOf(font);
  // One line needs no layout: its height is the font's line height.
  if (text.empty()) return 0;
  if (!(flags & DT_WORDBREAK) && text.find_first_of("\r\n") == std::string::npos) return lineHeight;
  auto it = std::find_if(fontCache_.begin(), fontCache_.end(),
                         [&](const TFontKey& k) { return k.Font.SameShape(font); });
  std::string key = std::to_string(width) + ':' + std::to_string(flags) + ':' + text;
  auto found = it->Heights.find(key);
  if (found != it->Heights.end()) return found->second;
  TTextLayout layout = LayoutText(MetricsFor(font), le::Utf8To16(text), width, flags);
  it->Heights.emplace(std::move(key), layout.Height);
  return layout.Height;
}

int32_t TKyPrintCustomGrid::Measure(bool isWidth, int32_t row, int32_t lastCol, int32_t firstCol) {
  if (isWidth) {
    lastCol = std::min(lastCol, static_cast<int32_t>(columns_.size()) - 1);
    int32_t fixedWidth = 0;
    for (int32_t c = 0; c <= lastCol; ++c)
      if (columns_[static_cast<size_t>(c)].Fixed) fixedWidth += ColumnSpan(c);
    const int32_t avail = Avail();
    int32_t sum = 0, pages = 1;
    for (int32_t c = firstCol; c <= lastCol; ++c) {
      sum += ColumnSpan(c);
      if (sum > pages * avail) {
        ++pages;
        sum += fixedWidth;
      }
    }
    return sum;
  }
  int32_t height = 0;
  std::string text;
  const int32_t colCount = static_cast<int32_t>(columns_.size());
  for (int32_t c = 0; c < colCount; ++c) {
    const TColumnInfo& info = columns_[static_cast<size_t>(c)];
    if (info.Hidden) continue;
    const TFont& font = GetCellFont(c, row);
    GetCellText(c, row, text);
    uint32_t flags = DT_NOPREFIX | DT_CALCRECT;
    const TAlignment align = GetCellAlignment(c, row);
    if (align == taRightJustify) flags |= DT_RIGHT;
    if (align == taCenter) flags |= DT_CENTER;
    if (info.WordWrap) flags |= DT_WORDBREAK;
    height = std::max({height, LineHeightOf(font), TextHeightIn(font, text, info.Width, flags)});
  }
  if (colCount == 0) height = LineHeightOf(GetCellFont(0, row));
  return height + 2 * gapVertical_;
}

int32_t TKyPrintCustomGrid::RowHeight(int32_t row) {
  if (static_cast<size_t>(row) >= rowHeights_.size())
    rowHeights_.resize(static_cast<size_t>(row) + 1, -1);
  int32_t& h = rowHeights_[static_cast<size_t>(row)];
  if (h < 0) h = Measure(false, row, lastCol_, firstCol_);
  return h;
}

int32_t TKyPrintCustomGrid::LastFittingColumn(int32_t firstCol, int32_t width) {
  const int32_t count = static_cast<int32_t>(columns_.size());
  int32_t w = 0;
  for (int32_t c = 0; c < count; ++c) {
    if (!columns_[static_cast<size_t>(c)].Fixed && c < firstCol) continue;
    w += ColumnSpan(c);
    if (w > width) return std::max(c - 1, firstCol);
  }
  return std::max(count - 1, firstCol);
}

void TKyPrintCustomGrid::Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  TMetafileCanvas& canvas = *Canvas();
  canvas.MoveTo(x1, y1);
  canvas.LineTo(x2, y2);
}

int32_t TKyPrintCustomGrid::PrintTitleRows(int32_t sheetWidth) {
  const int32_t left = OpenPage()->LeftMargin();
  const int32_t top = CurrentY();
  if (DrawHorzLines()) {
    Canvas()->SetPen(gridLine_);
    Line(left, CurrentY(), left + sheetWidth, CurrentY());
  }
  const int32_t fixedRows = GetFixedRowCount();
  for (int32_t row = 0; row < fixedRows; ++row)
    if (!RowHidden(row)) PrintRow(row, sheetWidth, RowHeight(row));
  SetPageStarted(false);
  return CurrentY() - top;
}

int32_t TKyPrintCustomGrid::PrintRow(int32_t row, int32_t sheetWidth, int32_t height) {
  TMetafileCanvas& canvas = *Canvas();
  const TPageInfo& page = *OpenPage();
  const int32_t left = page.LeftMargin();
  const int32_t pageRight = page.Width() - page.RightMargin();
  const int32_t top = CurrentY();
  const bool styled = Style().RowStyle() != rsNormal;
  const TColor keptBrush = canvas.Brush().Color();
  if (styled) {
    canvas.Brush().SetStyle(bsSolid);
    canvas.Brush().SetColor(row % 2 == 0 ? Style().OddColor() : Style().EvenColor());
    canvas.FillRect({left, top, left + sheetWidth, top + height});
  }
  canvas.SetPen(gridLine_);
  const bool vertLines = DrawVertLines();
  if (vertLines) Line(left + sheetWidth, top, left + sheetWidth, top + height);

  const int32_t firstLeft = firstCol_ < static_cast<int32_t>(columns_.size())
                                ? columns_[static_cast<size_t>(firstCol_)].Left
                                : 0;
  int32_t fixedEnd = 0;
  std::string text;
  const int32_t lastCol = std::min(lastCol_, static_cast<int32_t>(columns_.size()) - 1);
  for (int32_t c = 0; c <= lastCol; ++c) {
    const TColumnInfo& info = columns_[static_cast<size_t>(c)];
    if (info.Hidden || (!info.Fixed && c < firstCol_)) continue;
    int32_t x;
    if (info.Fixed) {
      x = left + info.Left;
      fixedEnd = info.Left + info.Width + gapHorizontal_;
    } else {
      x = left + info.Left - firstLeft + gapHorizontal_ + (firstCol_ > 0 ? fixedEnd : 0);
    }
    // A column wider than the page is cut at the printable edge.
    TRect box{x, top + gapVertical_, std::min(x + info.Width, pageRight),
              top + height - gapVertical_};
    GetCellText(c, row, text);
    if (!text.empty() && box.Right > box.Left) {
      const TFont& font = GetCellFont(c, row);
      if (!(canvas.Font() == font)) canvas.SetFont(font);
      uint32_t flags = DT_NOPREFIX;
      const TAlignment align = GetCellAlignment(c, row);
      if (align == taRightJustify) flags |= DT_RIGHT;
      if (align == taCenter) flags |= DT_CENTER;
      if (info.WordWrap) flags |= DT_WORDBREAK;
      DrawCellText(canvas, text, flags, box);
    }
    if (vertLines) {
      canvas.SetPen(gridLine_);
      Line(x - gapHorizontal_, top, x - gapHorizontal_, top + height);
    }
  }
  SetCurrentY(top + height);
  if (DrawHorzLines()) Line(left, CurrentY(), left + sheetWidth, CurrentY());
  if (styled) {
    canvas.Brush().SetColor(keptBrush);
    SetCurrentY(CurrentY() + 1);
  }
  return height;
}

void TKyPrintCustomGrid::BuildReport() {
  TKyAutoPrint::BuildReport();
  CheckSource();
  const int32_t colCount = GetColCount();
  const int32_t rowCount = GetRowCount();
  if (colCount == 0 && rowCount == 0) return;
  rowHeights_.assign(static_cast<size_t>(std::max(rowCount, 0)), -1);
  fontCache_.clear();
  ResetHighLightContext();
  BeginDoc();
  NewPage(false);
  columns_.clear();
  BuildColumns();

  TKyProcess& process = Process();
  const int32_t last = static_cast<int32_t>(columns_.size()) - 1;
  firstCol_ = 0;
  lastCol_ = last;
  int32_t remaining = Measure(true, 0, lastCol_, firstCol_);
  for (;;) {
    const int32_t avail = Avail();
    sheetWidth_ = avail >= remaining ? remaining : avail;
    lastCol_ = LastFittingColumn(firstCol_, sheetWidth_);
    const bool further = lastCol_ < last;

    PrintLines(Header(), HeaderFont(), false, false);
    for (int32_t row = std::max(GetFixedRowCount(), 0); row < rowCount; ++row) {
      if (process.ProcessCancelled()) break;
      if (RowHidden(row)) continue;
      if (PageStarted()) PrintTitleRows(sheetWidth_);
      const int32_t h = RowHeight(row);
      if (CurrentY() + h >= BodyBottom()) {
        NewPage(false);
        PrintTitleRows(sheetWidth_);
      }
      PrintRow(row, sheetWidth_, h);
    }
    const int32_t footer = PrintLines(Footer(), FooterFont(), false, true);
    if (CurrentY() + footer > BodyBottom()) NewPage(false);
    PrintLines(Footer(), FooterFont(), false, false);

    if (!further) break;
    remaining -= Measure(true, 0, lastCol_, firstCol_);
    firstCol_ = lastCol_ + 1;
    NewPage(true);
  }
  EndDoc();
  SetPageIndex(0);
  SetBarIndex(0);
}

}  // namespace hy
