#include "platform/module_path.h"

#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace platform {

std::string ExecutablePath() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  return std::string(path, static_cast<size_t>(n));
}

std::string PathBesideExecutable(const char* fileName) {
  std::string path = ExecutablePath();
  if (path.empty()) return {};
  path.erase(path.find_last_of('/') + 1);
  return path + fileName;
}

// The XDG base directory rule: a relative $XDG_CONFIG_HOME is invalid and
// ignored like an empty one.
std::string UserConfigFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return config;
  const char* home = std::getenv("HOME");
  if (!home || home[0] != '/') {
    const passwd* user = getpwuid(getuid());
    home = user ? user->pw_dir : nullptr;
  }
  if (!home || home[0] != '/') return {};
  std::string folder = home;
  if (folder.back() != '/') folder += '/';
  return folder + ".config";
}

}  // namespace platform
