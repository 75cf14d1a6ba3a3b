// Runs the built `hycube` as a user would and captures what it says.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace hy::test {

struct CliResult {
  int status = -1;
  std::string out;
  std::string err;
};

// `args` is passed through the shell; quote what needs quoting.
inline CliResult Hycube(const std::string& args) {
  static int serial = 0;
  const std::filesystem::path errFile =
      std::filesystem::temp_directory_path() /
      ("hycube-err-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
  const std::string command = std::string(HYCUBE_PATH) + " " + args + " 2>" + errFile.string();
  CliResult run;
  FILE* pipe = popen(command.c_str(), "r");
  std::array<char, 4096> buffer{};
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), n);
  const int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::ifstream err(errFile);
  std::stringstream text;
  text << err.rdbuf();
  run.err = text.str();
  std::filesystem::remove(errFile);
  return run;
}

}  // namespace hy::test
