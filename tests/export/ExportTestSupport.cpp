#include "ExportTestSupport.h"

#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

#include "export/KyRCodePage.h"
#include "platform/gdi/Bytes.h"
#include "platform/gdi/EmfFormat.h"
#include "platform/gdi/EmfRecords.h"
#include "platform/gdi/MetafileCanvas.h"

namespace hy::test {

TMetafile DrawGridPage(const TGrid& grid, const TGridStyle& style) {
  TMetafile m;
  m.SetWidth(kPageW);
  m.SetHeight(kPageH);
  TMetafileCanvas c(m);
  c.SetFont(style.Font);
  for (size_t r = 0; r < grid.size(); ++r)
    for (size_t k = 0; k < grid[r].size(); ++k) {
      // as the report draws a cell: the fill, then the text clipped to the cell
      int32_t x = style.Left + int32_t(k) * style.ColumnWidth;
      int32_t y = style.Top + int32_t(r) * style.RowHeight;
      TRect cell{x, y, x + style.ColumnWidth - 4, y + style.RowHeight - 2};
      c.Brush().SetStyle(bsSolid);
      c.Brush().SetColor(style.Background);
      c.FillRect(cell);
      c.Brush().SetStyle(bsClear);
      TRect text = cell.Inflate(-2, -1);
      if (!grid[r][k].empty()) c.DrawText(grid[r][k], text, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
    }
  c.Close();
  return m;
}

TMetafile DrawPage(const std::function<void(TMetafileCanvas&)>& draw) {
  TMetafile m;
  m.SetWidth(kPageW);
  m.SetHeight(kPageH);
  TMetafileCanvas c(m);
  c.SetFont(TFont("Arial", -13, 0, clBlack));
  c.Brush().SetStyle(bsClear);
  draw(c);
  c.Close();
  return m;
}

void MakeSingleByte(TMetafile& picture, const std::function<bool(const std::string&)>& which) {
  std::vector<uint8_t> out;
  EnumerateMetafile(picture, [&](const TEmfRecord& r) {
    if (r.Type == emf::EMR_EXTTEXTOUTW) {
      TEmrExtTextOut t = ReadExtTextOut(r);
      std::string text = t.Text();
      if (FitsAnsi(text) && which(text)) {
        std::string bytes;
        AppendAnsi(bytes, text);
        std::vector<uint8_t> rec(r.Data, r.Data + 76);
        le::TWriter w(rec);
        w.PatchU32(0, emf::EMR_EXTTEXTOUTA);
        w.PatchU32(44, uint32_t(bytes.size()));
        w.PatchU32(48, 76);
        w.Bytes(bytes.data(), bytes.size());
        w.PadTo(4);
        uint32_t offDx = le::U32(r.Data + 72);
        w.PatchU32(72, offDx ? uint32_t(rec.size()) : 0);
        if (offDx) w.Bytes(r.Data + offDx, size_t(t.Chars) * 4);
        w.PatchU32(4, uint32_t(rec.size()));
        out.insert(out.end(), rec.begin(), rec.end());
        return;
      }
    }
    out.insert(out.end(), r.Data, r.Data + r.Size);
  });
  le::TWriter w(out);
  w.PatchU32(48, uint32_t(out.size()));  // the header's byte count
  int32_t width = picture.Width(), height = picture.Height();
  picture.SetData(std::move(out));
  picture.SetWidth(width);
  picture.SetHeight(height);
}

void RunExport(TKyRExport& ex, const std::vector<std::vector<TMetafile>>& pictures,
               const std::vector<int>& selected, const std::string& fileName, bool separate) {
  const int32_t bars = pictures.empty() ? 0 : int32_t(pictures[0].size());
  ex.SetPageWidth(kPageW);
  ex.SetPageHeight(kPageH);
  ex.SetTotalWidth(separate ? kPageW : bars * kPageW);
  ex.SetTotalHeight(separate ? kPageH : int32_t(selected.size()) * kPageH);
  ex.BeginExport();
  for (int32_t p = 0; p < int32_t(pictures.size()); ++p)
    for (int32_t b = 0; b < int32_t(pictures[size_t(p)].size()); ++b) {
      if (std::find(selected.begin(), selected.end(), p + 1) == selected.end()) continue;
      const TMetafile& pic = pictures[size_t(p)][size_t(b)];
      ex.StartPage(p, b);
      if (!separate) {
        ex.SetOffsetX(pic.Width() * b);
        ex.SetOffsetY(pic.Height() * p);
      }
      ex.ProcessPicture(pic);
      ex.EndPage(pic);
      if (separate) ex.SaveToFile(SeparateFileName(fileName, p, b));
    }
  if (!separate) ex.SaveToFile(fileName);
  ex.EndExport();
}

TGrid DropEmpty(const TGrid& grid) {
  size_t cols = 0;
  for (const auto& row : grid) cols = std::max(cols, row.size());
  std::vector<bool> used(cols, false);
  for (const auto& row : grid)
    for (size_t k = 0; k < row.size(); ++k)
      if (!IsBlankText(row[k])) used[k] = true;
  TGrid out;
  for (const auto& row : grid) {
    bool any = false;
    for (const auto& cell : row) any = any || !IsBlankText(cell);
    if (!any) continue;
    std::vector<std::string> r;
    for (size_t k = 0; k < cols; ++k)
      if (used[k]) r.push_back(k < row.size() ? row[k] : std::string());
    out.push_back(r);
  }
  return out;
}

std::string ReadFileBytes(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string DecodeText(const std::string& bytes) {
  if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) return bytes.substr(3);
  return le::Cp1252ToUtf8(bytes);
}

TGrid ReadCsv(const std::string& text) {
  TGrid rows;
  if (text.empty()) return rows;
  std::vector<std::string> row;
  std::string cell;
  size_t i = 0;
  bool quoted = false;
  while (i < text.size()) {
    char ch = text[i];
    if (quoted) {
      if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"') cell += '"', i += 2;
      else if (ch == '"') quoted = false, ++i;
      else cell += ch, ++i;
    } else if (ch == '"' && cell.empty()) {
      quoted = true, ++i;
    } else if (ch == ';') {
      row.push_back(cell), cell.clear(), ++i;
    } else if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      row.push_back(cell), cell.clear(), rows.push_back(row), row.clear(), i += 2;
    } else {
      cell += ch, ++i;
    }
  }
  row.push_back(cell);
  rows.push_back(row);
  return rows;
}

bool HavePython() {
  return std::system("python3 -c 'import html.parser, xml.etree' >/dev/null 2>&1") == 0;
}

TGrid ReadWithPython(const std::string& mode, const std::string& fileName) {
  std::string out = fileName + "." + mode + ".json";
  std::string cmd =
      "python3 '" EXPORT_TEST_DIR "/read_cells.py' " + mode + " '" + fileName + "' > '" + out + "'";
  if (std::system(cmd.c_str()) != 0) throw std::runtime_error("the reader refused " + fileName);
  QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(ReadFileBytes(out)));
  TGrid grid;
  for (const QJsonValue& row : doc.array()) {
    std::vector<std::string> r;
    for (const QJsonValue& cell : row.toArray()) r.push_back(cell.toString().toStdString());
    grid.push_back(r);
  }
  return grid;
}

std::string TestDir(const std::string& name) {
  auto dir = std::filesystem::temp_directory_path() /
             ("hy_export_test_" + std::to_string(::getpid())) / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

}  // namespace hy::test

namespace {

// The test files go when the run ends.
class TRemoveTestFiles : public ::testing::Environment {
public:
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(
        std::filesystem::temp_directory_path() / ("hy_export_test_" + std::to_string(::getpid())),
        ec);
  }
};

const auto* const kRemoveTestFiles = ::testing::AddGlobalTestEnvironment(new TRemoveTestFiles);

}  // namespace
