// The record layouts against every record the canvas writes: decoding a
// record's fixed part and encoding it again gives its bytes back, the views
// agree with the layouts' named fields, and the chain check uses the
// layouts' sizes. And the record scope that writes them.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>

#include "SamplePage.h"
#include "platform/gdi/EmfLayout.h"

namespace hy {
namespace {

using namespace emf;

// Re-encodes the layout L found at `offset` of the record; answers whether
// the bytes came back unchanged.
template <class L>
bool RoundTrips(const TEmfRecord& r, uint32_t offset = 8) {
  L fields = offset == 8 ? DecodeRecord<L>(r) : DecodePart<L>(r, offset, "the part");
  std::vector<uint8_t> again;
  le::TWriter w(again);
  EncodeFields(w, fields);
  return again.size() == LayoutBytes<L>() && offset + again.size() <= r.Size &&
         std::equal(again.begin(), again.end(), r.Data + offset);
}

template <class L>
void ExpectLayout(const TEmfRecord& r) {
  EXPECT_TRUE(RoundTrips<L>(r)) << RecordName(r.Type) << " at " << r.Offset;
  EXPECT_EQ(MinRecordSize(r.Type), RecordSize<L>()) << RecordName(r.Type);
}

TEST(EmfLayout, EveryRecordTheCanvasWritesComesBackFromItsLayout) {
  std::set<uint32_t> types;
  for (const TMetafile& page : test::RecordEveryCanvasCall()) {
    EnumerateMetafile(page, [&](const TEmfRecord& r) {
      types.insert(r.Type);
      switch (r.Type) {
        case EMR_HEADER: {
          ExpectLayout<THeaderFields>(r);
          EXPECT_TRUE(RoundTrips<THeaderExtensionFields>(r, kHeaderSizeBase));
          THeaderFields f = DecodeRecord<THeaderFields>(r);
          TEmfHeader h = ReadHeader(r);
          EXPECT_EQ(f.Frame, h.Frame);
          EXPECT_EQ(f.Records, page.RecordCount());
          EXPECT_EQ(f.Bytes, page.Data().size());
          break;
        }
        case EMR_EOF: ExpectLayout<TEofFields>(r); break;
        case EMR_SELECTOBJECT:
        case EMR_DELETEOBJECT:
        case EMR_SETTEXTCOLOR:
        case EMR_SETBKCOLOR:
        case EMR_SETBKMODE:
        case EMR_SETTEXTALIGN:
        case EMR_RESTOREDC:
          ExpectLayout<TValueFields>(r);
          EXPECT_EQ(DecodeRecord<TValueFields>(r).Value, ReadValue(r));
          break;
        case EMR_SAVEDC: EXPECT_EQ(r.Size, 8u); break;
        case EMR_MOVETOEX:
        case EMR_LINETO: ExpectLayout<TPointFields>(r); break;
        case EMR_RECTANGLE:
        case EMR_ELLIPSE: ExpectLayout<TBoxFields>(r); break;
        case EMR_CREATEPEN: ExpectLayout<TCreatePenFields>(r); break;
        case EMR_CREATEBRUSHINDIRECT: ExpectLayout<TCreateBrushFields>(r); break;
        case EMR_EXTCREATEFONTINDIRECTW: {
          ExpectLayout<TCreateFontFields>(r);
          EXPECT_EQ(r.Size, TCreateFontFields::kPanoseRecordSize);
          TCreateFontFields f = DecodeRecord<TCreateFontFields>(r);
          EXPECT_EQ(f.Height, ReadCreateFont(r).LogFont.Height);
          break;
        }
        case EMR_EXTTEXTOUTW: {
          EXPECT_TRUE(RoundTrips<TExtTextOutFields>(r));
          EXPECT_TRUE(RoundTrips<TTextRectFields>(r, RecordSize<TExtTextOutFields>()));
          TExtTextOutFields f = DecodeRecord<TExtTextOutFields>(r);
          TEmrExtTextOut t = ReadExtTextOut(r);
          EXPECT_EQ(f.StringOffset, kTextStringOffset);
          EXPECT_EQ(f.Reference, t.Reference);
          EXPECT_EQ(f.Chars, t.Chars);
          EXPECT_EQ(t.StringBytes(), r.Data + kTextStringOffset);
          break;
        }
        case EMR_BITBLT: {
          ExpectLayout<TBitBltFields>(r);
          TBitBltFields f = DecodeRecord<TBitBltFields>(r);
          TEmrBitBlt b = ReadBitBlt(r);
          EXPECT_EQ(f.CxDest, b.CxDest);
          EXPECT_EQ(f.Rop, b.Rop);
          break;
        }
        case EMR_STRETCHDIBITS: {
          ExpectLayout<TStretchDIBitsFields>(r);
          TStretchDIBitsFields f = DecodeRecord<TStretchDIBitsFields>(r);
          TEmrStretchDIBits d = ReadStretchDIBits(r);
          EXPECT_EQ(r.Data + f.BitsOffset, d.Source.Bits);
          EXPECT_EQ(f.BitsSize, d.Source.BitsSize);
          EXPECT_EQ(f.CxDest, d.CxDest);
          break;
        }
        default: ADD_FAILURE() << "no layout checked for " << RecordName(r.Type); break;
      }
    });
  }
  EXPECT_EQ(types.size(), 20u);  // the pages use every kind the canvas writes
}

TEST(EmfLayout, AScopeClosesItsRecordAndDropsAHalfWrittenOne) {
  std::vector<uint8_t> buf{1, 2, 3, 4};
  uint32_t count = 0;
  {
    TEmfRecordScope rec(buf, EMR_GDICOMMENT, &count);
    rec.Put(TValueFields{5});
    rec.Out().U8(0xAB);  // padded to four bytes when the scope ends
    EXPECT_EQ(rec.Written(), 13u);
  }
  ASSERT_EQ(buf.size(), 4u + 16u);
  EXPECT_EQ(le::U32(buf.data() + 4), EMR_GDICOMMENT);
  EXPECT_EQ(le::U32(buf.data() + 8), 16u);
  EXPECT_EQ(le::U32(buf.data() + 12), 5u);
  EXPECT_EQ(buf[16], 0xAB);
  EXPECT_EQ(count, 1u);

  try {
    TEmfRecordScope rec(buf, EMR_RECTANGLE, &count);
    rec.Put(TBoxFields{{1, 2, 3, 4}});
    throw std::runtime_error("drawing failed half-way");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(buf.size(), 20u);  // the half-written record is gone
  EXPECT_EQ(count, 1u);
}

TEST(EmfLayout, ARecordShorterThanItsLayoutIsRefused) {
  // a pen record with a brush's body: four bytes short of a pen
  std::vector<uint8_t> buf;
  { TEmfRecordScope(buf, EMR_CREATEPEN).Put(TCreateBrushFields{1, 0, 0, 0}); }
  TEmfRecord r{EMR_CREATEPEN, uint32_t(buf.size()), buf.data(), 0, 3};
  EXPECT_THROW(DecodeRecord<TCreatePenFields>(r), EEmfError);
  EXPECT_THROW(ReadCreatePen(r), EEmfError);
  EXPECT_NO_THROW(DecodeRecord<TCreateBrushFields>(r));
  try {
    DecodePart<TRegionHeaderFields>(r, 16, "the region");
    ADD_FAILURE() << "a part past the record was read";
  } catch (const EEmfError& e) {
    EXPECT_NE(std::string(e.what()).find("the region of record 3 (EMR_CREATEPEN)"),
              std::string::npos)
        << e.what();
  }
}

}  // namespace
}  // namespace hy
