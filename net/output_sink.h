// OutputSink: everything the lookup engine and the transport need from the
// user interface. The windowed program, the console front end and the tests
// each implement it; the engine reaches the user through nothing else.
#pragma once
#include <cstddef>

// The colour class of appended text. Values outside the list are written black.
enum TextKind : int {
  Plain = 0,
  Info = 1,
  Error = 2,
  Detail = 3,
  MailLink = 4,
  Highlight = 5,
};

// Status-bar parts: activity, domain, address.
enum StatusPart : int { ActivityPart = 0, DomainPart = 1, AddressPart = 2 };

class OutputSink {
 public:
  virtual ~OutputSink() = default;
  virtual void ClearOutput() = 0;
  virtual void AppendOutput(TextKind kind, const char* text) = 0;
  // A piece of a reply: the `prefixLength` bytes at `prefix`, then the
  // `length` bytes at `text`, none of them zero, shown as AppendOutput shows
  // the two joined. By default they are joined for AppendOutput; a front end
  // that can take the bytes where they lie saves the copy.
  virtual void AppendPiece(TextKind kind, const char* prefix, std::size_t prefixLength, const char* text,
                           std::size_t length);
  virtual void SetStatus(int part, const char* text) = 0;
  virtual void SetInputLocked(bool locked) = 0;
  // Copies at most capacity - 1 characters and a terminator; returns the count.
  virtual int ReadQueryText(char* buffer, int capacity) = 0;
  // The same text as UTF-8, for a query box that holds characters the 8-bit
  // text of ReadQueryText cannot (a Unicode box in an ANSI program); -1 where
  // ReadQueryText is the whole text.
  virtual int ReadQueryTextUtf8(char* buffer, int capacity) {
    (void)buffer;
    (void)capacity;
    return -1;
  }
  virtual void SelectQueryText() = 0;
  virtual void SetMainTitle(const char* text) = 0;
  virtual void EnableSaveAs() = 0;
  virtual void ShareRecentQuery(const char* text) = 0;
  // A received chunk of a reply, every byte as the server sent it, after its
  // text has gone through AppendOutput. Only a front end that passes replies
  // on unchanged needs it.
  virtual void ReplyChunk(const char* /*bytes*/, int /*count*/) {}
  // False for a front end that shows the replies through ReplyChunk alone:
  // the exchange then leaves out splitting them into pieces for AppendOutput.
  virtual bool ShowsReplyPieces() const { return true; }
};

// A sink that shows nothing, and the base of sinks that watch only some of
// the operations.
class QuietSink : public OutputSink {
 public:
  void ClearOutput() override {}
  void AppendOutput(TextKind, const char*) override {}
  void SetStatus(int, const char*) override {}
  void SetInputLocked(bool) override {}
  int ReadQueryText(char* buffer, int capacity) override {
    if (capacity > 0) buffer[0] = '\0';
    return 0;
  }
  void SelectQueryText() override {}
  void SetMainTitle(const char*) override {}
  void EnableSaveAs() override {}
  void ShareRecentQuery(const char*) override {}
};

// printf-style AppendOutput into a bounded buffer: a text that would not fit
// is cut at the buffer's end, never written past it.
void AppendFormatted(OutputSink& out, TextKind kind, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
void SetStatusFormatted(OutputSink& out, int part, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
