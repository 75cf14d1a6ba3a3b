// A report for the output tests: PagesPerBar[b] pages in bar b, each page
// filled with a colour that names its page and bar (PageColor) and lettered
// "page P sheet S", so a printed or exported sheet tells which page it is.
#pragma once

#include <string>
#include <vector>

#include "platform/gdi/GuiApp.h"
#include "report/PrintKy.h"

namespace hy::test {

inline TColor PageColor(int32_t page, int32_t bar) {
  return TColor(uint32_t(20 + 30 * page) | (uint32_t(20 + 60 * bar) << 8) | (0x90u << 16));
}

// The page and bar whose colour `rgb` (0xRRGGBB) is, or {-1, -1}.
inline std::pair<int32_t, int32_t> PageOfColor(uint32_t rgb) {
  const int32_t r = int32_t(rgb >> 16) & 0xFF, g = int32_t(rgb >> 8) & 0xFF;
  if ((r - 20) % 30 != 0 || (g - 20) % 60 != 0 || (rgb & 0xFF) != 0x90) return {-1, -1};
  return {(r - 20) / 30, (g - 20) / 60};
}

inline std::string PageText(int32_t page, int32_t bar) {
  return "page " + std::to_string(page + 1) + " sheet " + std::to_string(bar + 1);
}

class TOutputTestReport : public TKyPrintComponent {
public:
  std::vector<int> PagesPerBar{3};
  int Builds = 0;

  TOutputTestReport() { EnsureGuiApplication(); }

  void BuildReport() override {
    TKyPrintComponent::BuildReport();
    ++Builds;
    BeginDoc();
    for (size_t b = 0; b < PagesPerBar.size(); ++b) {
      for (int p = 0; p < PagesPerBar[b]; ++p) {
        NewPage(b > 0 && p == 0);
        TMetafileCanvas& c = *Canvas();
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(PageColor(p, int32_t(b)));
        c.FillRect({100, 200, 600, 900});
        c.Brush().SetStyle(bsClear);
        c.SetFont(TFont("Arial", -24, 0, clBlack));
        c.TextOut(120, 100, PageText(p, int32_t(b)));
      }
    }
    EndDoc();
    SetPageIndex(0);
    SetBarIndex(0);
  }
};

}  // namespace hy::test
