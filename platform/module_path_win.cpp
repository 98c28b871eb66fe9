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

}  // namespace platform
