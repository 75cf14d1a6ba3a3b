// The Qt printer against a real print queue: a private print server on a
// unix socket in a temporary folder, with one PDF queue that writes its jobs
// to a file. Skipped where the print server is not installed.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/gdi/GuiApp.h"
#include "platform/printer/QtPrinter.h"

extern char** environ;

namespace hy {
namespace {

constexpr const char* kCupsd = "/usr/sbin/cupsd";
constexpr const char* kPpd = "/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd";
constexpr const char* kQueue = "HyTestPdf";

class PrintServer : public ::testing::Environment {
public:
  static inline std::string SkipReason;
  static inline std::string OutputFile;

  void SetUp() override {
    if (access(kCupsd, X_OK) != 0 || access(kPpd, R_OK) != 0) {
      SkipReason = "the print server (cups-daemon, cups-filters) is not installed";
      return;
    }
    dir_ = std::make_unique<QTemporaryDir>();
    QFile::setPermissions(dir_->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                            QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                            QFileDevice::ExeGroup);
    const std::string d = dir_->path().toStdString();
    for (const char* sub : {"spool", "cache", "state", "log", "out"}) QDir(dir_->path()).mkdir(sub);
    // The filters run as the print server's own user.
    chmod((d + "/spool").c_str(), 0777);
    chmod((d + "/out").c_str(), 0777);
    std::ofstream(d + "/cupsd.conf")
        << "Listen " << d << "/cups.sock\nLogLevel warn\nBrowsing Off\n"
        << "WebInterface No\nDefaultAuthType None\n"
        << "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
        << "<Policy default>\n  <Limit All>\n    Order allow,deny\n"
        << "    Allow all\n  </Limit>\n</Policy>\n";
    std::ofstream(d + "/cups-files.conf")
        << "ServerRoot " << d << "\nRequestRoot " << d << "/spool\nCacheDir " << d
        << "/cache\nStateDir " << d << "/state\nTempDir " << d << "/spool\n"
        << "ErrorLog " << d << "/log/error_log\nAccessLog " << d << "/log/access_log\nPageLog " << d
        << "/log/page_log\nPrintcap " << d << "/printcap\nFileDevice Yes\n";
    const std::string conf = d + "/cupsd.conf", files = d + "/cups-files.conf";
    const char* argv[] = {kCupsd, "-f", "-c", conf.c_str(), "-s", files.c_str(), nullptr};
    if (posix_spawn(&pid_, kCupsd, nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
      SkipReason = "the print server did not start";
      return;
    }
    const std::string socket = d + "/cups.sock";
    setenv("CUPS_SERVER", socket.c_str(), 1);
    for (int i = 0; i < 100 && access(socket.c_str(), F_OK) != 0; ++i) QThread::msleep(50);
    OutputFile = d + "/out/job.pdf";
    const std::string add = std::string("lpadmin -p ") + kQueue + " -E -v file://" + OutputFile +
                            " -P " + kPpd + " -o PageSize=A4 2>/dev/null";
    if (access(socket.c_str(), F_OK) != 0 || std::system(add.c_str()) != 0) {
      SkipReason = "the private print queue could not be set up";
      return;
    }
    EnsureGuiApplication();
  }

  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }

private:
  std::unique_ptr<QTemporaryDir> dir_;
  pid_t pid_ = 0;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new PrintServer);

#define SKIP_WITHOUT_SERVER() \
  if (!PrintServer::SkipReason.empty()) GTEST_SKIP() << PrintServer::SkipReason

TEST(CupsPrinter, ListsTheQueueAndReportsItsPaper) {
  SKIP_WITHOUT_SERVER();
  TQtPrinter printer;
  ASSERT_EQ(printer.Printers(), std::vector<std::string>{kQueue});
  printer.SetPrinterIndex(0);
  EXPECT_EQ(printer.DeviceName(), kQueue);
  TDeviceMode mode;
  mode.Fields = dmPaperSize | dmOrientation;
  mode.PaperSize = 9;
  mode.Orientation = kOrientPortrait;
  printer.SetDeviceMode(mode);
  const TPrinterCaps portrait = printer.Caps();
  EXPECT_GT(portrait.DpiX, 0);
  // A4 within a point (Qt keeps page sizes in points).
  EXPECT_NEAR(portrait.PhysicalWidth, 210.0 / 25.4 * portrait.DpiX, portrait.DpiX / 72.0);
  EXPECT_NEAR(portrait.PhysicalHeight, 297.0 / 25.4 * portrait.DpiY, portrait.DpiY / 72.0);
  EXPECT_GE(portrait.OffsetX, 0);
  EXPECT_LE(portrait.OffsetX + portrait.PrintableWidth, portrait.PhysicalWidth);
  EXPECT_LE(portrait.OffsetY + portrait.PrintableHeight, portrait.PhysicalHeight);

  mode.Orientation = kOrientLandscape;
  printer.SetDeviceMode(mode);
  const TPrinterCaps landscape = printer.Caps();
  EXPECT_EQ(landscape.PhysicalWidth, portrait.PhysicalHeight);
  EXPECT_EQ(landscape.PhysicalHeight, portrait.PhysicalWidth);
  EXPECT_EQ(printer.DeviceMode().Orientation, kOrientLandscape);
}

TEST(CupsPrinter, AJobOfTwoPagesReachesTheQueue) {
  SKIP_WITHOUT_SERVER();
  TQtPrinter printer;
  printer.SetPrinterIndex(0);
  printer.BeginDoc("Two pages");
  printer.Canvas().drawText(100, 100, "first");
  printer.NewPage();
  printer.Canvas().drawText(100, 100, "second");
  printer.EndDoc();
  // The queue converts the job in the background and writes the PDF inside
  // the printer's job-language wrapper.
  std::string data;
  for (int i = 0; i < 300; ++i) {
    QThread::msleep(100);
    std::ifstream in(PrintServer::OutputFile, std::ios::binary);
    data.assign(std::istreambuf_iterator<char>(in), {});
    if (data.find("%PDF-") != std::string::npos && data.rfind("%%EOF") != std::string::npos &&
        data.rfind("%%EOF") > data.find("%PDF-"))
      break;
  }
  const size_t begin = data.find("%PDF-"), end = data.rfind("%%EOF");
  ASSERT_TRUE(begin != std::string::npos && end != std::string::npos && end > begin)
      << "no finished job in " << PrintServer::OutputFile;
  if (std::system("command -v qpdf > /dev/null") != 0) GTEST_SKIP() << "qpdf is not installed";
  const std::string pdf = PrintServer::OutputFile + ".cut.pdf";
  std::ofstream(pdf, std::ios::binary) << data.substr(begin, end + 5 - begin);
  const std::string count = "qpdf --show-npages " + pdf + " > " + pdf + ".n";
  ASSERT_EQ(std::system(count.c_str()), 0);
  std::ifstream n(pdf + ".n");
  int pages = 0;
  n >> pages;
  EXPECT_EQ(pages, 2);
}

}  // namespace
}  // namespace hy
