#include "report/KyRAuto.h"

#include <algorithm>
#include <filesystem>

#include "common/DateUtils.h"
#include "common/Format.h"
#include "common/StrUtils.h"
#include "platform/gdi/Bitmap.h"
#include "report/KyRPars.h"

namespace hy {

namespace {

struct TRowStyleDef {
  const char* Name;
  TColor Odd;
  TColor Even;
};

const TRowStyleDef kRowStyles[kKyRRowStyleCount] = {
    {"rsNormal", clNone, clNone},      {"rsPriceList", cl3DLight, 0xFFFFFF},
    {"rsMSMoney", 0xFFFBF0, clWindow}, {"rsBrick", 0xCFDFDF, 0xA0BFBF},
    {"rsDesert", 0xB8CCD8, 0x688CA0},  {"rsEggplant", 0xA8B090, 0x788058},
    {"rsLilac", 0xD8A8B0, 0xB05058},   {"rsMaple", 0xA8D8EB, 0x48A8C8},
    {"rsMarine", 0xB8C088, 0x889048},  {"rsRose", 0xB8B0D0, 0x7060A0},
    {"rsSpruce", 0xA8C8A0, 0x689858},  {"rsWheat", 0xA0E0E0, 0x40BCC0},
};

}  // namespace

const char* RowStyleName(TKyRRowStyle style) { return kRowStyles[style].Name; }

bool RowStyleFromName(std::string_view name, TKyRRowStyle& style) {
  const std::string wanted = LowerCase(std::string(name));
  for (int i = 0; i < kKyRRowStyleCount; ++i) {
    const std::string full = LowerCase(kRowStyles[i].Name);
    if (wanted == full || wanted == full.substr(2)) {
      style = static_cast<TKyRRowStyle>(i);
      return true;
    }
  }
  return false;
}

void TKyRStyle::SetRowStyle(TKyRRowStyle value) {
  if (value == rowStyle_) return;
  rowStyle_ = value;
  if (value == rsNormal) return;
  oddColor_ = kRowStyles[value].Odd;
  evenColor_ = kRowStyles[value].Even;
}

std::vector<std::string> DefaultFooter(int language) {
  return {"%A%R" + LoadString(language, kStrPageNo) + "%PN/" + LoadString(language, kStrSheet) +
          "%BN"};
}

TKyAutoPrint::TKyAutoPrint(TComponent* owner)
    : TKyPrintComponent(owner),
      header_{"%A%L%DT%FB", " "},
      footer_(DefaultFooter(Language().EffectiveLanguage())),
      dataManager_(new TKyRDataManager(this)) {}

TKyAutoPrint::~TKyAutoPrint() = default;

void TKyAutoPrint::SetMacroChar(char value) {
  if (value == macroChar_) return;
  for (auto* lines : {&header_, &footer_})
    for (std::string& line : *lines) std::replace(line.begin(), line.end(), macroChar_, value);
  macroChar_ = value;
}

TKyRParsedLine TKyAutoPrint::ParseLine(const std::string& line, bool continuation) {
  TKyRParsedLine out;
  out.Visible = !continuation;
  const size_t n = line.size();
  size_t i = 0;
  while (i < n) {
    if (line[i] != macroChar_) {
      out.Text += line[i++];
      continue;
    }
    if (i + 1 >= n) break;  // a macro character at the end disappears
    const char c = line[i + 1];
    const char d = i + 2 < n ? line[i + 2] : '\0';
    switch (c) {
      case 'A':
        out.Visible = continuation;
        i += 2;
        break;
      case 'O':
        out.Visible = !continuation;
        i += 2;
        break;
      case 'L':
        out.Alignment = DT_LEFT;
        i += 2;
        break;
      case 'C':
        out.Alignment = DT_CENTER;
        i += 2;
        break;
      case 'R':
        out.Alignment = DT_RIGHT;
        i += 2;
        break;
      case 'B':
        out.Text += std::to_string(d == 'C' ? BarCount() : BarIndex() + 1);
        i += 3;
        break;
      case 'P':
        out.Text += std::to_string(d == 'C' ? PageCount() : PageIndex() + 1);
        i += 3;
        break;
      case 'D':
        if (d == 'T') {
          out.Text += DateTimeToStr(Now());
          i += 3;
        } else {
          out.Text += DateToStr(Now());
          i += 2;
        }
        break;
      case 'T':
        out.Text += TimeToStr(Now());
        i += 2;
        break;
      case 'F':
        out.FrameLine = std::string_view("TBLRCSF").find(d) != std::string_view::npos && d ? d : 0;
        i += 3;
        break;
      case 'I':
        if (d == 'T' || d == 'B' || d == 'P') out.PicturePlace = d;
        out.Picture = Trim(i + 3 < n ? line.substr(i + 3) : std::string());
        i = n;
        break;
      default:
        if (c == macroChar_) {
          out.Text += macroChar_;
          i += 2;
        } else {
          ++i;  // the macro character is dropped, the letter kept
        }
    }
  }
  return out;
}

void TKyAutoPrint::DrawFrameLine(TMetafileCanvas& canvas, char side, const TRect& box) {
  const int32_t right = box.Right - 1, bottom = box.Bottom - 1;
  const int32_t midX = (box.Left + box.Right) / 2, midY = (box.Top + box.Bottom) / 2;
  auto line = [&](int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    canvas.MoveTo(x1, y1);
    canvas.LineTo(x2, y2);
  };
  switch (side) {
    case 'T': line(box.Left, box.Top, box.Right, box.Top); break;
    case 'B': line(box.Left, bottom, box.Right, bottom); break;
    case 'L': line(box.Left, box.Top, box.Left, box.Bottom); break;
    case 'R': line(right, box.Top, right, box.Bottom); break;
    case 'C': line(box.Left, midY, box.Right, midY); break;
    case 'S': line(midX, box.Top, midX, box.Bottom); break;
    case 'F': {
      const TBrush keep = canvas.Brush();
      canvas.Brush().SetStyle(bsClear);
      canvas.Rectangle(box);
      canvas.SetBrush(keep);
      break;
    }
    default: break;
  }
}

int32_t TKyAutoPrint::PrintLines(const std::vector<std::string>& lines, const TFont& font,
                                 bool continuation, bool measureOnly) {
  TMetafileCanvas* canvas = Canvas();
  TPageInfo* page = openPage_;
  if (!canvas || !page) return 0;
  const int32_t left = page->LeftMargin(), right = page->Width() - page->RightMargin();
  int32_t height = 0;
  std::string picture;
  char place = 'P';
  for (const std::string& raw : lines) {
    TKyRParsedLine line = ParseLine(raw, continuation);
    if (!line.Visible) continue;
    if (line.PicturePlace) place = line.PicturePlace;
    if (!line.Picture.empty() && picture.empty()) picture = line.Picture;
    if (picture.empty()) {
      canvas->SetFont(font);
      uint32_t flags = DT_NOPREFIX | DT_EXPANDTABS | line.Alignment;
      if (wordWrap_) flags |= DT_WORDBREAK;
      if (measureOnly) flags |= DT_CALCRECT;
      TRect box{left, CurrentY() + height, right, CurrentY() + height};
      const std::string text = line.Text.empty() ? std::string(" ") : line.Text;
      const int32_t h =
          DrawCellText(*canvas, text, flags, {box.Left, box.Top, box.Right, page->Height()});
      box.Bottom = box.Top + h;
      if (!measureOnly && line.FrameLine) DrawFrameLine(*canvas, line.FrameLine, box);
      height += h;
    }
  }
  std::error_code ec;
  if (!picture.empty() && std::filesystem::is_regular_file(picture, ec)) {
    TBitmap bitmap;
    bool loaded = true;
    try {
      bitmap.LoadFromFile(picture);
    } catch (const std::exception&) {
      loaded = false;  // an unreadable picture is left out like a missing one
    }
    if (loaded) {
      if (place != 'P') height = std::max(height, bitmap.Height());
      if (!measureOnly) {
        int32_t top = page->TopMargin();
        if (place == 'T') top = CurrentY();
        if (place == 'B') top = page->Height() - page->TopMargin() - height;
        canvas->StretchDraw({left, top, right, BodyBottom()}, bitmap);
      }
    }
  }
  if (!measureOnly) SetCurrentY(CurrentY() + height);
  return height;
}

int32_t TKyAutoPrint::DrawCellText(TMetafileCanvas& canvas, std::string text, uint32_t flags,
                                   TRect rect) {
  if (highLights_.Count() > 0) {
    if (!exprContext_) {
      if (dataManager_->Datasets().Count() == 0) dataManager_->CollectDatasets(nullptr, Owner());
      exprContext_ = std::make_shared<TKyRExprContext>(dataManager_, KyRReportVariables(*this));
    }
    if (flags & DT_CALCRECT) {
      if (const TKyRHighLight* h = FindHoldingHighLight(highLights_, *exprContext_))
        canvas.SetFont(h->Font());
    } else {
      ApplyHighLights(canvas, rect, highLights_, *exprContext_);
    }
  }
  if (onDrawText_) {
    uint16_t shortFlags = static_cast<uint16_t>(flags);
    int32_t result = 0;
    bool drawDefault = true;
    onDrawText_(canvas, text, rect, shortFlags, result, drawDefault);
    if (!drawDefault) return result;
    flags = shortFlags;
  }
  return canvas.DrawText(text, rect, flags);
}

void TKyAutoPrint::BeginDoc() {
  openPage_ = nullptr;  // the pages are cleared
  TKyPrintComponent::BeginDoc();
}

void TKyAutoPrint::NewPage(bool newBar) {
  TKyPrintComponent::NewPage(newBar);
  openPage_ = Pages().empty() ? nullptr : Pages().back().get();
  pageStarted_ = true;
  PrintLines(header_, headerFont_, true, false);
  const int32_t belowHeader = CurrentY();
  const int32_t footer = PrintLines(footer_, footerFont_, true, true);
  SetCurrentY(BodyBottom() - footer);
  PrintLines(footer_, footerFont_, true, false);
  SetBodyBottom(BodyBottom() - footer);
  SetCurrentY(belowHeader);
}

}  // namespace hy
