#include "platform/gdi/GuiApp.h"

#include <QGuiApplication>

#include "platform/gdi/GdiTypes.h"

namespace hy {

void EnsureGuiApplication() {
  QCoreApplication* existing = QCoreApplication::instance();
  if (qobject_cast<QGuiApplication*>(existing)) return;
  if (existing) throw EGdiError("A non-graphical application object exists; fonts cannot be used");
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "hycube";
  static char* argv[] = {name, nullptr};
  // Never destroyed: Qt's own clean-up at exit must not run after it.
  new QGuiApplication(argc, argv);
}

}  // namespace hy
