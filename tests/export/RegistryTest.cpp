// The registry of export types and their icons.
#include <gtest/gtest.h>

#include <QPainter>
#include <QPixmap>

#include "ExportTestSupport.h"
#include "export/KyRExportIcon.h"
#include "export/KyRExportPdf.h"
#include "export/KyRExportPicture.h"
#include "export/KyRExportText.h"
#include "export/KyRExportTypes.h"

namespace hy {
namespace {

TEST(RegistryTest, ThirteenTypesInListOrderWithTheirStringNumbers) {
  const auto& types = KyRExportTypes();
  ASSERT_EQ(types.size(), 13u);
  std::string order;
  for (const TKyRExportType& t : types) {
    order += t.Extension + " ";
    EXPECT_EQ(t.FilterId, t.DescriptionId + 1) << t.Extension;
    EXPECT_TRUE(t.Description.empty() && t.Filter.empty());
  }
  EXPECT_EQ(order, "TXT CSV EMF WMF BMP HTML XML XLS WK1 WQ1 RTF PDF TIFF ");
  EXPECT_EQ(types[4].ClassName, "TKyRExportToBMP");
  EXPECT_EQ(types[4].DescriptionId, 2192);
  EXPECT_EQ(types[12].DescriptionId, 2194);
  EXPECT_EQ(types[9].ClassName, "TKyRExportToQuattroPro");
}

TEST(RegistryTest, TypesWithAClassMakeExportersTheOthersSaySo) {
  const TKyRExportType* csv = FindExportType(".csv");
  ASSERT_NE(csv, nullptr);
  EXPECT_NE(dynamic_cast<TKyRExportToCSV*>(csv->Create().get()), nullptr);
  ASSERT_NE(FindExportType("TKyRExportToHTML"), nullptr);
  EXPECT_TRUE(FindExportType("xml")->Available());
  EXPECT_EQ(FindExportType("doc"), nullptr);
  const TKyRExportType* pdf = FindExportType("PDF");
  ASSERT_NE(pdf, nullptr);
  EXPECT_NE(dynamic_cast<TKyRExportToPDF*>(pdf->Create().get()), nullptr);
  EXPECT_NE(dynamic_cast<TKyRExportToTIFF*>(FindExportType("tiff")->Create().get()), nullptr);
  TKyRExportType classless = *pdf;
  classless.Factory = nullptr;
  EXPECT_FALSE(classless.Available());
  EXPECT_THROW(classless.Create(), EKyRExportError);
}

TEST(RegistryTest, RegisteringAClassFillsItsEntryInPlaceAndUnregisteringRemovesIt) {
  TKyRExportType pdf = *FindExportType("PDF");
  TKyRExportType filled = pdf;
  filled.Factory = [] { return std::unique_ptr<TKyRExport>(new TKyRExportToText); };
  RegisterExportType(filled);
  EXPECT_EQ(KyRExportTypes()[11].ClassName, "TKyRExportToPDF");
  EXPECT_TRUE(KyRExportTypes()[11].Available());
  UnregisterExportType("TKyRExportToPDF");
  EXPECT_EQ(KyRExportTypes().size(), 12u);
  EXPECT_EQ(FindExportType("PDF"), nullptr);
  RegisterExportType(pdf);  // back, though now at the end
  EXPECT_EQ(KyRExportTypes().back().Extension, "PDF");
}

TEST(RegistryTest, EveryTypeHasAnIconAndTheFallbackShowsTheExtension) {
  for (const TKyRExportType& t : KyRExportTypes()) {
    QIcon icon = ExportTypeIcon(t);
    EXPECT_FALSE(icon.isNull()) << t.Extension;
    EXPECT_FALSE(icon.pixmap(16, 16).isNull()) << t.Extension;
  }
  QImage a = ExportTypeGlyph("CSV", 32);
  QImage b = ExportTypeGlyph("XML", 32);
  EXPECT_EQ(a.size(), QSize(32, 32));
  EXPECT_NE(a, b);  // lettered and coloured per type
  EXPECT_EQ(qAlpha(a.pixel(0, 0)), 0);
  if (const char* out = std::getenv("HY_EXPORT_GLYPHS")) {
    QImage sheet(13 * 36, 36, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    int x = 2;
    for (const TKyRExportType& t : KyRExportTypes())
      p.drawImage(x, 2, ExportTypeGlyph(t.Extension, 32)), x += 36;
    p.end();
    sheet.save(out);
  }
}

}  // namespace
}  // namespace hy
