#include "ui/HyGridWidgetRender.h"

#include <QApplication>
#include <QImage>

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "common/StrUtils.h"
#include "platform/gdi/GdiTypes.h"
#include "platform/gdi/GuiApp.h"
#include "ui/HyGridWidget.h"

namespace hy {

namespace {

// The temporary file a signal must not leave behind. Signal handlers may
// only read plain memory and call unlink, so the name sits in a fixed buffer.
char gPendingTemp[PATH_MAX + 1];
volatile std::sig_atomic_t gPendingSet = 0;
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction gOldActions[std::size(kCleanupSignals)];

extern "C" void RemovePendingTemp(int sig) {
  if (gPendingSet) ::unlink(gPendingTemp);
  // The default action, as if the program had not stopped here.
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

void WatchTemp(const std::string& path) {
  if (path.size() > PATH_MAX) return;
  std::memcpy(gPendingTemp, path.c_str(), path.size() + 1);
  gPendingSet = 1;
  struct sigaction action {};
  action.sa_handler = RemovePendingTemp;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < std::size(kCleanupSignals); ++i)
    sigaction(kCleanupSignals[i], &action, &gOldActions[i]);
}

void UnwatchTemp() {
  if (!gPendingSet) return;
  for (size_t i = 0; i < std::size(kCleanupSignals); ++i)
    sigaction(kCleanupSignals[i], &gOldActions[i], nullptr);
  gPendingSet = 0;
}

[[noreturn]] void CannotWrite(const std::string& fileName, const std::string& reason) {
  throw Exception(Format("Cannot write the image file %s (%s)", fileName.c_str(), reason.c_str()));
}

}  // namespace

void EnsureWidgetApplication() {
  QCoreApplication* existing = QCoreApplication::instance();
  if (qobject_cast<QApplication*>(existing)) return;
  if (existing) throw EGdiError("A non-widget application object exists; the grid cannot be drawn");
  PrepareWindowlessEnvironment();
  static int argc = 1;
  static char name[] = "hycube";
  static char* argv[] = {name, nullptr};
  // Never destroyed: Qt's own clean-up at exit must not run after it.
  new QApplication(argc, argv);
}

TGridPngFile::TGridPngFile(std::string fileName) : fileName_(std::move(fileName)) {
  namespace fs = std::filesystem;
  const fs::path target(fileName_);
  std::error_code ec;
  if (fs::is_directory(target, ec)) CannotWrite(fileName_, "it is a folder");
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX.tmp")).string();
  // No signal between making the file and watching it: a stop then would
  // leave it behind.
  sigset_t stops, old;
  sigemptyset(&stops);
  for (int sig : kCleanupSignals) sigaddset(&stops, sig);
  sigprocmask(SIG_BLOCK, &stops, &old);
  const int fd = ::mkstemps(pattern.data(), 4);
  const int error = errno;
  if (fd >= 0) {
    temp_ = pattern;
    WatchTemp(temp_);
  }
  sigprocmask(SIG_SETMASK, &old, nullptr);
  if (fd < 0) CannotWrite(fileName_, std::strerror(error));
  // The picture gets the permissions of any new file, not mkstemp's 0600.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  ::close(fd);
}

TGridPngFile::~TGridPngFile() {
  if (temp_.empty()) return;
  std::error_code ec;
  std::filesystem::remove(temp_, ec);
  UnwatchTemp();
}

void TGridPngFile::CheckSize(TCustomHyGrid& model, int64_t maxPixels) const {
  EnsureWidgetApplication();
  const THyGrid grid(model, nullptr);
  const int64_t width = grid.RenderExtent(true), height = grid.RenderExtent(false);
  if (width > kGridPngMaxSide || height > kGridPngMaxSide || width * height > maxPixels)
    throw Exception(
        Format("The picture of the grid would be %lld x %lld pixels, more than the "
               "limit of %lld pixels in all and %d on a side",
               static_cast<long long>(width), static_cast<long long>(height),
               static_cast<long long>(maxPixels), kGridPngMaxSide));
}

void TGridPngFile::Write(TCustomHyGrid& model) {
  EnsureWidgetApplication();
  QImage image;
  {
    THyGrid grid(model, nullptr);
    image = grid.RenderImage();
  }
  if (!image.save(QString::fromStdString(temp_), "PNG"))
    CannotWrite(fileName_, "the PNG writer failed");
  std::error_code ec;
  std::filesystem::rename(temp_, fileName_, ec);
  if (ec) CannotWrite(fileName_, ec.message());
  temp_.clear();
  UnwatchTemp();
}

}  // namespace hy
