// The metafile exports opened by an office drawing program: it converts the
// EMF and the WMF file to PNG, and the picture is not blank.
#include <gtest/gtest.h>

#include <filesystem>

#include "../platform/gdi/SamplePage.h"
#include "ExportTestSupport.h"
#include "ReaderSupport.h"
#include "export/KyRExportPicture.h"
#include "platform/gdi/MetafileCanvas.h"

namespace hy {
namespace {

using namespace test;
namespace fs = std::filesystem;

// The picture the office program makes of `file` (null when it fails).
QImage ConvertWithOffice(const std::string& file) {
  // A private profile: no first-start wizard, no clash with a running user.
  std::string dir = fs::path(file).parent_path().string();
  std::string cmd = "soffice -env:UserInstallation=file://" + dir +
                    "/profile --headless --norestore" + " --convert-to png --outdir " +
                    Quoted(dir + "/png") + " " + Quoted(file);
  TProgramRun run = RunProgram(cmd);
  std::string png = dir + "/png/" + fs::path(file).stem().string() + ".png";
  EXPECT_TRUE(fs::exists(png)) << run.Out << run.Err;
  return QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGB32);
}

TMetafile ReportPage(const std::string& title) {
  return DrawPage([&](TMetafileCanvas& c) {
    c.SetFont(TFont("Arial", -32, fsBold, clBlack));
    c.TextOut(60, 60, title);
    c.Rectangle(40, 40, 754, 400);
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(clNavy);
    c.FillRect({60, 140, 700, 380});
    c.Draw(100, 450, SampleBitmap());
  });
}

TEST(PictureOfficeTest, TheDrawingProgramConvertsTheEmfAndWmfFilesToPicturesThatAreNotBlank) {
  SKIP_WITHOUT_PROGRAM("soffice", "libreoffice-draw");
  std::vector<std::vector<TMetafile>> pages = {{ReportPage("First page")},
                                               {ReportPage("Second page")}};
  for (const char* kind : {"emf", "wmf"}) {
    SCOPED_TRACE(kind);
    std::string dir = TestDir(std::string("office_") + kind);
    std::unique_ptr<TKyRExportToEMF> ex =
        kind[0] == 'e' ? std::make_unique<TKyRExportToEMF>() : std::make_unique<TKyRExportToWMF>();
    std::string file = dir + "/report." + kind;
    RunExport(*ex, pages, {1, 2}, file, false);
    QImage png = ConvertWithOffice(file);
    ASSERT_FALSE(png.isNull());
    // Both pages are there, one under another: the navy fill of each
    // darkens a good part of its half.
    const int half = png.height() / 2;
    for (const QImage& page :
         {png.copy(0, 0, png.width(), half), png.copy(0, half, png.width(), half)})
      EXPECT_GT(DarkPixels(page), long(page.width()) * page.height() / 40);
  }
}

}  // namespace
}  // namespace hy
