#include "platform/profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/profile_text.h"

namespace platform {
namespace {

enum class FileRead { Read, Absent, Failed };

// Opened without blocking and read only when it is a regular file: a FIFO or
// a device named as the settings file must not hang or flood the program.
FileRead ReadWholeFile(const std::string& path, std::string& text) {
  text.clear();
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? FileRead::Absent : FileRead::Failed;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  char buffer[65536];
  while (ok) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) text.append(buffer, static_cast<size_t>(n));
    else if (n == 0) break;
    else if (errno != EINTR) ok = false;
  }
  close(fd);
  return ok ? FileRead::Read : FileRead::Failed;
}

bool LoadDocument(const char* path, ProfileDocument& doc) {
  std::string text;
  if (ReadWholeFile(path, text) != FileRead::Read) return false;
  doc = ProfileDocument::Parse(text);
  return true;
}

// The file a path names after all its symbolic links, whether it exists or
// not (a dangling link names the file that a write creates).
std::string FollowLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    const ssize_t n = readlink(path.c_str(), &target[0], target.size());
    if (n <= 0 || static_cast<size_t>(n) >= target.size()) return path;
    target.resize(static_cast<size_t>(n));
    if (target[0] != '/') {
      const size_t slash = path.find_last_of('/');
      if (slash != std::string::npos) target = path.substr(0, slash + 1) + target;
    }
    path = target;
  }
  return path;  // a loop: the write fails on it like the system would
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n > 0) done += static_cast<size_t>(n);
    else if (n < 0 && errno == EINTR) continue;
    else return false;
  }
  return true;
}

// Rewrites the file itself: it keeps its owner, mode and links for certain,
// but a failure halfway leaves it cut.
bool WriteInPlace(const std::string& target, const std::string& text) {
  const int fd = open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && WriteAll(fd, text) &&
            ftruncate(fd, static_cast<off_t>(text.size())) == 0;
  ok = close(fd) == 0 && ok;
  return ok;
}

// Root may write anything; a file without any write permission still counts
// as read-only, as the read-only attribute does on Windows.
bool ReadOnly(const std::string& target, const struct stat& st) {
  return access(target.c_str(), W_OK) != 0 || (st.st_mode & 0222) == 0;
}

// An existing regular file that a write would not refuse.
bool ExistingFileWritable(const char* path) {
  const std::string target = FollowLinks(path);
  struct stat st;
  return stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode) && !ReadOnly(target, st);
}

// Like the Windows functions, a write goes to the file a link points to, and
// fails on a file that is read-only or not a regular file. The new text goes
// to a file beside the old one and replaces it in one rename, so a failed
// write never leaves a half-written settings file; that file gets the old
// one's mode and owner. Where the rename would lose something (an owner this
// user cannot give, a second hard link) or the folder takes no new file, the
// file is rewritten in place.
bool WriteDocument(const char* path, const std::string& text) {
  const std::string target = FollowLinks(path);
  struct stat st;
  const bool exists = stat(target.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) return false;
  if (exists) {
    if (!S_ISREG(st.st_mode)) return false;
    if (ReadOnly(target, st)) return false;
    if (st.st_nlink > 1) return WriteInPlace(target, text);
  }
  std::string temporary = target + ".XXXXXX";
  const int fd = mkstemp(&temporary[0]);
  if (fd < 0) return exists && WriteInPlace(target, text);
  // A new file is the user's alone: it may hold the proxy password.
  bool ok = fchmod(fd, exists ? (st.st_mode & 07777) : 0600) == 0;
  bool sameOwner = true;
  if (exists && ok) {
    struct stat mine;
    sameOwner = fstat(fd, &mine) == 0 &&
                ((mine.st_uid == st.st_uid && mine.st_gid == st.st_gid) || fchown(fd, st.st_uid, st.st_gid) == 0);
  }
  ok = ok && sameOwner && WriteAll(fd, text);
  ok = close(fd) == 0 && ok;
  if (ok && rename(temporary.c_str(), target.c_str()) == 0) return true;
  unlink(temporary.c_str());
  return exists && !sameOwner && WriteInPlace(target, text);
}

// Every read-change-write of one file, by any running copy, holds an
// exclusive lock on a file beside it (the settings file itself cannot carry
// the lock: each write replaces it). A copy that cannot get the lock within
// a few seconds writes anyway rather than lose its change.
class FileLock {
 public:
  explicit FileLock(const char* path) {
    const std::string name = FollowLinks(path) + ".lock";
    fd_ = open(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (flock(fd_, LOCK_EX | LOCK_NB) != 0 && std::chrono::steady_clock::now() < giveUp)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ~FileLock() {
    if (fd_ >= 0) close(fd_);  // closing releases the lock
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_ = -1;
};

// A regular file, or none yet: anything else is never written, nor is a lock
// file made beside it (not even by root beside a device).
bool Writable(const char* path) {
  struct stat st;
  if (stat(FollowLinks(path).c_str(), &st) != 0) return errno == ENOENT;
  return S_ISREG(st.st_mode);
}

// The document of the file (and its text), or an empty one when there is no
// file; false when a file is there but cannot be read (writing would throw
// its content away).
bool LoadForWriting(const char* path, ProfileDocument& doc, std::string& text) {
  switch (ReadWholeFile(path, text)) {
    case FileRead::Read: doc = ProfileDocument::Parse(text); return true;
    case FileRead::Absent: doc = ProfileDocument(); return true;
    default: return false;
  }
}

}  // namespace

IniFileReader::IniFileReader(const char* path) : loaded_(LoadDocument(path, doc_)) {}

int IniFileReader::ReadInt(const char* section, const char* key, int fallback) const {
  const std::string* value = loaded_ ? doc_.Find(section, key) : nullptr;
  return value ? ParseProfileInt(UnquoteProfileValue(*value), fallback) : fallback;
}

int IniFileReader::ReadString(const char* section, const char* key, const char* fallback, char* buffer,
                              int capacity) const {
  if (capacity <= 0) return 0;
  const std::string* value = loaded_ ? doc_.Find(section, key) : nullptr;
  std::string text = value ? UnquoteProfileValue(*value) : std::string(fallback ? fallback : "");
  size_t n = text.size() < static_cast<size_t>(capacity - 1) ? text.size() : static_cast<size_t>(capacity - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

int ReadIniInt(const char* section, const char* key, int fallback, const char* path) {
  return IniFileReader(path).ReadInt(section, key, fallback);
}

int ReadIniString(const char* section, const char* key, const char* fallback, char* buffer, int capacity,
                  const char* path) {
  return IniFileReader(path).ReadString(section, key, fallback, buffer, capacity);
}

bool WriteIniString(const char* section, const char* key, const char* value, const char* path) {
  if (!value) value = "";
  if (!FitsOneProfileLine(section) || !FitsOneProfileLine(key) || !FitsOneProfileLine(value)) return false;
  if (!Writable(path)) return false;
  FileLock lock(path);
  ProfileDocument doc;
  std::string text;
  if (!LoadForWriting(path, doc, text)) return false;
  if (!doc.Set(section, key, value)) return true;
  return WriteDocument(path, doc.Serialize());
}

bool EditIniSection(const char* section, const char* path, const IniSectionEdit& edit) {
  if (!FitsOneProfileLine(section) || !Writable(path)) return false;
  FileLock lock(path);
  ProfileDocument doc;
  std::string old;
  if (!LoadForWriting(path, doc, old)) return false;
  std::vector<ProfileKey> keys = doc.Section(section);
  if (!edit(keys)) return true;
  for (const ProfileKey& k : keys)
    if (!FitsOneProfileLine(k.Name.c_str()) || !FitsOneProfileLine(k.Value.c_str())) return false;
  doc.ReplaceSection(section, std::move(keys));
  // An edit that changes nothing (a lookup of the query already on top of
  // the recent list) leaves the file alone.
  std::string text = doc.Serialize();
  return text == old ? ExistingFileWritable(path) : WriteDocument(path, text);
}

}  // namespace platform
