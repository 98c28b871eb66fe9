// The console front end's OutputSink: the pane's text on stdout, coloured by
// text kind with ANSI escapes when asked to; or, quiet, the replies alone.
#pragma once
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "net/output_sink.h"

class ConsoleSink final : public QuietSink {
 public:
  // `recentPath`: the settings file whose recent-queries list records each
  // lookup; empty for none.
  ConsoleSink(std::FILE* out, bool colour, std::string query, std::string recentPath = {});
  ~ConsoleSink() override { Finish(); }
  ConsoleSink(const ConsoleSink&) = delete;
  ConsoleSink& operator=(const ConsoleSink&) = delete;

  // Quiet: `out` gets only the replies' bytes as the servers sent them, and
  // error texts go to `errors`. With `rawReplies` false (a terminal) the
  // replies keep the control-character rule of the pane's text.
  void SetQuiet(std::FILE* errors, bool rawReplies);
  // A failed write of `out` raises this flag, so that the lookup stops.
  void SetCancelFlag(std::atomic<int>* flag) { cancel_ = flag; }
  // Every LF of `out` that does not follow a CR is written as CR LF (Windows).
  void SetCrLfLineEnds(bool on) { crlf_ = on; }

  void AppendOutput(TextKind kind, const char* text) override;
  void AppendPiece(TextKind kind, const char* prefix, size_t prefixLength, const char* text, size_t length) override;
  void SetStatus(int part, const char* text) override;
  void ReplyChunk(const char* bytes, int count) override;
  bool ShowsReplyPieces() const override { return !quiet_; }
  int ReadQueryText(char* buffer, int capacity) override;
  void ShareRecentQuery(const char* text) override;

  // Writes what is still held back and flushes. False when a write to `out`
  // has failed, now or before; WriteErrno() then tells why.
  bool Finish();
  bool WriteFailed() const { return failed_; }
  int WriteErrno() const { return errno_; }

 private:
  struct Stream {
    Stream(std::FILE* f, size_t capacity, bool ownLineEnds) : file(f), buffer(capacity), lineEnds(ownLineEnds) {}
    std::FILE* file;
    std::vector<char> buffer;  // written out when full and at each flush
    size_t used = 0;
    char held = 0;   // a CR or 0xC2 whose meaning the next byte decides
    bool lineEnds;   // line ends are this sink's to write (else the C library's)
  };
  void Put(Stream& stream, const char* bytes, size_t count);
  void Put(Stream& stream, char c) { Put(stream, &c, 1); }
  void Write(Stream& stream, const char* bytes, size_t count);
  void Clean(Stream& stream, const char* begin, const char* end);
  void Append(TextKind kind, const char* prefix, size_t prefixLength, const char* text, size_t length);
  void Stage(const char* bytes, size_t count);
  void CleanStaged();
  void Flush(Stream& stream);

  Stream out_;
  // Uncoloured reply pieces, as they came, until the end of their chunk: the
  // control-character rule then runs once over all of them.
  std::vector<char> staged_;
  size_t stagedUsed_ = 0;
  // Error texts go to a text stream: the C library writes its line ends.
  Stream errors_{nullptr, 4096, false};
  bool colour_;
  bool quiet_ = false;
  bool rawReplies_ = true;
#ifdef _WIN32
  bool crlf_ = true;
#else
  bool crlf_ = false;
#endif
  bool errorLineOpen_ = false;
  bool failed_ = false;
  int errno_ = 0;
  std::atomic<int>* cancel_ = nullptr;
  std::string query_;
  std::string recentPath_;
};

// The first byte in [begin, end) that the console does not write as it is:
// C0 controls but tab (and LF, unless `crlf`), DEL, the C1 bytes 0x80 to
// 0x9F, and 0xC2 (which starts the UTF-8 form of a C1 control). `end` when
// there is none. Looks at 16 bytes at a time where the processor can, else
// at 8; FindConsoleByteWordwise is the 8-byte way, for every processor.
const char* FindConsoleByte(const char* begin, const char* end, bool crlf);
const char* FindConsoleByteWordwise(const char* begin, const char* end, bool crlf);
