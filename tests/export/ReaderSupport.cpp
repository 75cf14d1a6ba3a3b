#include "ReaderSupport.h"

#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>

#include "ExportTestSupport.h"

namespace hy::test {

std::string Quoted(const std::string& path) {
  std::string out = "'";
  for (char c : path) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
  return out + "'";
}

bool HaveProgram(const std::string& name) {
  return std::system(("command -v " + Quoted(name) + " >/dev/null 2>&1").c_str()) == 0;
}

TProgramRun RunProgram(const std::string& commandLine) {
  static int runs = 0;
  std::string base = std::filesystem::temp_directory_path() /
                     ("hy_reader_" + std::to_string(::getpid()) + "_" + std::to_string(++runs));
  std::string cmd =
      "(" + commandLine + ") >" + Quoted(base + ".out") + " 2>" + Quoted(base + ".err");
  int status = std::system(cmd.c_str());
  TProgramRun run;
  run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.Out = ReadFileBytes(base + ".out");
  run.Err = ReadFileBytes(base + ".err");
  std::filesystem::remove(base + ".out");
  std::filesystem::remove(base + ".err");
  return run;
}

QImage ReadWithMagick(const std::string& fileName) {
  std::string png = fileName + ".magick.png";
  if (RunProgram("convert " + Quoted(fileName) + " " + Quoted("png32:" + png)).Status != 0)
    return {};
  QImage image(QString::fromStdString(png));
  return image.convertToFormat(QImage::Format_RGB32);
}

long DifferentPixels(const QImage& expected, const QImage& actual, int x0, int y0, int tolerance) {
  QImage e = expected.convertToFormat(QImage::Format_RGB32);
  QImage a = actual.convertToFormat(QImage::Format_RGB32);
  long different = 0;
  for (int y = 0; y < e.height(); ++y)
    for (int x = 0; x < e.width(); ++x) {
      int ax = x + x0, ay = y + y0;
      if (ax >= a.width() || ay >= a.height()) {
        ++different;
        continue;
      }
      QRgb p = e.pixel(x, y), q = a.pixel(ax, ay);
      if (std::abs(qRed(p) - qRed(q)) > tolerance || std::abs(qGreen(p) - qGreen(q)) > tolerance ||
          std::abs(qBlue(p) - qBlue(q)) > tolerance)
        ++different;
    }
  return different;
}

long DarkPixels(const QImage& image) {
  long dark = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 128) ++dark;
  return dark;
}

}  // namespace hy::test
