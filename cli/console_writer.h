// The last stages of the console's output: a stage takes text in whole
// characters, and the writer gathers it for large writes to a stream.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// A stage of the console's output. Behind the terminal filter every call
// hands over whole characters (or, for the replies of a quiet lookup, bytes
// meant to stay as they are).
class TextStage {
 public:
  virtual ~TextStage() = default;
  virtual void Put(const char* bytes, size_t count) = 0;
  void Put(char c) { Put(&c, 1); }
};

// Gathers text and writes it to `file` when the buffer is full and at each
// Flush. The buffer only ever holds whole Put calls, so a write never cuts a
// character (a Windows console is written in UTF-16, character by character).
class ConsoleWriter final : public TextStage {
 public:
  // `stopsLookup`: a failed write cancels the lookup (nobody would see the
  // rest) by raising the flag given to SetCancelFlag.
  ConsoleWriter(std::FILE* file, size_t capacity, bool stopsLookup);
  void SetCancelFlag(std::atomic<int>* flag) { cancel_ = flag; }
  using TextStage::Put;
  void Put(const char* bytes, size_t count) override;
  // Writes what is gathered and flushes the stream. False once a write has
  // failed, now or before; Errno() then tells why.
  bool Flush();
  bool Failed() const { return failed_; }
  int Errno() const { return errno_; }
  std::FILE* File() const { return file_; }
  void SetFile(std::FILE* file) { file_ = file; }
  // Keeps what would be written in `memory` instead (a batch's query whose
  // turn to be written has not come); null writes to the file again.
  void SetMemory(std::string* memory) { memory_ = memory; }

 private:
  void Write(const char* bytes, size_t count);
  void Fail(int error);

  std::FILE* file_;
  // Not cleared when made: a short lookup touches only what it writes.
  std::unique_ptr<char[]> buffer_;
  size_t capacity_;
  size_t used_ = 0;
  bool stopsLookup_;
  bool failed_ = false;
  int errno_ = 0;
  std::atomic<int>* cancel_ = nullptr;
  std::string* memory_ = nullptr;
};
