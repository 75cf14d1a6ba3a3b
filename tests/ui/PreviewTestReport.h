// A report of chosen size for the preview tests: `bars` sheets of `pages`
// pages, each page a small table whose texts name their page and sheet,
// plus the texts a test asks for on chosen pages.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/gdi/MetafileCanvas.h"
#include "report/PrintKy.h"

namespace hy::test {

class TPreviewTestReport : public TKyPrintComponent {
public:
  TPreviewTestReport(int bars, int pages) : bars_(bars), pages_(pages) {
    PrinterSetting().SetPaperSizeWidth(794);
    PrinterSetting().SetPaperSizeHeight(1123);
    KyProperty().SetTitle("Quarterly sales");
  }

  // Texts drawn one below the other on page `page` of bar `bar` (0-based).
  std::map<std::pair<int, int>, std::vector<std::string>> Texts;

  void BuildReport() override {
    TKyPrintComponent::BuildReport();
    BeginDoc();
    for (int bar = 0; bar < bars_; ++bar)
      for (int page = 0; page < pages_; ++page) {
        NewPage(page == 0 && bar > 0);
        TMetafileCanvas& c = *Canvas();
        c.SetFont(TFont("Arial", -13, 0, clBlack));
        c.Brush().SetStyle(bsClear);
        c.TextOut(60, 40,
                  "Sheet " + std::to_string(bar + 1) + ", page " + std::to_string(page + 1));
        int y = 80;
        for (const std::string& text : Texts[{page, bar}]) {
          c.TextOut(60, y, text);
          y += 24;
        }
        for (int row = 0; row < 30; ++row) {
          c.MoveTo(60, 300 + row * 20);
          c.LineTo(700, 300 + row * 20);
          c.TextOut(64, 302 + row * 20, "Row " + std::to_string(row + 1));
          c.TextOut(400, 302 + row * 20, std::to_string((row + 1) * (page + 1) * 37));
        }
      }
    EndDoc();
  }

private:
  int bars_;
  int pages_;
};

}  // namespace hy::test
