// The program: one main window over the demo table, and over the file
// named on the command line (a layout, a CSV file or a database) when there
// is one.
#include <cstdio>

#include <QTimer>

#include "app/Application.h"
#include "app/LocaleSettings.h"
#include "app/MainWindow.h"
#include "ui/HyPBar.h"
#include "ui/KyRPreview.h"

int main(int argc, char** argv) {
  hy::TApplication app(argc, argv);
  hy::LoadSystemFormatSettings();
  hy::UseProgressDialogForBuilds();
  hy::UsePreviewWindow();
  std::unique_ptr<hy::TfrmMain> window;
  try {
    window = std::make_unique<hy::TfrmMain>();
  } catch (const std::exception& e) {
    // A window that cannot start is not shown: report and end the run.
    std::fprintf(stderr, "cubeview: %s\n", e.what());
    hy::TApplication::ShowException(e);
    return 1;
  }
  window->show();
  if (argc > 1) {
    const std::string file = argv[1];
    QTimer::singleShot(0, window.get(), [&window, file] { window->OpenFileGuarded(file); });
  }
  return app.exec();
}
