// The old metafile form, read back by a small parser written here from the
// published layout, independent of the writer.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "SamplePage.h"
#include "platform/gdi/EmfRecords.h"
#include "platform/gdi/MetafileCanvas.h"
#include "platform/gdi/WmfWriter.h"

namespace hy {
namespace {

struct WmfRecord {
  uint16_t function;
  std::vector<uint8_t> params;
  int16_t Word(size_t i) const { return int16_t(params[2 * i] | (params[2 * i + 1] << 8)); }
  uint32_t Dword(size_t at) const {
    return params[at] | (params[at + 1] << 8) | (params[at + 2] << 16) |
           (uint32_t(params[at + 3]) << 24);
  }
};

struct WmfFile {
  int16_t box[4] = {};
  uint16_t inch = 0;
  uint16_t objects = 0;
  uint32_t maxRecord = 0;
  std::vector<WmfRecord> records;
};

uint16_t W16(const std::vector<uint8_t>& b, size_t at) {
  return uint16_t(b[at] | (b[at + 1] << 8));
}
uint32_t W32(const std::vector<uint8_t>& b, size_t at) {
  return W16(b, at) | (uint32_t(W16(b, at + 2)) << 16);
}

WmfFile Parse(const std::vector<uint8_t>& b) {
  WmfFile f;
  EXPECT_GE(b.size(), 22u + 18u);
  EXPECT_EQ(W32(b, 0), 0x9AC6CDD7u);
  uint16_t sum = 0;
  for (size_t i = 0; i < 20; i += 2) sum ^= W16(b, i);
  EXPECT_EQ(W16(b, 20), sum) << "placeable checksum";
  for (int i = 0; i < 4; ++i) f.box[i] = int16_t(W16(b, 6 + 2 * i));
  f.inch = W16(b, 14);
  const size_t h = 22;
  EXPECT_EQ(W16(b, h), 1);
  EXPECT_EQ(W16(b, h + 2), 9);
  EXPECT_EQ(W16(b, h + 4), 0x0300);
  EXPECT_EQ(W32(b, h + 6) * 2, b.size() - h) << "size in words";
  f.objects = W16(b, h + 10);
  f.maxRecord = W32(b, h + 12);
  uint32_t largest = 0;
  size_t at = h + 18;
  while (at + 6 <= b.size()) {
    uint32_t words = W32(b, at);
    EXPECT_GE(words, 3u);
    EXPECT_LE(at + words * 2, b.size());
    if (words < 3 || at + words * 2 > b.size()) break;
    largest = std::max(largest, words);
    WmfRecord r{W16(b, at + 4),
                std::vector<uint8_t>(b.begin() + long(at + 6), b.begin() + long(at + words * 2))};
    at += words * 2;
    f.records.push_back(std::move(r));
    if (f.records.back().function == 0) break;
  }
  EXPECT_EQ(at, b.size()) << "the end record is last";
  EXPECT_EQ(f.records.back().function, 0);
  EXPECT_EQ(f.maxRecord, largest);
  return f;
}

TEST(Wmf, SamplePageConvertsRecordByRecord) {
  test::TSamplePage page = test::RecordSamplePage();
  std::vector<uint8_t> bytes = page.Picture.ToWmf();
  WmfFile f = Parse(bytes);
  EXPECT_EQ(f.box[0], 0);
  EXPECT_EQ(f.box[2], 600);
  EXPECT_EQ(f.box[3], 400);
  EXPECT_EQ(f.inch, 96);

  // object table as a reader keeps it: lowest free slot on creation
  std::vector<bool> table;
  std::vector<std::string> texts, faces;
  std::vector<int16_t> rectangle, patblt, dib;
  int dibWidth = 0;
  for (const WmfRecord& r : f.records) {
    switch (r.function) {
      case 0x02FA:    // pen
      case 0x02FC:    // brush
      case 0x02FB: {  // font
        size_t i = 0;
        while (i < table.size() && table[i]) ++i;
        if (i == table.size()) table.push_back(true);
        table[i] = true;
        if (r.function == 0x02FB)
          faces.emplace_back(reinterpret_cast<const char*>(r.params.data() + 18));
        break;
      }
      case 0x012D:  // select
        ASSERT_LT(size_t(r.Word(0)), table.size());
        EXPECT_TRUE(table[size_t(r.Word(0))]) << "selecting an empty slot";
        break;
      case 0x01F0:  // delete
        ASSERT_LT(size_t(r.Word(0)), table.size());
        EXPECT_TRUE(table[size_t(r.Word(0))]);
        table[size_t(r.Word(0))] = false;
        break;
      case 0x0A32: {  // text: y, x, length, options, [rect], string, dx
        int16_t len = r.Word(2);
        uint16_t options = uint16_t(r.Word(3));
        size_t str = (options & 6) ? 16 : 8;
        texts.emplace_back(reinterpret_cast<const char*>(r.params.data() + str), size_t(len));
        size_t dx = str + size_t((len + 1) / 2 * 2);
        EXPECT_EQ(r.params.size(), dx + 2 * size_t(len)) << "one advance per character";
        if (texts.size() == 1) {
          EXPECT_EQ(r.Word(0), 20);
          EXPECT_EQ(r.Word(1), 20);
        }
        if (texts.size() == 2) {
          EXPECT_EQ(options, 4);  // clipped
          EXPECT_EQ(std::vector<int16_t>({r.Word(4), r.Word(5), r.Word(6), r.Word(7)}),
                    std::vector<int16_t>({300, 10, 580, 50}));
        }
        break;
      }
      case 0x041B: rectangle = {r.Word(0), r.Word(1), r.Word(2), r.Word(3)}; break;
      case 0x061D: patblt = {r.Word(2), r.Word(3), r.Word(4), r.Word(5)}; break;
      case 0x0F43:
        if (dib.empty()) {
          dib = {r.Word(7), r.Word(8), r.Word(9), r.Word(10)};
          dibWidth = int(r.Dword(22 + 4));
          EXPECT_EQ(r.Dword(0), 0x00CC0020u);
        }
        break;
      default: break;
    }
  }
  EXPECT_LE(table.size(), f.objects);
  EXPECT_EQ(texts, page.Texts);
  EXPECT_EQ(faces, (std::vector<std::string>{"Arial", "Times New Roman", "Courier New"}));
  EXPECT_EQ(rectangle, (std::vector<int16_t>{200, 220, 120, 20}));  // bottom, right, top, left
  EXPECT_EQ(patblt, (std::vector<int16_t>{80, 100, 120, 300}));     // height, width, y, x
  EXPECT_EQ(dib, (std::vector<int16_t>{30, 40, 120, 450}));
  EXPECT_EQ(dibWidth, 40);
}

TEST(Wmf, TextOutsideTheCodePageBecomesQuestionMarksAndStockObjectsAreCreated) {
  test::EnsureApp();
  TMetafile m;
  m.SetWidth(100);
  m.SetHeight(50);
  {
    TMetafileCanvas c(m);
    c.Brush().SetStyle(bsClear);  // a stock NULL_BRUSH in the enhanced form
    c.Rectangle(1, 1, 20, 20);
    c.TextOut(0, 0, "\xCE\xA9 \xC3\xBC \xE2\x82\xAC");  // Omega, u-umlaut, euro sign
  }
  m.SetEnhanced(false);
  std::stringstream ss;
  m.SaveToStream(ss);
  std::string s = ss.str();
  WmfFile f = Parse(std::vector<uint8_t>(s.begin(), s.end()));
  bool nullBrush = false;
  std::string text;
  for (const WmfRecord& r : f.records) {
    if (r.function == 0x02FC && r.Word(0) == 1) nullBrush = true;  // BS_NULL
    if (r.function == 0x0A32)
      text.assign(reinterpret_cast<const char*>(r.params.data() + 8), size_t(r.Word(2)));
  }
  EXPECT_TRUE(nullBrush);
  EXPECT_EQ(text, "? \xFC \x80");
}

}  // namespace
}  // namespace hy
