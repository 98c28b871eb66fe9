#include "cli/console_writer.h"

#include <cerrno>
#include <cstring>

#include "platform/console.h"

ConsoleWriter::ConsoleWriter(std::FILE* file, size_t capacity, bool stopsLookup)
    : file_(file), buffer_(new char[capacity]), capacity_(capacity), stopsLookup_(stopsLookup) {}

void ConsoleWriter::Put(const char* bytes, size_t count) {
  if (count > capacity_ - used_) {
    Write(buffer_.get(), used_);
    used_ = 0;
    if (count > capacity_) {
      Write(bytes, count);
      return;
    }
  }
  std::memcpy(buffer_.get() + used_, bytes, count);
  used_ += count;
}

void ConsoleWriter::Fail(int error) {
  if (failed_) return;
  errno_ = error;
  failed_ = true;
  // Nobody would see the rest of the lookup: stop it.
  if (stopsLookup_ && cancel_) *cancel_ = 1;
}

void ConsoleWriter::Write(const char* bytes, size_t count) {
  if (memory_) {
    memory_->append(bytes, count);
    return;
  }
  if (count == 0 || !file_ || (stopsLookup_ && failed_)) return;
  if (!platform::WriteOutput(file_, bytes, count)) Fail(errno);
}

bool ConsoleWriter::Flush() {
  Write(buffer_.get(), used_);
  used_ = 0;
  if (file_ && !memory_ && std::fflush(file_) != 0) Fail(errno);
  return !failed_;
}
