#include "export/KyRTiff.h"

#include <algorithm>
#include <vector>

#include <QImage>

#include "export/KyRExportFile.h"
#include "export/KyRExprt.h"
#include "platform/gdi/Bitmap.h"

namespace hy {

namespace {

enum TTiffType : uint16_t { ttAscii = 2, ttShort = 3, ttLong = 4, ttRational = 5 };

struct TTiffEntry {
  uint16_t Tag;
  uint16_t Type;
  uint32_t Count;
  uint32_t Value;  // shorts stand in the low two bytes
};

void PutU16(std::string& out, uint16_t v) {
  out += char(v & 0xFF);
  out += char(v >> 8);
}

void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += char((v >> (8 * i)) & 0xFF);
}

void PadEven(std::string& out) {
  if (out.size() % 2) out += '\0';
}

// Width and height as shorts while they fit, as longs beyond.
TTiffEntry SizeEntry(uint16_t tag, uint32_t v) {
  return {tag, uint16_t(v <= 0xFFFF ? ttShort : ttLong), 1, v};
}

// The three kinds of image the bitmap's pixel format gives.
enum class TLayout { Rgb, Palette, Bilevel };

struct TTiffImage {
  TLayout Layout;
  int Bits = 8;              // per sample
  uint64_t RowBytes = 0;     // bytes of one stored row
  QImage Image;              // the pixels in a form rows can be read from
  bool BlackIsZero = true;   // bilevel: which of the two colours 0 is
  std::vector<QRgb> Colors;  // palette
};

TTiffImage Prepare(const TBitmap& bitmap) {
  TTiffImage t;
  const uint64_t w = uint64_t(bitmap.Width());
  const QImage& image = bitmap.Image();
  switch (bitmap.PixelFormat()) {
    case pf1bit: {
      t.Layout = TLayout::Bilevel;
      t.Bits = 1;
      t.Image = image.convertToFormat(QImage::Format_Mono);
      QVector<QRgb> table = t.Image.colorTable();
      t.BlackIsZero = table.size() < 2 || qGray(table[0]) <= qGray(table[1]);
      t.RowBytes = (w + 7) / 8;
      break;
    }
    case pf4bit:
    case pf8bit: {
      t.Layout = TLayout::Palette;
      t.Image = image.convertToFormat(QImage::Format_Indexed8);
      QVector<QRgb> table = t.Image.colorTable();
      t.Bits = bitmap.PixelFormat() == pf4bit && table.size() <= 16 ? 4 : 8;
      t.Colors.assign(table.begin(), table.end());
      t.RowBytes = (w * uint64_t(t.Bits) + 7) / 8;
      break;
    }
    default:
      t.Layout = TLayout::Rgb;
      t.Image = image;
      t.RowBytes = w * 3;
      break;
  }
  return t;
}

// Rows [y, y + n) as stored in the file.
void AppendRows(std::string& out, const TTiffImage& t, int y, int n) {
  if (t.Layout == TLayout::Rgb) {
    QImage rows = t.Image.copy(0, y, t.Image.width(), n).convertToFormat(QImage::Format_RGB888);
    for (int r = 0; r < n; ++r)
      out.append(reinterpret_cast<const char*>(rows.constScanLine(r)), size_t(t.RowBytes));
    return;
  }
  for (int r = y; r < y + n; ++r) {
    const uchar* line = t.Image.constScanLine(r);
    if (t.Bits == 4) {
      for (int x = 0; x < t.Image.width(); x += 2) {
        uint8_t hi = line[x] & 15, lo = x + 1 < t.Image.width() ? line[x + 1] & 15 : 0;
        out += char((hi << 4) | lo);
      }
    } else {  // 8-bit indexes and 1-bit rows are stored as Qt holds them
      out.append(reinterpret_cast<const char*>(line), size_t(t.RowBytes));
    }
  }
}

}  // namespace

void WriteTiffFile(const TBitmap& bitmap, const std::string& fileName) {
  if (bitmap.Empty()) throw EKyRExportError("There is no picture to write to \"" + fileName + "\"");
  const TTiffImage t = Prepare(bitmap);
  const uint32_t width = uint32_t(bitmap.Width()), height = uint32_t(bitmap.Height());
  const uint64_t stripBytes = t.RowBytes * height;
  if (stripBytes > 0xFFFF0000ull)
    throw EKyRExportError("The picture is too large for a TIFF file: \"" + fileName + "\"");

  std::string head;
  head += "II";
  PutU16(head, 42);
  PutU32(head, 0);  // directory offset, set below
  uint32_t colorMapAt = 0, colorMapCount = 0;
  if (t.Layout == TLayout::Palette) {
    // Red, green, blue; each a full table of 2^bits 16-bit values.
    colorMapAt = uint32_t(head.size());
    const size_t entries = size_t(1) << t.Bits;
    colorMapCount = uint32_t(3 * entries);
    for (int shift : {16, 8, 0})
      for (size_t i = 0; i < entries; ++i)
        PutU16(head, i < t.Colors.size() ? uint16_t(((t.Colors[i] >> shift) & 0xFF) * 0x101) : 0);
  }
  const uint32_t xResAt = uint32_t(head.size());
  PutU32(head, 877), PutU32(head, 10);
  const uint32_t yResAt = uint32_t(head.size());
  PutU32(head, 877), PutU32(head, 10);
  uint32_t bitsAt = 0;
  if (t.Layout == TLayout::Rgb) {
    bitsAt = uint32_t(head.size());
    PutU16(head, 8), PutU16(head, 8), PutU16(head, 8);
  }
  const uint32_t softwareAt = uint32_t(head.size());
  head.append(kTiffSoftware, sizeof kTiffSoftware);  // with its null byte
  PadEven(head);
  const uint32_t pixelsAt = uint32_t(head.size());
  const uint32_t directoryAt = uint32_t(pixelsAt + stripBytes + (stripBytes % 2));
  head[4] = char(directoryAt & 0xFF), head[5] = char((directoryAt >> 8) & 0xFF);
  head[6] = char((directoryAt >> 16) & 0xFF), head[7] = char(directoryAt >> 24);

  std::vector<TTiffEntry> entries = {
      {254, ttLong, 1, 0}, SizeEntry(256, width), SizeEntry(257, height)};
  switch (t.Layout) {
    case TLayout::Rgb: entries.push_back({258, ttShort, 3, bitsAt}); break;
    case TLayout::Palette: entries.push_back({258, ttShort, 1, uint32_t(t.Bits)}); break;
    case TLayout::Bilevel: entries.push_back({258, ttShort, 1, 1}); break;
  }
  entries.push_back({259, ttShort, 1, 1});
  const uint32_t photometric = t.Layout == TLayout::Rgb       ? 2
                               : t.Layout == TLayout::Palette ? 3
                               : t.BlackIsZero                ? 1
                                                              : 0;
  entries.push_back({262, ttShort, 1, photometric});
  entries.push_back({273, ttLong, 1, pixelsAt});
  entries.push_back({277, ttShort, 1, t.Layout == TLayout::Rgb ? 3u : 1u});
  entries.push_back({278, ttLong, 1, height});
  entries.push_back({279, ttLong, 1, uint32_t(stripBytes)});
  entries.push_back({282, ttRational, 1, xResAt});
  entries.push_back({283, ttRational, 1, yResAt});
  if (t.Layout == TLayout::Rgb) entries.push_back({284, ttShort, 1, 1});
  entries.push_back({296, ttShort, 1, 2});
  entries.push_back({305, ttAscii, uint32_t(sizeof kTiffSoftware), softwareAt});
  if (t.Layout == TLayout::Palette) entries.push_back({320, ttShort, colorMapCount, colorMapAt});

  TExportFile file(fileName);
  file.Write(head);
  std::string rows;
  const int kRowsAtOnce = 256;
  for (int y = 0; y < int(height); y += kRowsAtOnce) {
    rows.clear();
    AppendRows(rows, t, y, std::min(kRowsAtOnce, int(height) - y));
    file.Write(rows);
  }
  std::string directory;
  if (stripBytes % 2) directory += '\0';
  PutU16(directory, uint16_t(entries.size()));
  for (const TTiffEntry& e : entries) {
    PutU16(directory, e.Tag);
    PutU16(directory, e.Type);
    PutU32(directory, e.Count);
    PutU32(directory, e.Value);  // a short in the low two bytes
  }
  PutU32(directory, 0);
  file.Write(directory);
  file.Commit();
}

}  // namespace hy
