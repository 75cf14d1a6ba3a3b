// The cross-tab grid model: everything of the grid that is not pixels on a
// screen. It keeps one display setting per cube dimension and summary in
// step with a decision source, lays the pivot out as a cell matrix (caption
// rows, label rows and columns, the outliner column, data cells, widths and
// heights with hidden subtotal positions), answers what each cell is and
// says, decides how each cell is painted, and carries out the pivot commands
// of the mouse and the quick menu. A widget shows it; the report reads it.
//
// Coordinates: grid indexes (col, row) count every cell from the top-left;
// data coordinates (X, Y) count from the first data cell, so label columns
// have X < 0 and caption and label rows Y < 0.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Alignment.h"
#include "common/Component.h"
#include "common/ScopeGuard.h"
#include "pivot/HyButton.h"
#include "pivot/HyDB.h"
#include "pivot/HyGridTypes.h"
#include "platform/gdi/Colors.h"
#include "platform/gdi/Fonts.h"

namespace hy {

class TCellTextCache;
class TCustomHyGrid;
class TDisplayDims;

// Bits of the decision draw state.
enum TPivotDrawStates : uint8_t {
  dsGroupStart = 0,
  dsRowCaption = 1,
  dsColCaption = 2,
  dsSum = 3,
  dsRowValue = 4,
  dsColValue = 5,
  dsData = 6,
  dsOpenAfter = 7,
  dsCloseAfter = 8,
  dsCloseBefore = 9,
  dsOpenBefore = 10,
  dsRowIndicator = 11,
  dsColIndicator = 12,
  dsRowPlus = 13,
  dsColPlus = 14,
  dsNone = 15,
};

// The set of TPivotDrawStates of one cell.
struct TPivotDrawState {
  uint16_t Bits = 0;

  TPivotDrawState() = default;
  TPivotDrawState(std::initializer_list<TPivotDrawStates> states) {
    for (TPivotDrawStates s : states) Include(s);
  }
  bool Has(TPivotDrawStates s) const { return (Bits >> s) & 1u; }
  void Include(TPivotDrawStates s) { Bits = static_cast<uint16_t>(Bits | (1u << s)); }
  void Exclude(TPivotDrawStates s) { Bits = static_cast<uint16_t>(Bits & ~(1u << s)); }
  friend bool operator==(const TPivotDrawState&, const TPivotDrawState&) = default;
};

// What a cell is (the numbers are the kinds the report adapter sees).
enum TCellKind : uint8_t {
  ckNone = 0,
  ckRowCaption = 1,
  ckColCaption = 2,
  ckRowLabel = 4,
  ckColLabel = 5,
  ckData = 6,
  ckRowPlus = 7,
  ckColPlus = 8,
  ckRowIndicator = 9,
};

enum TDecisionGridOption : uint8_t { cgGridLines = 1, cgOutliner = 2, cgPivotable = 4 };
using TDecisionGridOptions = uint8_t;
constexpr TDecisionGridOptions kDefaultGridOptions = cgGridLines | cgOutliner | cgPivotable;

enum TBorderStyle : uint8_t { bsNone, bsSingle };

// Which setting of a TDisplayDim changed.
enum class TDisplayDimChange : uint8_t {
  DisplayName,
  FieldName,
  Format,
  Alignment,
  Color,
  Subtotals,
  Width
};

// How one cube dimension or summary is shown.
class TDisplayDim {
public:
  explicit TDisplayDim(TDisplayDims* collection) : collection_(collection) {}

  int32_t Index() const;
  const std::string& DisplayName() const { return displayName_; }
  void SetDisplayName(const std::string& value);
  const std::string& FieldName() const { return fieldName_; }
  void SetFieldName(const std::string& value);
  const std::string& Format() const { return format_; }
  void SetFormat(const std::string& value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  bool Subtotals() const { return subtotals_; }
  void SetSubtotals(bool value);
  int32_t Width() const { return width_; }
  void SetWidth(int32_t value);

private:
  void Changed(TDisplayDimChange kind);

  TDisplayDims* collection_;
  std::string displayName_;
  std::string fieldName_;
  std::string format_;
  TAlignment alignment_ = taCenter;
  TColor color_ = clNone;
  bool subtotals_ = true;
  int32_t width_ = 20;
};

// One TDisplayDim per cube dimension, then one per summary.
class TDisplayDims {
public:
  explicit TDisplayDims(TCustomHyGrid* grid) : grid_(grid) {}
  TDisplayDims(const TDisplayDims&) = delete;
  TDisplayDims& operator=(const TDisplayDims&) = delete;

  TCustomHyGrid* Grid() const { return grid_; }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // nullptr outside 0..Count-1.
  TDisplayDim* Items(int32_t index) const;
  TDisplayDim* operator[](int32_t index) const { return Items(index); }
  TDisplayDim& Add();
  void Clear();
  int32_t IndexOf(const TDisplayDim* item) const;

  // While set, item changes do not reach the grid.
  bool Updating() const { return updating_; }
  void SetUpdating(bool value) { updating_ = value; }
  // Keeps item changes from the grid for a block.
  TValueScope<bool> QuietScope() { return TValueScope<bool>(updating_, true); }

private:
  friend class TDisplayDim;
  void ItemChanged(TDisplayDim& item, TDisplayDimChange kind);

  TCustomHyGrid* grid_;
  std::vector<std::unique_ptr<TDisplayDim>> items_;
  bool updating_ = true;  // cleared once the grid is constructed
};

// The grid's connection to its decision source.
class THyGridDataLink : public TDecisionDataLink {
public:
  explicit THyGridDataLink(TCustomHyGrid* grid) : grid_(grid) {}
  TCustomHyGrid* Grid() const { return grid_; }
  void DataEvent(TDecisionDataEvent event) override;

private:
  TCustomHyGrid* grid_;
};

// What the widget showing the model must do when the model changes.
class THyGridView {
public:
  virtual ~THyGridView() = default;
  // Widths or heights changed.
  virtual void ModelShapeChanged() = 0;
  // The grid was laid out afresh (after a pivot, an option or a setting):
  // counts and fixed cells may differ and positions mean other cells.
  virtual void ModelLayoutChanged() { ModelShapeChanged(); }
  virtual void ModelInvalidate() = 0;
  // One cell, in grid indexes.
  virtual void ModelInvalidateCell(int32_t col, int32_t row) = 0;
  // The model is going away; the view must not use it any more.
  virtual void ModelDestroyed() {}
};

// The part of a caption cell the mouse is in.
enum class TCellZone : uint8_t { LeftQuarter, Middle, RightQuarter };

// Drag feedback drawn on a cell.
enum class TDropMark : uint8_t {
  None,
  InsertBefore,  // "LeftArrow" at the left edge and a red line down it
  InsertAfter,   // "RightArrow" at the right edge
  Swap,          // "Pivot" in the middle
  InsertTop,     // a red line across the top
};

// Glyph images, in the order of the grid's image list.
enum TGridGlyph : int8_t {
  glNone = -1,
  glLeftArrow = 0,
  glRightArrow = 1,
  glCaption = 2,
  glPivot = 3,
  glDOpen = 4,
  glDClose = 5,
};

// Everything the painter needs for one cell.
struct TCellPaint {
  bool Draw = false;           // false: only the control colour is filled
  bool DefaultDrawing = true;  // false: the draw-cell handler took over after the fill
  int32_t X = 0, Y = 0;        // data coordinates
  TCellKind Kind = ckNone;
  TPivotDrawState State;
  std::string Text;
  TAlignment Alignment = taCenter;
  TFont Font;
  TColor Color = clBtnFace;
  bool Raised = false;  // a 3D face inset by one pixel
  int32_t Margin = 2;
  int32_t GlyphRoom = 0;  // pixels kept free at the right for a glyph
  TGridGlyph RightGlyph = glNone;
  TGridGlyph LeftGlyph = glNone;
  bool PlusBox = false;  // column plus cell: raised face left of a caption-coloured glyph box
  // Grid lines of the cell. A cell's right and bottom lines lie on its
  // neighbour's left and top lines, so the painter draws them outside the
  // cell, where the neighbour covers them unless there is none.
  bool LeftEdge = false, TopEdge = false, RightEdge = false, BottomEdge = false;
  TColor LineColor = clWindowText;
  int32_t LineWidth = 0;
  TDropMark Drop = TDropMark::None;
};

// Where a quick menu that was filled should appear.
enum class TMenuPlace : uint8_t { None, CellCorner, Mouse };

class TCustomHyGrid : public TComponent, public TGridGeometry {
public:
  using TDecisionDrawCellEvent = std::function<void(
      TCustomHyGrid& sender, int32_t col, int32_t row, std::string& text, TFont& font,
      TColor& color, TGridDrawState gridState, TPivotDrawState drawState)>;
  using TDecisionExamineCellEvent = std::function<void(
      TCustomHyGrid& sender, int32_t col, int32_t row, int32_t summary, const TValueArray& values)>;
  using TNotifyEvent = std::function<void(TCustomHyGrid& sender)>;

  static constexpr int32_t kOutlinerWidth = 16;
  static constexpr int32_t kGlyphSize = 15;
  static constexpr int32_t kPlusBoxWidth = 16;

  explicit TCustomHyGrid(TComponent* owner = nullptr);
  ~TCustomHyGrid() override;

  void SetView(THyGridView* view) { view_ = view; }
  THyGridView* View() const { return view_; }

  // --- the grid base's values: the one place that holds them
  int32_t ColCount() const override { return static_cast<int32_t>(colWidths_.size()); }
  int32_t RowCount() const override { return static_cast<int32_t>(rowHeights_.size()); }
  int32_t FixedCols() const override { return fixedCols_; }
  int32_t FixedRows() const override { return fixedRows_; }
  int32_t ColWidths(int32_t col) const override;
  int32_t RowHeights(int32_t row) const override;
  void SetColWidths(int32_t col, int32_t width) override;
  void SetRowHeights(int32_t row, int32_t height) override;

  // --- published
  THySource* DecisionSource() const { return link_.Source(); }
  void SetDecisionSource(THySource* source);
  TDisplayDims& Dimensions() { return dimensions_; }
  const TDisplayDims& Dimensions() const { return dimensions_; }
  TDecisionGridOptions Options() const { return options_; }
  void SetOptions(TDecisionGridOptions options);
  bool HasOption(TDecisionGridOption o) const { return (options_ & o) != 0; }
  int32_t DefaultColWidth() const { return defaultColWidth_; }
  void SetDefaultColWidth(int32_t width);
  int32_t DefaultRowHeight() const { return defaultRowHeight_; }
  void SetDefaultRowHeight(int32_t height);
  TFont& CaptionFont() { return captionFont_; }
  TFont& DataFont() { return dataFont_; }
  TFont& LabelFont() { return labelFont_; }
  TFont& LabelSumFont() { return labelSumFont_; }
  TFont& Font() { return font_; }  // the control's own font
  const TFont& CaptionFont() const { return captionFont_; }
  const TFont& DataFont() const { return dataFont_; }
  const TFont& LabelFont() const { return labelFont_; }
  const TFont& LabelSumFont() const { return labelSumFont_; }
  const TFont& Font() const { return font_; }
  void SetCaptionFont(const TFont& f) { captionFont_ = f; }
  void SetDataFont(const TFont& f) { dataFont_ = f; }
  void SetLabelFont(const TFont& f) { labelFont_ = f; }
  void SetLabelSumFont(const TFont& f) { labelSumFont_ = f; }
  void SetFont(const TFont& f) { font_ = f; }
  TColor CaptionColor() const { return captionColor_; }
  TColor DataColor() const { return dataColor_; }
  TColor DataSumColor() const { return dataSumColor_; }
  TColor LabelColor() const { return labelColor_; }
  TColor LabelSumColor() const { return labelSumColor_; }
  TColor GridLineColor() const { return gridLineColor_; }
  TColor Color() const { return color_; }  // the control's colour
  void SetCaptionColor(TColor c) { SetColorField(captionColor_, c); }
  void SetDataColor(TColor c) { SetColorField(dataColor_, c); }
  void SetDataSumColor(TColor c) { SetColorField(dataSumColor_, c); }
  void SetLabelColor(TColor c) { SetColorField(labelColor_, c); }
  void SetLabelSumColor(TColor c) { SetColorField(labelSumColor_, c); }
  void SetGridLineColor(TColor c) { SetColorField(gridLineColor_, c); }
  void SetColor(TColor c) { SetColorField(color_, c); }
  int32_t GridLineWidth() const { return gridLineWidth_; }
  void SetGridLineWidth(int32_t width);
  bool ShowCubeEditor() const { return showCubeEditor_; }
  void SetShowCubeEditor(bool value) { showCubeEditor_ = value; }
  bool DefaultDrawing() const { return defaultDrawing_; }
  void SetDefaultDrawing(bool value);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  // True when any display setting shows subtotals; setting it sets all.
  bool Totals() const;
  void SetTotals(bool value);
  void SetOnDecisionDrawCell(TDecisionDrawCellEvent e) { onDrawCell_ = std::move(e); }
  void SetOnDecisionExamineCell(TDecisionExamineCellEvent e) { onExamineCell_ = std::move(e); }
  void SetOnTopLeftChanged(TNotifyEvent e) { onTopLeftChanged_ = std::move(e); }
  const TNotifyEvent& OnTopLeftChanged() const { return onTopLeftChanged_; }
  // The quick menu's "Decision Cube Editor.." entry (shown when
  // ShowCubeEditor is set) calls this; without it the entry does nothing.
  void SetOnCubeEditor(TNotifyEvent e) { onCubeEditor_ = std::move(e); }

  // --- layout state
  bool Populated() const { return populated_; }
  int32_t RowLevels() const { return rowLevels_; }
  int32_t ColLevels() const { return colLevels_; }
  int32_t CaptionRows() const { return captionRows_; }
  int32_t OutlinerCols() const { return outlinerCols_; }
  int32_t RowListCount() const { return rowListCount_; }
  int32_t ColListCount() const { return colListCount_; }
  bool InLayout() const { return inLayout_; }
  // The width every data column gets from the layout.
  int32_t DataWidth() const { return dataWidth_; }
  bool IsActiveSource() const;

  // --- cell queries (data coordinates)
  bool GetCellInfo(int32_t x, int32_t y, TCellKind& kind, TPivotDrawState& state,
                   int32_t& valueIndex) const;
  void GetCellText(int32_t y, int32_t x, std::string& text, TAlignment& alignment,
                   TPivotDrawState& state) const;
  // False outside the grid.
  bool CellQuery(int32_t x, int32_t y, TPivotDrawState& state, std::string& text) const;
  // "[Error]" outside the grid.
  std::string CellText(int32_t x, int32_t y) const;
  bool GetValueArray(int32_t x, int32_t y, TValueArray& values) const;
  bool InGrid(int32_t x, int32_t y) const;
  // Index of the cube dimension open at `level` of an axis, or -1.
  int32_t DimAtLevel(TDimAxis axis, int32_t level) const;
  // The display setting of a cube dimension or summary (nullptr if none).
  TDisplayDim* DisplayDimOf(int32_t index) const { return dimensions_.Items(index); }
  TDisplayDim* SummaryDisplayDim() const;
  // The caption a dimension or summary is shown by: its map item's caption,
  // or its name when it has none.
  std::string DimensionTitle(int32_t dimIndex) const;
  std::string SummaryTitle(int32_t index) const;

  // What a scrolled view keeps in sight across a pivot: the value of each
  // open dimension of an axis at one data position (-1 for a subtotal).
  struct TAnchorValue {
    int32_t Dim;
    int16_t Value;
  };
  using TAxisAnchor = std::vector<TAnchorValue>;
  TAxisAnchor AnchorAt(TDimAxis axis, int32_t pos) const;
  // The first data position that shows the anchor's values of the
  // dimensions still open on the axis; -1 when none of them is open there
  // any more or no position matches.
  int32_t FindAnchor(TDimAxis axis, const TAxisAnchor& anchor) const;

  // --- painting (grid indexes)
  TCellPaint CellPaint(int32_t col, int32_t row, TGridDrawState gridState);
  // Left edge of a text of `textWidth` pixels in a cell spanning left..right.
  static int32_t TextLeft(const TCellPaint& paint, int32_t left, int32_t right, int32_t textWidth);

  // --- mouse and menu commands (data coordinates)
  static TCellZone ZoneOf(int32_t offset, int32_t width);
  // Left or middle button on a cell; `offset` is the mouse's distance from
  // the cell's left edge, `width` the cell's width.
  void MouseDown(int32_t x, int32_t y, int32_t offset, int32_t width);
  // Enter on a cell with an open or close glyph: what a click on the glyph
  // does. False when the cell has none.
  bool GlyphCommand(int32_t x, int32_t y);
  bool Dragging() const { return dragging_ != 0; }
  TGridCoord DragCell() const { return dragCell_; }
  TGridCoord DropCell() const { return dropCell_; }
  bool DropSwap() const { return dropSwap_; }
  // The drop target for the mouse over (x, y); false when the stored target
  // stays as it is.
  bool ComputeDropTarget(bool inCell, int32_t x, int32_t y, TCellZone zone, TGridCoord& cell,
                         bool& swap) const;
  // While dragging: updates the stored target (and invalidates both cells).
  void DragMove(bool inCell, int32_t x, int32_t y, TCellZone zone);
  // Ends a drag with a last move and drops on the stored target.
  void DragEnd(bool inCell, int32_t x, int32_t y, TCellZone zone);
  void CancelDrag();
  // Drag feedback of a cell while dragging.
  TDropMark DropMarkAt(int32_t x, int32_t y) const;

  // Right button on a cell: data cells go to OnDecisionExamineCell; other
  // cells fill the quick menu. Says where the menu should pop up.
  TMenuPlace PrepareQuickMenu(int32_t x, int32_t y);
  // The menu of a cell that is neither caption nor label: subtotals, the
  // dimensions and the summaries.
  TMenuPlace PrepareGeneralMenu();
  TQuickMenu& QuickMenu() { return *quickMenu_; }

  // The user resized a column or row (grid indexes).
  void UserColWidthChanged(int32_t col, int32_t width);
  void UserRowHeightChanged(int32_t row, int32_t height);

  // --- reactions
  void DataEvent(TDecisionDataEvent event);
  // Refills the display settings from the source.
  void SyncDimensions();
  void Layout();
  void Loaded() override;
  void Invalidate();
  void InvalidateCell(int32_t x, int32_t y);  // data coordinates
  void DisplayDimChanged(TDisplayDimChange kind);

  // Text width measured in the control's font; tests may replace it.
  using TTextMeasure = std::function<int32_t(const TFont& font, const std::string& text)>;
  void SetTextMeasure(TTextMeasure measure) { measure_ = std::move(measure); }
  int32_t MeasureText(const TFont& font, const std::string& text) const;

protected:
  void Notification(TComponent* component, TOperation operation) override;

private:
  void SetColorField(TColor& field, TColor value);
  void SetShape(int32_t colCount, int32_t rowCount, int32_t fixedCols, int32_t fixedRows);
  void ShapeChanged();
  void LayoutChanged();
  void ResetEmpty();
  TDimAxis AxisOfCaptionRow(int32_t y) const;
  bool PositionHidden(TDimAxis axis, int32_t pos) const;
  bool LabelGroupStart(TDimAxis axis, int32_t level, int32_t pos, bool isGroupStart) const;
  std::string ValueText(int32_t dimIndex, int32_t valueIndex) const;
  std::string CaptionText(int32_t dimIndex) const;
  void DropOn(const TGridCoord& target, bool swap);
  void FillDimensionEntries();
  void ChooseCaptionEntry(TQuickMenu& menu);
  void ChooseLabelEntry(TQuickMenu& menu);
  void ChooseGeneralEntry(TQuickMenu& menu);
  bool ChooseDimensionOrSummary(int32_t code);
  // Sizes of the positions of a label's group (rows: heights, cols: widths).
  void SetGroupSizes(TDimAxis axis, int32_t first, int32_t last, int32_t look);
  int32_t GroupLook(TDimAxis axis, int32_t first, int32_t last) const;

  THyGridView* view_ = nullptr;
  THyGridDataLink link_;
  THySource* watchedSource_ = nullptr;
  TQuickMenu* quickMenu_;  // owned as a component
  TDisplayDims dimensions_;
  TDecisionGridOptions options_ = kDefaultGridOptions;

  std::vector<int32_t> colWidths_{100};
  std::vector<int32_t> rowHeights_{20};
  int32_t fixedCols_ = 0;
  int32_t fixedRows_ = 0;
  int32_t defaultColWidth_ = 100;
  int32_t defaultRowHeight_ = 20;
  int32_t dataWidth_ = 100;

  bool populated_ = false;
  bool inLayout_ = false;
  int32_t outlinerCols_ = 0;
  int32_t captionRows_ = 1;
  int32_t colLevels_ = 0;
  int32_t rowLevels_ = 0;
  int32_t rowListCount_ = 0;
  int32_t colListCount_ = 0;

  TGridCoord dragCell_{0, 0};
  TGridCoord dropCell_{0, 0};
  bool dropSwap_ = false;
  uint8_t dragging_ = 0;

  TFont captionFont_;
  TFont dataFont_;
  TFont labelFont_;
  TFont labelSumFont_;
  TFont font_;
  TColor captionColor_ = clActiveCaption;
  TColor dataColor_ = clInfoBk;
  TColor dataSumColor_ = clNone;
  TColor labelColor_ = clBtnFace;
  TColor labelSumColor_ = clInactiveCaption;
  TColor gridLineColor_ = clWindowText;
  TColor color_ = clBtnFace;
  int32_t gridLineWidth_ = 1;
  bool showCubeEditor_ = false;
  bool defaultDrawing_ = true;
  TBorderStyle borderStyle_ = bsSingle;

  TDecisionDrawCellEvent onDrawCell_;
  TDecisionExamineCellEvent onExamineCell_;
  TNotifyEvent onTopLeftChanged_;
  TNotifyEvent onCubeEditor_;
  TTextMeasure measure_;
  // Data cell texts made once per cube record; filled by const queries.
  std::unique_ptr<TCellTextCache> texts_;
};

// Texts of the quick menu entries.
inline constexpr const char* kMenuDataAndSubtotals = "Display Data and Subtotals";
inline constexpr const char* kMenuDataOnly = "Display Data Only";
inline constexpr const char* kMenuSubtotalsOnly = "Display Subtotals Only";
inline constexpr const char* kMenuDrillIn = "Drill in to this value";
inline constexpr const char* kMenuSubtotalsOnOff = "Subtotals on/off";
inline constexpr const char* kMenuCubeEditor = "Decision Cube Editor..";

}  // namespace hy
