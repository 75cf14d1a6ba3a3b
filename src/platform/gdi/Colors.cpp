#include "platform/gdi/Colors.h"

#include <cstdio>

#include <QColor>

namespace hy {

namespace {

// The classic desktop scheme (grey 3D faces, navy captions, pale-yellow
// tooltips). Index 25 has no colour in that scheme and reads black.
constexpr TColor kSystemColors[kSystemColorCount] = {
    RGBColor(192, 192, 192),  //  0 scroll bar
    RGBColor(0, 128, 128),    //  1 desktop background
    RGBColor(0, 0, 128),      //  2 active caption
    RGBColor(128, 128, 128),  //  3 inactive caption
    RGBColor(192, 192, 192),  //  4 menu
    RGBColor(255, 255, 255),  //  5 window
    RGBColor(0, 0, 0),        //  6 window frame
    RGBColor(0, 0, 0),        //  7 menu text
    RGBColor(0, 0, 0),        //  8 window text
    RGBColor(255, 255, 255),  //  9 caption text
    RGBColor(192, 192, 192),  // 10 active border
    RGBColor(192, 192, 192),  // 11 inactive border
    RGBColor(128, 128, 128),  // 12 application workspace
    RGBColor(0, 0, 128),      // 13 highlight
    RGBColor(255, 255, 255),  // 14 highlight text
    RGBColor(192, 192, 192),  // 15 button face
    RGBColor(128, 128, 128),  // 16 button shadow
    RGBColor(128, 128, 128),  // 17 grey text
    RGBColor(0, 0, 0),        // 18 button text
    RGBColor(192, 192, 192),  // 19 inactive caption text
    RGBColor(255, 255, 255),  // 20 button highlight
    RGBColor(0, 0, 0),        // 21 3D dark shadow
    RGBColor(223, 223, 223),  // 22 3D light
    RGBColor(0, 0, 0),        // 23 tooltip text
    RGBColor(255, 255, 225),  // 24 tooltip background
    RGBColor(0, 0, 0),        // 25 (none)
    RGBColor(0, 0, 255),      // 26 hot-tracked item
    RGBColor(16, 132, 208),   // 27 active caption gradient
    RGBColor(181, 181, 181),  // 28 inactive caption gradient
    RGBColor(0, 0, 128),      // 29 menu highlight
    RGBColor(192, 192, 192),  // 30 menu bar
};

struct TNamedColor {
  TColor color;
  const char* name;
};

constexpr TNamedColor kNames[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clMoneyGreen, "clMoneyGreen"},
    {clSkyBlue, "clSkyBlue"},
    {clCream, "clCream"},
    {clMedGray, "clMedGray"},
    {clNone, "clNone"},
    {clDefault, "clDefault"},
    {clScrollBar, "clScrollBar"},
    {clBackground, "clBackground"},
    {clActiveCaption, "clActiveCaption"},
    {clInactiveCaption, "clInactiveCaption"},
    {clMenu, "clMenu"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clMenuText, "clMenuText"},
    {clWindowText, "clWindowText"},
    {clCaptionText, "clCaptionText"},
    {clActiveBorder, "clActiveBorder"},
    {clInactiveBorder, "clInactiveBorder"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clBtnFace, "clBtnFace"},
    {clBtnShadow, "clBtnShadow"},
    {clGrayText, "clGrayText"},
    {clBtnText, "clBtnText"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clBtnHighlight, "clBtnHighlight"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clInfoText, "clInfoText"},
    {clInfoBk, "clInfoBk"},
    {clHotLight, "clHotLight"},
    {clGradientActiveCaption, "clGradientActiveCaption"},
    {clGradientInactiveCaption, "clGradientInactiveCaption"},
    {clMenuHighlight, "clMenuHighlight"},
    {clMenuBar, "clMenuBar"},
};

}  // namespace

TColor SysColor(int index) {
  return index >= 0 && index < kSystemColorCount ? kSystemColors[index] : clBlack;
}

TColor ColorToRGB(TColor c) {
  if (IsSystemColor(c)) return SysColor(int(c & 0xFF));
  return c & 0x00FFFFFF;
}

QColor ToQColor(TColor c) {
  TColor rgb = ColorToRGB(c);
  return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

TColor FromQColor(const QColor& c) {
  QColor rgb = c.toRgb();
  return RGBColor(uint8_t(rgb.red()), uint8_t(rgb.green()), uint8_t(rgb.blue()));
}

const char* ColorName(TColor c) {
  for (const TNamedColor& n : kNames)
    if (n.color == c) return n.name;
  static thread_local char buf[16];
  std::snprintf(buf, sizeof buf, "$%08X", unsigned(c));
  return buf;
}

}  // namespace hy
