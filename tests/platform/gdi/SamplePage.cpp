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
    c.DrawText("The quick brown fox jumps over the lazy dog", para, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    page.Texts.insert(page.Texts.end(), {"The quick brown fox", "jumps over the lazy", "dog"});
  }
  return page;
}

}  // namespace hy::test
