// The report component and its page model. A report turns its source into a
// list of pages, each an enhanced metafile recorded while the report is
// built; pages form a grid of bars (vertical strips, "sheets" to the user),
// each with its own run of pages. Descendants produce the pages through
// BeginDoc / NewPage / EndDoc inside BuildReport; Prepare builds under the
// progress procedures, Preview shows the result through the preview window
// the program installs.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/Component.h"
#include "common/Variant.h"
#include "platform/db/DataSet.h"
#include "platform/gdi/Bitmap.h"
#include "platform/gdi/Metafile.h"
#include "platform/gdi/MetafileCanvas.h"
#include "report/KyPrntr.h"
#include "report/KyRDMan.h"
#include "report/KyRTypes.h"

class QWidget;

namespace hy {

class TKyProcess;
class TPlatformPrinter;

// The library's name: default document title, creator of every page picture.
inline constexpr const char* kProductCaption = "KyReport";
inline constexpr const char* kPictureDescription = "Orvane Software";

// `format` with each "%d" replaced by the next number (a translated text
// cannot make it read more numbers than given).
std::string FormatNumbers(std::string_view format, std::initializer_list<int64_t> numbers);

// One prepared page.
class TPageInfo {
public:
  TPageInfo(int32_t pageIndex, int32_t barIndex) : pageIndex_(pageIndex), barIndex_(barIndex) {}

  // Page units; setting them sets the picture's size too.
  int32_t Width() const { return width_; }
  void SetWidth(int32_t width);
  int32_t Height() const { return height_; }
  void SetHeight(int32_t height);
  int32_t PageIndex() const { return pageIndex_; }  // 0-based within its bar
  int32_t BarIndex() const { return barIndex_; }    // 0-based
  int32_t LeftMargin() const { return leftMargin_; }
  int32_t RightMargin() const { return rightMargin_; }
  int32_t TopMargin() const { return topMargin_; }
  int32_t BottomMargin() const { return bottomMargin_; }
  void SetMargins(int32_t left, int32_t right, int32_t top, int32_t bottom);

  TMetafile& Picture() { return picture_; }
  const TMetafile& Picture() const { return picture_; }

private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t pageIndex_;
  int32_t barIndex_;
  int32_t leftMargin_ = 0;
  int32_t rightMargin_ = 0;
  int32_t topMargin_ = 0;
  int32_t bottomMargin_ = 0;
  TMetafile picture_;
};

// Document properties, copied into export files and the prepared report
// file; Title is the print job's title.
class TKyProperty {
public:
  const std::string& Author() const { return author_; }
  void SetAuthor(const std::string& v) { author_ = v; }
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& v) { title_ = v; }
  const std::string& Subject() const { return subject_; }
  void SetSubject(const std::string& v) { subject_ = v; }
  const std::string& Keywords() const { return keywords_; }
  void SetKeywords(const std::string& v) { keywords_ = v; }
  const std::vector<std::string>& Comments() const { return comments_; }
  void SetComments(const std::vector<std::string>& lines) { comments_ = lines; }
  void Assign(const TKyProperty& source) { *this = source; }

private:
  std::string author_, title_, subject_, keywords_;
  std::vector<std::string> comments_;
};

enum TKyFrameType : uint8_t { ftTop, ftBottom, ftLeft, ftRight };

class TKyFrameTypes {
public:
  TKyFrameTypes() = default;
  TKyFrameTypes(std::initializer_list<TKyFrameType> sides) {
    for (TKyFrameType s : sides) Include(s);
  }
  bool Contains(TKyFrameType side) const { return (bits_ >> side) & 1u; }
  void Include(TKyFrameType side) { bits_ = static_cast<uint8_t>(bits_ | (1u << side)); }
  void Exclude(TKyFrameType side) { bits_ = static_cast<uint8_t>(bits_ & ~(1u << side)); }
  bool Empty() const { return bits_ == 0; }
  friend bool operator==(const TKyFrameTypes&, const TKyFrameTypes&) = default;

private:
  uint8_t bits_ = 0;
};

enum TKyPicType : uint8_t { btNone, btCenter, btStretch, btTile, btTileAsFrame, btCorners };

// Where the frame's picture goes: stretched whole into Dest, or (tiles) the
// part Source of it copied into Dest of the same size.
struct TKyPicturePlacement {
  TRect Dest;
  TRect Source;
  bool Stretch;
  friend bool operator==(const TKyPicturePlacement&, const TKyPicturePlacement&) = default;
};

// The page frame and background drawn on every new page.
class TKyRFrame {
public:
  TColor Color() const { return color_; }
  void SetColor(TColor c) { color_ = c; }
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle s) { style_ = s; }
  int32_t Width() const { return width_; }
  void SetWidth(int32_t w) { width_ = w; }
  TKyFrameTypes FrameType() const { return frameType_; }
  void SetFrameType(TKyFrameTypes t) { frameType_ = t; }
  TColor BackColor() const { return backColor_; }
  void SetBackColor(TColor c) { backColor_ = c; }
  TBitmap& Picture() { return picture_; }
  const TBitmap& Picture() const { return picture_; }
  void SetPicture(const TBitmap& picture) { picture_.Assign(picture); }
  TKyPicType PicType() const { return picType_; }
  void SetPicType(TKyPicType t) { picType_ = t; }
  void Assign(const TKyRFrame& source) { *this = source; }

  // Background, picture and lines into `rect`; leaves the brush clear.
  void Draw(TMetafileCanvas& canvas, const TRect& rect) const;
  // Where Draw puts the picture for `rect`, in drawing order.
  std::vector<TKyPicturePlacement> PicturePlacements(const TRect& rect) const;

private:
  TColor color_ = clBlack;
  TPenStyle style_ = psSolid;
  int32_t width_ = 1;
  TKyFrameTypes frameType_;
  TColor backColor_ = clWhite;
  TBitmap picture_;
  TKyPicType picType_ = btNone;
};

class TKyPrintBaseComponent;

using TKyNotifyEvent = std::function<void(TKyPrintBaseComponent& sender)>;
using TPageEvent = std::function<void(TKyPrintBaseComponent& sender, int32_t page, int32_t bar)>;
using TGetVariableEvent =
    std::function<void(TKyPrintBaseComponent& sender, const std::string& variableName, bool& accept,
                       TFieldType& variableType, Variant& value)>;

// What Preview / ShowPreview open: the program installs its preview window
// at start (a parent control embeds it, none shows it modally). Until one is
// installed a preview shows nothing.
using TPreviewFunction = std::function<void(TKyPrintBaseComponent& report, QWidget* parentControl)>;
void SetPreviewFunction(TPreviewFunction function);
const TPreviewFunction& PreviewFunction();

// Number of system variables; their names are library strings
// kStrSysVarFirst.. in English.
constexpr int kSystemVariableCount = 15;

class TKyPrintBaseComponent : public TComponent {
public:
  explicit TKyPrintBaseComponent(TComponent* owner = nullptr);
  ~TKyPrintBaseComponent() override;

  // --- settings (setting one copies the given object) ---
  const TKyRLanguage& Language() const { return language_; }
  void SetLanguage(const TKyRLanguage& language) { language_.Assign(language); }
  TKyProperty& KyProperty() { return kyProperty_; }
  const TKyProperty& KyProperty() const { return kyProperty_; }
  void SetKyProperty(const TKyProperty& property) { kyProperty_.Assign(property); }
  TKyRFrame& Frame() { return frame_; }
  const TKyRFrame& Frame() const { return frame_; }
  void SetFrame(const TKyRFrame& frame) { frame_.Assign(frame); }
  TKyRPrinter& PrinterSetting() { return printerSetting_; }
  const TKyRPrinter& PrinterSetting() const { return printerSetting_; }
  void SetPrinterSetting(const TKyRPrinter& setting) { printerSetting_.Assign(setting); }
  TKyRPrinter& SavedPrinterSetting() { return savedPrinterSetting_; }
  int32_t HelpContext() const { return helpContext_; }
  void SetHelpContext(int32_t context) { helpContext_ = context; }
  bool AnimatedStatus() const { return animatedStatus_; }
  void SetAnimatedStatus(bool value) { animatedStatus_ = value; }
  bool TwoPass() const { return twoPass_; }
  void SetTwoPass(bool value) { twoPass_ = value; }
  const std::string& ProductCaption() const { return productCaption_; }
  // User variables, answered by GetVariable after the system ones.
  TKyRVariables& Variables() { return variables_; }
  const TKyRVariables& Variables() const { return variables_; }
  void SetVariables(const TKyRVariables& variables) { variables_.Assign(variables); }

  // The platform printer both printer settings talk to (not owned); none
  // means the fallback paper and no printing.
  TPlatformPrinter* Printer() const { return printer_; }
  void SetPrinter(TPlatformPrinter* printer);
  // The progress the long operations report to (not owned); none means a
  // silent one.
  TKyProcess& Process() const;
  void SetProcess(TKyProcess* process) { process_ = process; }

  // --- events ---
  void SetOnBeginDoc(TKyNotifyEvent h) { onBeginDoc_ = std::move(h); }
  void SetOnEndDoc(TKyNotifyEvent h) { onEndDoc_ = std::move(h); }
  void SetOnBeginPage(TPageEvent h) { onBeginPage_ = std::move(h); }
  void SetOnEndPage(TPageEvent h) { onEndPage_ = std::move(h); }
  void SetOnBeforePreview(TKyNotifyEvent h) { onBeforePreview_ = std::move(h); }
  // Replaces the installed preview window.
  void SetOnPreview(TKyNotifyEvent h) { onPreview_ = std::move(h); }
  void SetOnAfterPreview(TKyNotifyEvent h) { onAfterPreview_ = std::move(h); }
  void SetOnBeforePrint(TKyNotifyEvent h) { onBeforePrint_ = std::move(h); }
  void SetOnAfterPrint(TKyNotifyEvent h) { onAfterPrint_ = std::move(h); }
  void SetOnGetVariable(TGetVariableEvent h) { onGetVariable_ = std::move(h); }
  const TKyNotifyEvent& OnBeforePrint() const { return onBeforePrint_; }
  const TKyNotifyEvent& OnAfterPrint() const { return onAfterPrint_; }

  // --- pages ---
  const std::vector<std::unique_ptr<TPageInfo>>& Pages() const { return pages_; }
  int32_t PageIndex() const { return pageIndex_; }
  void SetPageIndex(int32_t index) { pageIndex_ = index; }
  int32_t BarIndex() const { return barIndex_; }
  void SetBarIndex(int32_t index) { barIndex_ = index; }
  bool Prepared() const { return prepared_; }
  // Bars, and pages per bar (1 with no pages at all); in pass 2 of a
  // two-pass build the counts pass 1 found.
  int32_t BarCount() const;
  int32_t PageCount() const;
  TPageInfo* FindPage(int32_t pageIndex, int32_t barIndex) const;
  TPageInfo* CurrentPage() const { return FindPage(pageIndex_, barIndex_); }
  // The recording canvas of the open page, or nullptr.
  TMetafileCanvas* Canvas() const { return canvas_.get(); }
  int32_t CurrentY() const { return currentY_; }
  void SetCurrentY(int32_t y) { currentY_ = y; }
  int32_t BodyBottom() const { return bodyBottom_; }
  void SetBodyBottom(int32_t y) { bodyBottom_ = y; }
  int32_t FooterHeight() const { return footerHeight_; }
  void SetFooterHeight(int32_t h) { footerHeight_ = h; }
  int32_t Pass() const { return pass_; }
  void SetPass(int32_t pass) { pass_ = pass; }
  int32_t PassPageCount() const { return passPageCount_; }
  int32_t PassBarCount() const { return passBarCount_; }

  // --- building ---
  virtual void BuildReport();
  virtual int32_t GetPageNumberStep() { return 1; }
  virtual int32_t GetPageNumberOffset() { return 0; }
  virtual int32_t GetColumnIndex() { return 0; }
  virtual int32_t GetColumnCount() { return 1; }
  // System variables by their English name (blanks and case ignored), then
  // user variables, then OnGetVariable, which sees and may change the result.
  virtual void GetVariable(const std::string& variableName, bool& accept, TFieldType& variableType,
                           Variant& value);
  virtual void BeginDoc();
  virtual void EndDoc();
  virtual void NewPage(bool newBar);

  // Builds the pages (one or two passes) with the printer settings applied
  // and the progress shown; puts the printer back and closes the progress
  // also when the build fails.
  void Prepare();
  // Optionally prepares, then shows the prepared pages (OnPreview or the
  // installed preview window), embedded in `parentControl` when given.
  void ShowPreview(bool doPrepare, QWidget* parentControl = nullptr);
  void Preview() { ShowPreview(true, nullptr); }

  // Makes loaded pages the prepared report without firing events: the first
  // page of the first bar becomes current, and the counts come from these
  // pages (not from an earlier two-pass build).
  void LoadPages(std::vector<std::unique_ptr<TPageInfo>> pages);

protected:
  // User variables (upper-case name) looked up after the system ones: the
  // current value of the first of `Variables` with that name.
  virtual bool FindUserVariable(const std::string& upperName, Variant& value);
  bool InPass2() const { return twoPass_ && pass_ >= 2; }

private:
  void BeginPass(int32_t maxPosition);
  Variant SystemVariable(int index, bool& assigned);

  TKyRLanguage language_;
  TKyProperty kyProperty_;
  TKyRFrame frame_;
  TPlatformPrinter* printer_ = nullptr;
  TKyRPrinter printerSetting_;
  TKyRPrinter savedPrinterSetting_;
  TKyProcess* process_ = nullptr;
  std::unique_ptr<TKyProcess> silentProcess_;
  int32_t helpContext_ = 0;
  bool animatedStatus_ = true;
  bool twoPass_ = false;
  std::string productCaption_ = kProductCaption;
  TKyRVariables variables_{this};

  std::vector<std::unique_ptr<TPageInfo>> pages_;
  std::unique_ptr<TMetafileCanvas> canvas_;
  int32_t pageIndex_ = -1;
  int32_t barIndex_ = 0;
  bool prepared_ = false;
  int32_t currentY_ = 0;
  int32_t bodyBottom_ = 0;
  int32_t footerHeight_ = 0;
  int32_t pass_ = 1;
  int32_t passPageCount_ = 0;
  int32_t passBarCount_ = 0;

  TKyNotifyEvent onBeginDoc_, onEndDoc_, onBeforePreview_, onPreview_, onAfterPreview_,
      onBeforePrint_, onAfterPrint_;
  TPageEvent onBeginPage_, onEndPage_;
  TGetVariableEvent onGetVariable_;
};

// The report component with the two-pass option published.
class TKyPrintComponent : public TKyPrintBaseComponent {
public:
  using TKyPrintBaseComponent::TKyPrintBaseComponent;
};

}  // namespace hy
