#include "platform/module_path.h"

#include <windows.h>

namespace platform {

std::string ExecutablePath() {
  char module[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, module, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};  // a cut path names the wrong file
  char full[MAX_PATH];
  char* fileName = nullptr;
  DWORD m = GetFullPathNameA(module, MAX_PATH, full, &fileName);
  if (m == 0 || m >= MAX_PATH) return {};
  return full;
}

std::string PathBesideExecutable(const char* fileName) {
  std::string path = ExecutablePath();
  if (path.empty()) return {};
  const size_t slash = path.find_last_of("\\/:");
  path.erase(slash == std::string::npos ? 0 : slash + 1);
  path += fileName;
  if (path.size() >= MAX_PATH) return {};  // the terminator must fit too
  return path;
}

std::string UserConfigFolder() { return {}; }

}  // namespace platform
