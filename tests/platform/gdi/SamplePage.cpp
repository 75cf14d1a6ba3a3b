#include "SamplePage.h"

#include "platform/gdi/GuiApp.h"
#include "platform/gdi/MetafileCanvas.h"

namespace hy::test {

void EnsureApp() { EnsureGuiApplication(); }

TBitmap SampleBitmap(TPixelFormat format) {
  TBitmap bmp(40, 30, pf24bit);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) bmp.SetPixel(x, y, y == 0 ? clLime : x < 20 ? clRed : clBlue);
  bmp.SetPixelFormat(format);
  return bmp;
}

TSamplePage RecordSamplePage() {
  EnsureApp();
  TSamplePage page;
  page.Picture.SetWidth(kPageWidth);
  page.Picture.SetHeight(kPageHeight);
  {
    TMetafileCanvas c(page.Picture, "HyCube tests", "Sample page");
    c.Brush().SetStyle(bsClear);
    c.SetFont(TFont("Arial", -16, fsBold, clRed));
    c.TextOut(20, 20, "Hello Report");
    page.Texts.push_back("Hello Report");

    c.SetFont(TFont("Times New Roman", -20, fsItalic, clBlue));
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(clYellow);
    TRect title{300, 10, 580, 50};
    c.DrawText("Centred title", title, DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    page.Texts.push_back("Centred title");

    c.Pen().SetColor(clBlack);
    c.Pen().SetWidth(1);
    c.MoveTo(10, 100);
    c.LineTo(590, 100);

    c.Pen().SetColor(clGreen);
    c.Brush().SetColor(clAqua);
    c.Rectangle(20, 120, 220, 200);

    c.Brush().SetColor(clRed);
    c.FillRect({300, 120, 400, 200});

    c.Pen().SetColor(clNavy);
    c.Brush().SetColor(clFuchsia);
    c.Ellipse(240, 120, 290, 200);

    TBitmap bmp = SampleBitmap();
    c.Draw(450, 120, bmp);
    c.StretchDraw({450, 250, 530, 310}, bmp);

    c.SetFont(TFont("Courier New", -13, 0, clWindowText));
    c.Brush().SetColor(clWhite);
    // Liberation Mono advances 0.6 em: 20 characters of 13 px fit in 160 px, 21 do not.
    TRect para{20, 220, 180, 380};
    c.DrawText("The quick brown fox jumps over the lazy dog", para,
               DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    page.Texts.insert(page.Texts.end(), {"The quick brown fox", "jumps over the lazy", "dog"});
  }
  return page;
}

std::vector<TMetafile> RecordEveryCanvasCall() {
  using namespace emf;
  std::vector<TMetafile> pages;
  TSamplePage sample = RecordSamplePage();
  pages.push_back(sample.Picture);

  TMetafile shapes;  // no size: the frame comes from the drawn bounds
  {
    TMetafileCanvas c(shapes, "HyCube tests", "Every call");
    const TPenStyle pens[] = {psSolid,      psDash,  psDot,        psDashDot,
                              psDashDotDot, psClear, psInsideFrame};
    const TBrushStyle brushes[] = {bsSolid,     bsClear,     bsHorizontal, bsVertical,
                                   bsFDiagonal, bsBDiagonal, bsCross,      bsDiagCross};
    for (int i = 0; i < 16; ++i) {  // more pens and brushes than the canvas keeps alive
      c.Pen().SetStyle(pens[i % 7]);
      c.Pen().SetWidth(1 + i % 3);
      c.Pen().SetColor(TColor(0x102030 * (i + 1)) & 0xFFFFFF);
      c.Brush().SetStyle(brushes[i % 8]);
      c.Brush().SetColor(TColor(0x302010 * (i + 1)) & 0xFFFFFF);
      c.Rectangle(10 + 20 * i, 10, 28 + 20 * i, 40);
      c.Ellipse(10 + 20 * i, 50, 28 + 20 * i, 70);
      c.MoveTo(10 + 20 * i, 80);
      c.LineTo(28 + 20 * i, 95);
    }
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(clTeal);
    c.FrameRect({5, 100, 200, 160});
    c.FillRect({210, 100, 260, 160});
    c.SetFont(TFont("Arial", -12, fsUnderline | fsStrikeOut, clMaroon));
    for (uint32_t align : {TA_LEFT | TA_TOP, TA_RIGHT | TA_BOTTOM, TA_CENTER | TA_BASELINE}) {
      c.SetTextAlign(align);
      c.TextOut(150, 180, "Aligned \xC3\xA4\xE2\x82\xAC");
    }
    c.SetTextAlign(TA_LEFT | TA_TOP);
    c.TextRect({10, 200, 90, 215}, 12, 201, "clipped text that runs on");
    c.Brush().SetStyle(bsClear);
    c.TextRect({10, 220, 90, 235}, 12, 221, "transparent");
    TRect box{100, 200, 300, 260};
    c.DrawText("right\tand\nbottom", box, DT_RIGHT | DT_BOTTOM | DT_EXPANDTABS | DT_NOCLIP);
    TRect measure{0, 0, 50, 0};
    c.DrawText("only measured", measure, DT_CALCRECT | DT_WORDBREAK);
    TBitmap bmp = SampleBitmap(pf8bit);
    c.CopyRect({300, 10, 340, 30}, bmp, {10, 0, 30, 15});
    c.Draw(350, 10, SampleBitmap(pf1bit));
    c.StretchDraw({400, 10, 480, 40}, sample.Picture);
  }
  pages.push_back(shapes);

  TMetafile nested;
  nested.SetWidth(300);
  nested.SetHeight(200);
  {
    TMetafileCanvas c(nested);
    c.Draw(5, 5, shapes);
    c.StretchDraw({0, 100, 150, 200}, sample.Picture);
  }
  pages.push_back(nested);
  return pages;
}

}  // namespace hy::test
