// Thousands of damaged pictures through the reader, the typed views, the
// player and the old-form writer. Built with AddressSanitizer and
// UndefinedBehaviorSanitizer: any read outside the data or any signed
// overflow fails the run. A damaged picture may be refused with EGdiError;
// anything else (crash, other exception) is a fault.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include <QPainter>

#include "PictureBuilder.h"
#include "SamplePage.h"
#include "platform/gdi/Bytes.h"
#include "platform/gdi/Dib.h"
#include "platform/gdi/EmfPlayer.h"
#include "platform/gdi/EmfRecords.h"
#include "platform/gdi/MetafileCanvas.h"
#include "platform/gdi/WmfWriter.h"

namespace hy {
namespace {

using namespace emf;

// Everything a reader of pictures does with one input. Answers whether the
// record chain was sound (so the views and the player saw the records).
bool Exercise(const std::vector<uint8_t>& bytes, QImage& target) {
  bool sound = true;
  try {
    EnumerateMetafile(bytes.data(), bytes.size(), [](const TEmfRecord& r) {
      try {
        switch (r.Type) {
          case EMR_HEADER: ReadHeader(r).Creator(); break;
          case EMR_EXTTEXTOUTW:
          case EMR_EXTTEXTOUTA: {
            TEmrExtTextOut t = ReadExtTextOut(r);
            std::string s = t.Text();
            for (uint32_t i = 0; i < t.Chars; ++i) (void)t.Dx(i);
            break;
          }
          case EMR_EXTCREATEFONTINDIRECTW: ReadCreateFont(r).LogFont.ToFont(); break;
          case EMR_STRETCHDIBITS:
          case EMR_BITBLT:
          case EMR_STRETCHBLT: BitmapOfRecord(r); break;
          case EMR_CREATEPEN:
          case EMR_EXTCREATEPEN: ReadCreatePen(r); break;
          case EMR_CREATEBRUSHINDIRECT: ReadCreateBrush(r); break;
          case EMR_POLYLINE16:
          case EMR_POLYGON16: {
            TEmrPoly p = ReadPoly(r);
            for (uint32_t i = 0; i < p.Count; ++i) p.Point(i);
            break;
          }
          default: break;
        }
      } catch (const EGdiError&) {
      }
    });
  } catch (const EGdiError&) {
    sound = false;
  }
  try {
    target.fill(Qt::white);
    QPainter p(&target);
    PlayMetafile(p, bytes.data(), bytes.size(), QRectF(0, 0, target.width(), target.height()));
  } catch (const EGdiError&) {
  }
  try {
    ConvertEmfToWmf(bytes.data(), bytes.size());
  } catch (const EGdiError&) {
  }
  try {
    TMetafile m;
    std::stringstream ss(std::string(bytes.begin(), bytes.end()));
    m.LoadFromStream(ss);
    TMetafile copy;
    TMetafileCanvas c(copy);
    c.StretchDraw({0, 0, 50, 40}, m);
  } catch (const EGdiError&) {
  }
  return sound;
}

class EmfFuzz : public ::testing::Test {
protected:
  void SetUp() override {
    test::TSamplePage page = test::RecordSamplePage();
    seed_ = page.Picture.Data();
    EnumerateMetafile(page.Picture, [&](const TEmfRecord& r) { offsets_.push_back(r.Offset); });
    // a picture holding another one adds the fenced, re-recorded form
    TMetafile outer;
    {
      TMetafileCanvas c(outer);
      c.StretchDraw({10, 10, 310, 210}, page.Picture);
    }
    nested_ = outer.Data();
  }
  std::vector<uint8_t> seed_, nested_;
  std::vector<uint32_t> offsets_;
  std::mt19937 rng_{20240607};
  QImage target_{90, 60, QImage::Format_RGB32};

  uint32_t Rand(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng_); }
  uint32_t Interesting() {
    static const uint32_t values[] = {
        0,      1,      4,      7,          8,           0x7F,        0x80,        0xFF,
        0x7FFF, 0x8000, 0xFFFF, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 0xFFFFFFFCu, 1000000};
    return Rand(3) ? values[Rand(sizeof values / sizeof values[0])] : uint32_t(rng_());
  }
};

TEST_F(EmfFuzz, TruncationsAtEveryRecordAndRandomLengths) {
  for (uint32_t off : offsets_) {
    for (int delta : {0, 4, 8, 13}) {
      std::vector<uint8_t> b(seed_.begin(),
                             seed_.begin() + std::min<long>(long(seed_.size()), long(off) + delta));
      Exercise(b, target_);
    }
  }
  for (int i = 0; i < 300; ++i) {
    std::vector<uint8_t> b(seed_.begin(), seed_.begin() + Rand(uint32_t(seed_.size())));
    // some with the header's byte count made to match the cut
    if (b.size() >= 88 && Rand(2)) le::TWriter(b).PatchU32(48, uint32_t(b.size()));
    Exercise(b, target_);
  }
}

TEST_F(EmfFuzz, CorruptedSizeAndCountFields) {
  int sound = 0;
  for (int i = 0; i < 3000; ++i) {
    std::vector<uint8_t> b = Rand(3) ? seed_ : nested_;
    std::vector<uint32_t> offs;
    EnumerateMetafile(b.data(), b.size(), [&](const TEmfRecord& r) { offs.push_back(r.Offset); });
    uint32_t rec = offs[Rand(uint32_t(offs.size()))];
    uint32_t size = le::U32(b.data() + rec + 4);
    // a field inside the record: its size, or any 32-bit word of its body
    uint32_t field = Rand(4) == 0 ? 4 : 8 + 4 * Rand(std::max<uint32_t>(1, (size - 8) / 4));
    if (rec + field + 4 <= b.size()) le::TWriter(b).PatchU32(rec + field, Interesting());
    if (Rand(4) == 0) le::TWriter(b).PatchU32(Rand(2) ? 48 : 52, Interesting());  // header counts
    sound += Exercise(b, target_);
  }
  EXPECT_GT(sound, 1000);  // most damage is inside bodies: the views and the player meet it
}

TEST_F(EmfFuzz, DamagedBitmapHeadersInsideSoundRecords) {
  std::vector<uint32_t> dibs;
  EnumerateMetafile(seed_.data(), seed_.size(), [&](const TEmfRecord& r) {
    if (r.Type == EMR_STRETCHDIBITS) dibs.push_back(r.Offset);
  });
  ASSERT_FALSE(dibs.empty());
  for (int i = 0; i < 1500; ++i) {
    std::vector<uint8_t> b = seed_;
    uint32_t rec = dibs[Rand(uint32_t(dibs.size()))];
    int fields = 1 + int(Rand(3));
    for (int k = 0; k < fields; ++k) {
      // the record's fixed part (offsets, sizes, source rectangle) and the bitmap header after it
      uint32_t at = rec + 8 + 4 * Rand((80 + 40 - 8) / 4);
      le::TWriter(b).PatchU32(at, Interesting());
    }
    EXPECT_TRUE(Exercise(b, target_));  // the chain stays sound; only the record is damaged
  }
}

TEST_F(EmfFuzz, RandomByteFlipsAndGarbage) {
  int sound = 0;
  for (int i = 0; i < 3000; ++i) {
    std::vector<uint8_t> b = Rand(3) ? seed_ : nested_;
    int flips = 1 + int(Rand(8));
    for (int k = 0; k < flips; ++k) b[Rand(uint32_t(b.size()))] = uint8_t(rng_());
    sound += Exercise(b, target_);
  }
  EXPECT_GT(sound, 1000);
  for (int i = 0; i < 300; ++i) {
    std::vector<uint8_t> b(Rand(2000));
    for (uint8_t& v : b) v = uint8_t(rng_());
    if (b.size() >= 88 && Rand(2)) {  // garbage behind a believable header
      std::copy(seed_.begin(), seed_.begin() + 88, b.begin());
      le::TWriter(b).PatchU32(4, 88);
      le::TWriter(b).PatchU32(48, uint32_t(b.size() & ~3u));
    }
    Exercise(b, target_);
  }
}

// Fields at the edges of their range in records that are otherwise sound:
// every sum and negation on them must stay defined, and a huge clip region
// must play in about the time its rectangles take to read.
TEST_F(EmfFuzz, FieldsAtTheEdgesOfTheirRange) {
  using test::TPictureBuilder;
  const int32_t edges[] = {INT32_MIN, INT32_MIN + 1, -1, 0, 1, INT32_MAX - 1, INT32_MAX};
  std::vector<std::vector<uint8_t>> pictures;

  // text in a font turned by any escapement, under transforms that squeeze or shear it flat
  for (int32_t escapement : edges) {
    for (TXFormFields xf :
         {TXFormFields{}, TXFormFields{0, 0, -10000, 1, 0, 0}, TXFormFields{1, 0, 10000, 1, 0, 0},
          TXFormFields{1e-30f, 0, 0, 1e-30f, 0, 0}}) {
      pictures.push_back(
          TPictureBuilder()
              .Add(EMR_SETWORLDTRANSFORM, xf)
              .Add(EMR_EXTCREATEFONTINDIRECTW, test::FontFields(-400, escapement))
              .Add(EMR_SELECTOBJECT, TValueFields{1})
              .Add(EMR_EXTTEXTOUTW, test::TextFields(10, 40, 2), test::TextTail("Hi"))
              .Finish());
    }
  }
  // bitmaps whose origin plus extent, on either side, runs past 32 bits
  TDib dib = EncodeDib(QImage(2, 2, QImage::Format_RGB32), 24);
  std::vector<uint8_t> tail = dib.Info;
  tail.insert(tail.end(), dib.Bits.begin(), dib.Bits.end());
  for (int32_t a : edges) {
    for (int32_t b : edges) {
      TStretchDIBitsFields d;
      d.XDest = d.XSrc = a;
      d.CxDest = d.CxSrc = b;
      d.YDest = d.YSrc = b;
      d.CyDest = d.CySrc = a;
      d.BmiOffset = RecordSize<TStretchDIBitsFields>();
      d.BmiSize = uint32_t(dib.Info.size());
      d.BitsOffset = d.BmiOffset + d.BmiSize;
      d.BitsSize = uint32_t(dib.Bits.size());
      TStretchBltFields s;
      s.XDest = s.XSrc = a;
      s.CxDest = s.CxSrc = b;
      s.YDest = s.YSrc = a;
      s.CyDest = s.CySrc = b;
      s.Rop = SRCCOPY;
      s.BmiOffset = RecordSize<TStretchBltFields>();
      s.BmiSize = d.BmiSize;
      s.BitsOffset = s.BmiOffset + s.BmiSize;
      s.BitsSize = d.BitsSize;
      pictures.push_back(TPictureBuilder({a, b, b, a})
                             .Add(EMR_STRETCHDIBITS, d, tail)
                             .Add(EMR_STRETCHBLT, s, tail)
                             .Add(EMR_RECTANGLE, TBoxFields{{a, b, b, a}})
                             .Add(EMR_INTERSECTCLIPRECT, TBoxFields{{a, a, b, b}})
                             .Finish());
    }
  }
  // one clip region of 20000 rectangles, and one of rectangles at the edges
  for (uint32_t count : {20000u, 49u}) {
    std::vector<uint8_t> region;
    le::TWriter w(region);
    EncodeFields(w, TRegionHeaderFields{32, 1, count, count * 16, {0, 0, 400, 400}});
    for (uint32_t i = 0; i < count; ++i) {
      int32_t x = int32_t(i % 200) * 2, y = int32_t(i / 200) * 4 + int32_t(i % 2) * 2;
      TRect r = count == 49
                    ? TRect{edges[i % 7], edges[i / 7], edges[(i + 3) % 7], edges[(i / 7 + 5) % 7]}
                    : TRect{x, y, x + 2, y + 2};
      EncodeFields(w, TBoxFields{r});
    }
    TBitBltFields fill;
    fill.CxDest = fill.CyDest = 400;
    fill.Rop = PATCOPY;
    for (uint32_t mode : {RGN_COPY, RGN_AND, RGN_XOR}) {
      pictures.push_back(
          TPictureBuilder({0, 0, PixelsToHiMetric(400), PixelsToHiMetric(400)})
              .Add(EMR_INTERSECTCLIPRECT, TBoxFields{{0, 0, 300, 300}})
              .Add(EMR_EXTSELECTCLIPRGN, TClipRegionFields{uint32_t(region.size()), mode}, region)
              .Add(EMR_BITBLT, fill)
              .Finish());
    }
  }
  for (const std::vector<uint8_t>& b : pictures) EXPECT_TRUE(Exercise(b, target_));
}

TEST_F(EmfFuzz, RecordTypesChanged) {
  int sound = 0;
  for (int i = 0; i < 1500; ++i) {
    std::vector<uint8_t> b = seed_;
    uint32_t rec = offsets_[1 + Rand(uint32_t(offsets_.size() - 2))];  // not the header or the end
    // another type with this record's body: every view meets a body not made for it
    static const uint32_t types[] = {EMR_EXTTEXTOUTW,
                                     EMR_EXTTEXTOUTA,
                                     EMR_STRETCHDIBITS,
                                     EMR_BITBLT,
                                     EMR_STRETCHBLT,
                                     EMR_EXTCREATEFONTINDIRECTW,
                                     EMR_POLYGON16,
                                     EMR_EXTSELECTCLIPRGN,
                                     EMR_RESTOREDC,
                                     EMR_SETWORLDTRANSFORM,
                                     EMR_MODIFYWORLDTRANSFORM,
                                     EMR_SETMAPMODE,
                                     EMR_CREATEPEN,
                                     EMR_EXTCREATEPEN,
                                     EMR_SELECTOBJECT,
                                     EMR_SAVEDC,
                                     EMR_SETWINDOWEXTEX};
    le::TWriter(b).PatchU32(rec, types[Rand(sizeof types / sizeof types[0])]);
    sound += Exercise(b, target_);
  }
  EXPECT_GT(sound, 300);
}

}  // namespace
}  // namespace hy
