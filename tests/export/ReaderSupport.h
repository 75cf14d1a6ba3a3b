// The outside readers the PDF and picture tests check the files with:
// running them, skipping a test where one is not installed, and comparing
// the pictures they give back with the pages as the player draws them.
#pragma once

#include <string>

#include <QImage>

namespace hy::test {

struct TProgramRun {
  int Status = -1;
  std::string Out;
  std::string Err;
};

bool HaveProgram(const std::string& name);
// Runs a shell command line, capturing its output and errors.
TProgramRun RunProgram(const std::string& commandLine);
// A path quoted for the shell.
std::string Quoted(const std::string& path);

// The picture of an image file as ImageMagick reads it (null when it cannot).
QImage ReadWithMagick(const std::string& fileName);

// How many pixels of `actual` at (x, y) differ from `expected` by more than
// `tolerance` in some channel (anti-aliased edges differ a little between
// two drawings of one page); pixels outside `actual` count as different.
long DifferentPixels(const QImage& expected, const QImage& actual, int x = 0, int y = 0,
                     int tolerance = 48);
// Pixels darker than mid grey: a picture with none is blank.
long DarkPixels(const QImage& image);

}  // namespace hy::test

// Skips the test, saying which Debian package brings the program.
#define SKIP_WITHOUT_PROGRAM(program, package)                                           \
  if (!::hy::test::HaveProgram(program))                                                 \
  GTEST_SKIP() << "'" << (program) << "' is not installed (Debian package " << (package) \
               << "); the file is not checked by this reader"
