#include "app/Application.h"

#include <QMessageBox>

namespace hy {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName("cubeview");
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowException(e);
  }
  return false;
}

void TApplication::ShowException(const std::exception& e) {
  QMessageBox::critical(activeWindow(), applicationName(), QString::fromUtf8(e.what()));
}

}  // namespace hy
