#include <gtest/gtest.h>

#include <QColor>
#include <QFontInfo>

#include "platform/gdi/Colors.h"
#include "platform/gdi/Fonts.h"
#include "platform/gdi/TextLayout.h"

namespace hy {
namespace {

TEST(Colors, SystemColoursResolveThroughTheClassicTable) {
  EXPECT_EQ(ColorToRGB(clBtnFace), RGBColor(192, 192, 192));
  EXPECT_EQ(ColorToRGB(clWindow), clWhite);
  EXPECT_EQ(ColorToRGB(clWindowText), clBlack);
  EXPECT_EQ(ColorToRGB(clActiveCaption), RGBColor(0, 0, 128));
  EXPECT_EQ(ColorToRGB(clInfoBk), RGBColor(255, 255, 225));
  EXPECT_EQ(ColorToRGB(clHighlightText), clWhite);
  EXPECT_EQ(clBtnFace, 0xFF00000Fu);
  EXPECT_EQ(clWindow, 0xFF000005u);
  // an index the table does not hold reads black instead of garbage
  EXPECT_EQ(ColorToRGB(clSystemColor + 200), clBlack);
}

TEST(Colors, PlainColoursKeepTheirBytesAndDropTheHighByte) {
  EXPECT_EQ(ColorToRGB(RGBColor(1, 2, 3)), 0x030201u);
  EXPECT_EQ(ColorToRGB(clNone), clWhite);
  EXPECT_EQ(ColorToRGB(clDefault), clBlack);
  QColor q = ToQColor(RGBColor(10, 20, 30));
  EXPECT_EQ(q.red(), 10);
  EXPECT_EQ(q.green(), 20);
  EXPECT_EQ(q.blue(), 30);
  EXPECT_EQ(FromQColor(q), RGBColor(10, 20, 30));
  EXPECT_EQ(ToQColor(clInfoBk), QColor(255, 255, 225));
  EXPECT_STREQ(ColorName(clBtnFace), "clBtnFace");
  EXPECT_STREQ(ColorName(0x00123456), "$00123456");
}

TEST(Fonts, MissingFacesMapToInstalledOnes) {
  EXPECT_EQ(MapFontFace("MS Sans Serif"), "Liberation Sans");
  EXPECT_EQ(MapFontFace("arial"), "Liberation Sans");
  EXPECT_EQ(MapFontFace("Times New Roman"), "Liberation Serif");
  EXPECT_EQ(MapFontFace("Courier New"), "Liberation Mono");
  EXPECT_EQ(MapFontFace(""), "Liberation Sans");
  EXPECT_EQ(MapFontFace("DejaVu Sans"), "DejaVu Sans");
  // the mapped faces are really there: Qt does not fall back to another
  for (const char* face : {"MS Sans Serif", "Times New Roman", "Courier New", "Verdana"}) {
    QFontInfo info(ToQFont(TFont(face, -12)));
    EXPECT_EQ(info.family().toStdString(), MapFontFace(face)) << face;
  }
}

TEST(Fonts, HeightSizeAndChangeNotification) {
  TFont f;
  EXPECT_EQ(f.Name(), "MS Sans Serif");
  EXPECT_EQ(f.Height(), -11);
  EXPECT_EQ(f.Size(), 8);
  int changes = 0;
  f.SetOnChange([&] { ++changes; });
  f.SetSize(12);
  EXPECT_EQ(f.Height(), -16);
  f.SetSize(12);  // no change, no event
  f.SetStyle(fsBold | fsItalic);
  EXPECT_EQ(changes, 2);
  TFont copy(f);
  EXPECT_EQ(copy, f);
  copy.SetColor(clRed);
  EXPECT_TRUE(copy.SameShape(f));
  EXPECT_FALSE(copy == f);
  EXPECT_EQ(changes, 2);  // the copy has no handler of its own
}

TEST(Fonts, MetricsAddUpAndHeightsConvert) {
  TTextMetrics m(TFont("Arial", -20));
  std::vector<int32_t> dx;
  std::u16string text = u"Width of this text";
  int32_t total = m.Advances(text, dx);
  int32_t sum = 0;
  for (int32_t a : dx) sum += a;
  EXPECT_EQ(sum, total);
  EXPECT_EQ(total, m.TextWidth(std::string_view("Width of this text")));
  EXPECT_GT(total, 100);
  EXPECT_EQ(m.LineHeight(), m.Ascent() + m.Descent());
  EXPECT_GE(m.LineHeight(), 20);  // a 20-pixel character height needs at least that much line
  // a positive height is the cell height: ascent + descent
  TTextMetrics cell(TFont("Arial", 30));
  EXPECT_NEAR(cell.LineHeight(), 30, 1);
  // a surrogate pair gets one advance and a zero
  m.Advances(u"a\U0001F600b", dx);
  ASSERT_EQ(dx.size(), 4u);
  EXPECT_EQ(dx[2], 0);
  EXPECT_EQ(TextHeight(TFont("Arial", -20)), m.LineHeight());
}

class LayoutTest : public ::testing::Test {
protected:
  TTextMetrics mono{TFont("Courier New", -10)};  // 6 px per character
  std::vector<std::u16string> Lines(const TTextLayout& l) {
    std::vector<std::u16string> out;
    for (const TTextLine& line : l.Lines) out.push_back(line.Text);
    return out;
  }
};

TEST_F(LayoutTest, WordBreakKeepsWordsWholeAndDropsBreakingBlanks) {
  ASSERT_EQ(mono.TextWidth(std::u16string_view(u"abcde")), 30);
  TTextLayout l = LayoutText(mono, u"aaa bbb ccc dddddddddddd e", 45, DT_WORDBREAK);
  EXPECT_EQ(Lines(l), (std::vector<std::u16string>{u"aaa bbb", u"ccc", u"dddddddddddd", u"e"}));
  EXPECT_EQ(l.Width, 72);  // the overlong word
  EXPECT_EQ(l.Height, 4 * mono.LineHeight());
  // without word break the line stays whole; line feeds still break
  l = LayoutText(mono, u"aaa bbb\r\nccc\nddd", 10, DT_LEFT);
  EXPECT_EQ(Lines(l), (std::vector<std::u16string>{u"aaa bbb", u"ccc", u"ddd"}));
  EXPECT_TRUE(LayoutText(mono, u"", 100, DT_WORDBREAK).Lines.empty());
}

TEST_F(LayoutTest, PrefixesTabsAndSingleLine) {
  EXPECT_EQ(Lines(LayoutText(mono, u"&File && more", 200, 0)),
            (std::vector<std::u16string>{u"File & more"}));
  EXPECT_EQ(Lines(LayoutText(mono, u"&File", 200, DT_NOPREFIX)),
            (std::vector<std::u16string>{u"&File"}));
  TTextLayout tabs = LayoutText(mono, u"ab\tc", 500, DT_EXPANDTABS);
  ASSERT_EQ(tabs.Lines.size(), 1u);
  int32_t tab = 8 * mono.AveCharWidth();
  EXPECT_EQ(tabs.Lines[0].Dx[2], tab - 12);  // to the next stop
  EXPECT_EQ(tabs.Lines[0].Width, tab + 6);
  EXPECT_EQ(LayoutText(mono, u"a\nb", 500, DT_SINGLELINE).Lines.size(), 1u);
}

TEST_F(LayoutTest, PlacementAndResult) {
  TTextLayout l = LayoutText(mono, u"abcd\nab", 100, 0);
  TRect r{10, 20, 110, 120};
  PlaceLines(l, r, DT_RIGHT);
  EXPECT_EQ(l.Lines[0].X, 110 - 24);
  EXPECT_EQ(l.Lines[1].X, 110 - 12);
  EXPECT_EQ(l.Lines[1].Y, 20 + mono.LineHeight());
  PlaceLines(l, r, DT_CENTER);
  EXPECT_EQ(l.Lines[0].X, 10 + (100 - 24) / 2);
  EXPECT_EQ(DrawTextResult(l, r, DT_CENTER), 2 * mono.LineHeight());
  TTextLayout one = LayoutText(mono, u"abc", 100, DT_SINGLELINE);
  PlaceLines(one, r, DT_SINGLELINE | DT_BOTTOM);
  EXPECT_EQ(one.Lines[0].Y, 120 - mono.LineHeight());
  EXPECT_EQ(DrawTextResult(one, r, DT_SINGLELINE | DT_BOTTOM), 100);
}

}  // namespace
}  // namespace hy
