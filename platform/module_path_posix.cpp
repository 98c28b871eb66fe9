#include "platform/module_path.h"

#include <unistd.h>

#include <climits>

namespace platform {

std::string ExecutablePath() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  return std::string(path, static_cast<size_t>(n));
}

}  // namespace platform
