// Pages drawn like the report draws them, the export driver as the report
// runs it, and readers of the written files for the round-trip tests.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "export/KyRExprt.h"
#include "platform/gdi/Colors.h"
#include "platform/gdi/Fonts.h"
#include "platform/gdi/Metafile.h"

namespace hy {
class TMetafileCanvas;
}

namespace hy::test {

using TGrid = std::vector<std::vector<std::string>>;

struct TGridStyle {
  int32_t Left = 30;
  int32_t Top = 40;
  int32_t ColumnWidth = 90;
  int32_t RowHeight = 20;
  TFont Font = TFont("Arial", -13, 0, clBlack);
  TColor Background = clWhite;
};

constexpr int32_t kPageW = 794;
constexpr int32_t kPageH = 1123;

// A page holding `grid` cell by cell, each cell filled in the background
// colour and its text drawn into it (empty cells are filled only).
TMetafile DrawGridPage(const TGrid& grid, const TGridStyle& style = {});

// A page drawn by `draw` on a canvas with 10 pt black Arial and a clear brush.
TMetafile DrawPage(const std::function<void(TMetafileCanvas&)>& draw);

// Rewrites the wide text records whose text `which` selects (and the code
// page holds) as single-byte text records.
void MakeSingleByte(TMetafile& picture, const std::function<bool(const std::string&)>& which);

// The report's export driver: pictures[page][bar], the 1-based pages chosen.
void RunExport(TKyRExport& exporter, const std::vector<std::vector<TMetafile>>& pictures,
               const std::vector<int>& selected, const std::string& fileName, bool separate);

// The grid without the rows and columns that hold no text.
TGrid DropEmpty(const TGrid& grid);

std::string ReadFileBytes(const std::string& fileName);
// Code page 1252, or UTF-8 after a byte-order mark.
std::string DecodeText(const std::string& bytes);
// RFC 4180 with ";" as the separator; rows end with CR LF.
TGrid ReadCsv(const std::string& text);
// Cells read back by Python's html.parser ("html") or xml.etree ("xml").
TGrid ReadWithPython(const std::string& mode, const std::string& fileName);
bool HavePython();

// A fresh empty folder for one test's files.
std::string TestDir(const std::string& name);

}  // namespace hy::test
