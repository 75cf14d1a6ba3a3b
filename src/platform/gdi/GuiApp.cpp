#include "platform/gdi/GuiApp.h"

#include <QGuiApplication>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/gdi/GdiTypes.h"

namespace hy {

void PrepareWindowlessEnvironment() {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
    // Outside a desktop session: the private runtime folder Qt would pick,
    // made here so that a command-line run prints no warning about it.
    const std::string dir = "/tmp/runtime-" + std::to_string(getuid());
    mkdir(dir.c_str(), 0700);
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(dir));
  }
}

void EnsureGuiApplication() {
  QCoreApplication* existing = QCoreApplication::instance();
  if (qobject_cast<QGuiApplication*>(existing)) return;
  if (existing) throw EGdiError("A non-graphical application object exists; fonts cannot be used");
  PrepareWindowlessEnvironment();
  static int argc = 1;
  static char name[] = "hycube";
  static char* argv[] = {name, nullptr};
  // Never destroyed: Qt's own clean-up at exit must not run after it.
  new QGuiApplication(argc, argv);
}

}  // namespace hy
