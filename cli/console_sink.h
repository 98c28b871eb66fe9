// The console front end's OutputSink: the pane's text on stdout, coloured by
// text kind with ANSI escapes when asked to; or, quiet, the replies alone.
#pragma once
#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/charset_stage.h"
#include "cli/console_writer.h"
#include "cli/recent_record.h"
#include "cli/terminal_filter.h"
#include "net/output_sink.h"
#include "platform/console.h"

class ConsoleSink final : public QuietSink {
 public:
  // `query` is UTF-8. `recentPath`: the settings file whose recent-queries
  // list records each lookup; empty for none.
  ConsoleSink(std::FILE* out, bool colour, std::string query, std::string recentPath = {});
  ~ConsoleSink() override { Finish(); }
  ConsoleSink(const ConsoleSink&) = delete;
  ConsoleSink& operator=(const ConsoleSink&) = delete;

  // Quiet: `out` gets only the replies' bytes as the servers sent them, and
  // error texts go to `errors`. With `rawReplies` false (a terminal) the
  // replies keep the control-character rule of the pane's text.
  void SetQuiet(std::FILE* errors, bool rawReplies);
  // Every LF of `out` that does not follow a CR is written as CR LF (Windows).
  void SetCrLfLineEnds(bool on) { out_.filter.SetCrLf(on); }
  // A failed write of `out` raises this flag, so that the lookup stops.
  void SetCancelFlag(std::atomic<int>* flag) { out_.writer.SetCancelFlag(flag); }
  // The character set text is written in (an iconv name); by default the locale's.
  void SetCharset(const char* charset);
  // Keeps the output and the error texts in these strings instead of writing
  // them, as they would have been written.
  void CaptureOutput(std::string* output, std::string* errors) {
    out_.writer.SetMemory(output);
    errors_.writer.SetMemory(errors);
  }
  // A line of the program's own, such as a batch's "=== QUERY ===", shown
  // under the character rule even in quiet mode.
  void AppendHeading(const char* text);

  void AppendOutput(TextKind kind, const char* text) override;
  void AppendPiece(TextKind kind, const char* prefix, size_t prefixLength, const char* text, size_t length) override;
  void SetStatus(int part, const char* text) override;
  void ReplyChunk(const char* bytes, int count) override;
  bool ShowsReplyPieces() const override { return !quiet_; }
  int ReadQueryText(char* buffer, int capacity) override;
  int ReadQueryTextUtf8(char* buffer, int capacity) override { return ReadQueryText(buffer, capacity); }
  void ShareRecentQuery(const char* text) override { recent_.Record(text); }

  // Writes what is still held back and flushes, then waits until the recent
  // list holds the query. False when a write to `out` has failed, now or
  // before; WriteErrno() then tells why.
  bool Finish();
  bool WriteFailed() const { return out_.writer.Failed(); }
  int WriteErrno() const { return out_.writer.Errno(); }

 private:
  // One stream's stages, last first: the buffered writer, the character set,
  // the control-character filter.
  struct Stream {
    Stream(std::FILE* file, size_t capacity, bool stopsLookup, bool crlf, const platform::TextEncoder* encoder)
        : writer(file, capacity, stopsLookup), charset(writer, encoder), filter(charset, crlf) {}
    ConsoleWriter writer;
    CharsetStage charset;
    TerminalFilter filter;
  };
  void Append(TextKind kind, const char* prefix, size_t prefixLength, const char* text, size_t length);
  void Stage(const char* bytes, size_t count);
  void FilterStaged();

  std::unique_ptr<platform::TextEncoder> encoder_;
  Stream out_;
  // Error texts go to a text stream: the C library writes its line ends.
  Stream errors_;
  // Uncoloured reply pieces, as they came, until the end of their chunk: the
  // filter then runs once over all of them.
  std::unique_ptr<char[]> staged_;
  size_t stagedCapacity_;
  size_t stagedUsed_ = 0;
  bool colour_;
  bool quiet_ = false;
  bool rawReplies_ = true;
  bool errorLineOpen_ = false;
  std::string query_;
  RecentRecord recent_;
};
