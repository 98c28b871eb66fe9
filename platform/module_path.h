// The directory of the running executable.
#pragma once
#include <string>

namespace platform {

// Full path of the running executable, or empty when it cannot be found.
std::string ExecutablePath();

}  // namespace platform
