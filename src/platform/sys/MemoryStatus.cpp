#include "platform/sys/MemoryStatus.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

namespace hy::sys {

namespace {

// The first number in a file, or -1 ("max" and missing files give -1).
int64_t ReadNumber(const std::string& path) {
  std::ifstream in(path);
  int64_t value = -1;
  if (!(in >> value)) return -1;
  return value;
}

// The process's cgroup v2 folder ("0::/path"), or "" when there is none.
std::string CgroupV2Path() {
  std::ifstream in("/proc/self/cgroup");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("0::", 0) == 0) return line.substr(3);
  }
  return "";
}

}  // namespace

int64_t AvailableMemory() {
  std::ifstream in("/proc/meminfo");
  if (!in) return kNoLimit;
  int64_t availableKb = -1, freeKb = -1, swapFreeKb = 0;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string key;
    int64_t kb = 0;
    if (!(fields >> key >> kb)) continue;
    if (key == "MemAvailable:") availableKb = kb;
    else if (key == "MemFree:") freeKb = kb;
    else if (key == "SwapFree:") swapFreeKb = kb;
  }
  if (availableKb < 0) availableKb = freeKb;  // kernels before 3.14
  if (availableKb < 0) return kNoLimit;
  return availableKb * 1024 + swapFreeKb * 1024 / 2;
}

int64_t AddressSpaceLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kNoLimit;
  return static_cast<int64_t>(std::min<rlim_t>(limit.rlim_cur, static_cast<rlim_t>(kNoLimit)));
}

int64_t AddressSpaceInUse() {
  std::ifstream in("/proc/self/statm");
  int64_t pages = 0;
  if (!(in >> pages)) return 0;
  return pages * static_cast<int64_t>(sysconf(_SC_PAGESIZE));
}

TCgroupMemory CgroupMemory() {
  TCgroupMemory memory;
  const std::string v2 = CgroupV2Path();
  if (!v2.empty()) {
    // The tightest limit on the way up from the process's own group.
    std::string path = v2;
    for (;;) {
      const std::string dir = "/sys/fs/cgroup" + (path == "/" ? std::string() : path);
      const int64_t limit = ReadNumber(dir + "/memory.max");
      if (limit >= 0 && limit < memory.limit) {
        memory.limit = limit;
        memory.usage = std::max<int64_t>(ReadNumber(dir + "/memory.current"), 0);
      }
      if (path.empty() || path == "/") break;
      const size_t slash = path.rfind('/');
      path = slash == 0 ? "/" : path.substr(0, slash);
    }
  }
  if (memory.limit == kNoLimit) {
    const int64_t limit = ReadNumber("/sys/fs/cgroup/memory/memory.limit_in_bytes");
    // v1 writes a huge number for "no limit".
    if (limit > 0 && limit < (int64_t{1} << 60)) {
      memory.limit = limit;
      memory.usage =
          std::max<int64_t>(ReadNumber("/sys/fs/cgroup/memory/memory.usage_in_bytes"), 0);
    }
  }
  return memory;
}

}  // namespace hy::sys
