// The application object: an exception that escapes an event handler is
// shown in a message box and the program goes on.
#pragma once

#include <QApplication>

namespace hy {

class TApplication : public QApplication {
public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;

  // The application's default handler: a message box with the text.
  static void ShowException(const std::exception& e);
};

}  // namespace hy
