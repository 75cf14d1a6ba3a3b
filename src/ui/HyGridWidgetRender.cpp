#include "ui/HyGridWidgetRender.h"

#include <QApplication>
#include <QImage>

#include <filesystem>
#include <system_error>

#include "common/StrUtils.h"
#include "platform/gdi/GdiTypes.h"
#include "ui/HyGridWidget.h"

namespace hy {

void EnsureWidgetApplication() {
  QCoreApplication* existing = QCoreApplication::instance();
  if (qobject_cast<QApplication*>(existing)) return;
  if (existing) throw EGdiError("A non-widget application object exists; the grid cannot be drawn");
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "hycube";
  static char* argv[] = {name, nullptr};
  // Never destroyed: Qt's own clean-up at exit must not run after it.
  new QApplication(argc, argv);
}

void SaveGridPng(TCustomHyGrid& model, const std::string& fileName) {
  EnsureWidgetApplication();
  QImage image;
  {
    THyGrid grid(model, nullptr);
    image = grid.RenderImage();
  }
  // Written beside the target, then moved over it.
  const std::filesystem::path target(fileName);
  std::filesystem::path temp = target;
  temp += ".tmp";
  if (!image.save(QString::fromStdString(temp.string()), "PNG")) {
    std::error_code ec;
    std::filesystem::remove(temp, ec);
    throw Exception(Format("Cannot write the image file %s", fileName.c_str()));
  }
  std::error_code ec;
  std::filesystem::rename(temp, target, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    throw Exception(Format("Cannot write the image file %s", fileName.c_str()));
  }
}

}  // namespace hy
