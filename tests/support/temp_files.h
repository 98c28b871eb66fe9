// Scratch files for the settings tests.
#pragma once
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// A path in a test directory of the system's temporary folder, with no file there.
inline std::string FreshPath(const char* name, const char* directory = "merrowgate-test") {
  const auto dir = std::filesystem::temp_directory_path() / directory;
  std::filesystem::create_directories(dir);
  const std::string path = (dir / (std::string(name) + ".ini")).string();
  std::remove(path.c_str());
  return path;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}
