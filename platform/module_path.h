// Where the program finds itself and keeps its files.
#pragma once
#include <string>

namespace platform {

// Full path of the running executable, or empty when it cannot be found.
std::string ExecutablePath();
// `fileName` in the directory of the executable; empty when the executable's
// path cannot be found or the result would not fit the system's path limit.
std::string PathBesideExecutable(const char* fileName);
// The folder that holds users' configuration folders: $XDG_CONFIG_HOME, or
// ~/.config without it. Empty on Windows, where programs keep their settings
// beside the executable.
std::string UserConfigFolder();

}  // namespace platform
