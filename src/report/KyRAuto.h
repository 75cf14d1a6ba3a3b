// Automatic reports: TKyAutoPrint adds what every generated report shares
// (row style, header and footer lines in a small macro language, their
// fonts, word wrapping, highlights, a text-drawing hook); TKyPrintCustomGrid
// lays a grid of cells out on pages: columns split into sheets (bars) with
// the fixed columns repeated, rows broken into pages with the fixed rows
// repeated at the top. The grid is read only through the virtual cell
// queries, which a descendant answers from its source.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/Alignment.h"
#include "platform/gdi/Fonts.h"
#include "platform/gdi/MetafileCanvas.h"
#include "report/KyRTypes.h"
#include "report/PrintKy.h"

namespace hy {

enum TKyRRowStyle : uint8_t {
  rsNormal,
  rsPriceList,
  rsMSMoney,
  rsBrick,
  rsDesert,
  rsEggplant,
  rsLilac,
  rsMaple,
  rsMarine,
  rsRose,
  rsSpruce,
  rsWheat
};
constexpr int kKyRRowStyleCount = rsWheat + 1;

// "rsNormal", "rsPriceList", ...
const char* RowStyleName(TKyRRowStyle style);
// The style of a name, with or without the "rs" prefix, case ignored;
// false when there is none.
bool RowStyleFromName(std::string_view name, TKyRRowStyle& style);

class TKyRStyle {
public:
  bool FixedCols() const { return fixedCols_; }
  void SetFixedCols(bool value) { fixedCols_ = value; }
  bool FixedRows() const { return fixedRows_; }
  void SetFixedRows(bool value) { fixedRows_ = value; }
  TKyRRowStyle RowStyle() const { return rowStyle_; }
  // Every style but rsNormal brings its own two colours.
  void SetRowStyle(TKyRRowStyle value);
  // Background of rows 0, 2, 4, ... and of rows 1, 3, 5, ...
  TColor OddColor() const { return oddColor_; }
  void SetOddColor(TColor value) { oddColor_ = value; }
  TColor EvenColor() const { return evenColor_; }
  void SetEvenColor(TColor value) { evenColor_ = value; }
  void Assign(const TKyRStyle& source) { *this = source; }

private:
  bool fixedCols_ = true;
  bool fixedRows_ = true;
  TKyRRowStyle rowStyle_ = rsNormal;
  TColor oddColor_ = clWhite;
  TColor evenColor_ = clWhite;
};

// Text, drawing flags and resulting height may be changed; clearing
// drawDefault leaves the drawing to the handler.
using TOnDrawTextEvent =
    std::function<void(TMetafileCanvas& canvas, std::string& text, const TRect& rect,
                       uint16_t& flags, int32_t& resultHeight, bool& drawDefault)>;

// The footer a new report gets: "%A%R" + "page #" + "%PN/" + "Sheet" +
// "%BN" in `language`.
std::vector<std::string> DefaultFooter(int language);

// One header or footer line after its macros are expanded.
struct TKyRParsedLine {
  std::string Text;
  bool Visible = true;
  uint32_t Alignment = DT_LEFT;  // DT_LEFT, DT_CENTER or DT_RIGHT
  char FrameLine = 0;            // 'T', 'B', 'L', 'R', 'C', 'S', 'F' or 0
  std::string Picture;           // file named by an I macro
  char PicturePlace = 0;         // 'T', 'B', 'P', or 0: as before
};

class TKyAutoPrint : public TKyPrintComponent {
public:
  explicit TKyAutoPrint(TComponent* owner = nullptr);
  ~TKyAutoPrint() override;

  TKyRStyle& Style() { return style_; }
  const TKyRStyle& Style() const { return style_; }
  void SetStyle(const TKyRStyle& style) { style_.Assign(style); }
  char MacroChar() const { return macroChar_; }
  // Rewrites every header and footer line to the new character.
  void SetMacroChar(char value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value) { wordWrap_ = value; }
  const std::vector<std::string>& Header() const { return header_; }
  void SetHeader(const std::vector<std::string>& lines) { header_ = lines; }
  const std::vector<std::string>& Footer() const { return footer_; }
  void SetFooter(const std::vector<std::string>& lines) { footer_ = lines; }
  TFont& HeaderFont() { return headerFont_; }
  void SetHeaderFont(const TFont& font) { headerFont_ = font; }
  TFont& FooterFont() { return footerFont_; }
  void SetFooterFont(const TFont& font) { footerFont_ = font; }
  TKyRHighLights& HighLights() { return highLights_; }
  void SetHighLights(const TKyRHighLights& highLights) { highLights_.Assign(highLights); }
  TKyRDataManager& DataManager() { return *dataManager_; }
  void SetOnDrawText(TOnDrawTextEvent handler) { onDrawText_ = std::move(handler); }
  bool PageStarted() const { return pageStarted_; }

  // Expands the macros of one line; `continuation` is true on every new
  // page, false at the start and end of a sheet.
  TKyRParsedLine ParseLine(const std::string& line, bool continuation);

  void BeginDoc() override;
  void NewPage(bool newBar) override;

protected:
  void SetPageStarted(bool value) { pageStarted_ = value; }
  // The page NewPage opened last (finding it by its indexes costs a walk
  // over every page); none before the first.
  TPageInfo* OpenPage() const { return openPage_; }
  // Prints (or only measures) the visible lines of a block at CurrentY;
  // returns the block's height.
  int32_t PrintLines(const std::vector<std::string>& lines, const TFont& font, bool continuation,
                     bool measureOnly);
  // A cell or header text through the highlights and OnDrawText; returns
  // the drawn (or, with DT_CALCRECT, measured) height.
  int32_t DrawCellText(TMetafileCanvas& canvas, std::string text, uint32_t flags, TRect rect);
  // Forgets the highlight context of the previous build.
  void ResetHighLightContext() { exprContext_.reset(); }

private:
  void DrawFrameLine(TMetafileCanvas& canvas, char side, const TRect& box);

  TKyRStyle style_;
  char macroChar_ = '%';
  bool wordWrap_ = false;
  std::vector<std::string> header_;
  std::vector<std::string> footer_;
  TFont headerFont_;
  TFont footerFont_;
  TKyRHighLights highLights_{this};
  TKyRDataManager* dataManager_;                  // owned as a component
  std::shared_ptr<TKyRExprContext> exprContext_;  // shared: deletable where the type is incomplete
  TOnDrawTextEvent onDrawText_;
  bool pageStarted_ = false;
  TPageInfo* openPage_ = nullptr;
};

struct TColumnInfo {
  std::string Caption;  // carried for descendants; the generator does not read them
  std::string FieldName;
  TAlignment Alignment = taLeftJustify;
  uint8_t Flags = 0;
  int32_t Left = 0;   // text area from the left margin
  int32_t Width = 0;  // text area
  bool WordWrap = false;
  bool Fixed = false;
  bool Hidden = false;  // the source shows it with no width: not printed
};

class TKyPrintCustomGrid : public TKyAutoPrint {
public:
  explicit TKyPrintCustomGrid(TComponent* owner = nullptr);
  ~TKyPrintCustomGrid() override;

  int32_t GapHorizontal() const { return gapHorizontal_; }
  void SetGapHorizontal(int32_t value) { gapHorizontal_ = value; }
  int32_t GapVertical() const { return gapVertical_; }
  void SetGapVertical(int32_t value) { gapVertical_ = value; }
  TPen& GridLine() { return gridLine_; }
  void SetGridLine(const TPen& pen) { gridLine_ = pen; }
  bool AutoFit() const { return autoFit_; }
  void SetAutoFit(bool value) { autoFit_ = value; }
  const std::vector<TColumnInfo>& Columns() const { return columns_; }

  void BuildReport() override;

  virtual int32_t Measure(bool isWidth, int32_t row, int32_t lastCol, int32_t firstCol);
  virtual int32_t LastFittingColumn(int32_t firstCol, int32_t width);
  virtual int32_t PrintTitleRows(int32_t sheetWidth);
  virtual int32_t PrintRow(int32_t row, int32_t sheetWidth, int32_t height);
  virtual bool DrawHorzLines() { return true; }
  virtual bool DrawVertLines() { return true; }
  virtual void CheckSource() {}
  virtual int32_t GetColCount() { return -1; }
  virtual int32_t GetRowCount() { return -1; }
  virtual int32_t GetFixedColCount() { return -1; }
  virtual int32_t GetFixedRowCount() { return -1; }
  virtual void GetCellText(int32_t col, int32_t row, std::string& text);
  virtual TAlignment GetCellAlignment(int32_t col, int32_t row);
  // A descendant must return a font that lives at least until the next call.
  virtual const TFont& GetCellFont(int32_t col, int32_t row);
  // Rows the source shows with no height are not printed.
  virtual bool RowHidden(int32_t /*row*/) { return false; }
  virtual void BuildColumns();

protected:
  std::vector<TColumnInfo>& ColumnList() { return columns_; }
  int32_t Avail() const;

private:
  int32_t ColumnSpan(int32_t col) const;  // width on the page with both gaps; 0 when hidden
  int32_t RowHeight(int32_t row);         // measured once per build
  int32_t TextHeightIn(const TFont& font, const std::string& text, int32_t width, uint32_t flags);
  int32_t LineHeightOf(const TFont& font);
  void Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2);

  int32_t gapHorizontal_ = 2;
  int32_t gapVertical_ = 2;
  TPen gridLine_;
  bool autoFit_ = false;
  std::vector<TColumnInfo> columns_;
  int32_t firstCol_ = 0;
  int32_t lastCol_ = -1;
  int32_t sheetWidth_ = 0;

  // Measurement caches of one build.
  std::vector<int32_t> rowHeights_;
  struct TFontKey {
    TFont Font;
    int32_t LineHeight;
    std::unordered_map<std::string, int32_t> Heights;  // key: width, flags and text
  };
  std::vector<TFontKey> fontCache_;
  TFont defaultFont_;
};

}  // namespace hy
