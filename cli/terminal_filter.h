// The console's filter for text from servers, a stage in front of the writer:
// one character at a time, control characters become "?".
#pragma once
#include <cstddef>

#include "cli/console_writer.h"

// Passes on every valid UTF-8 character whole, but for C0 controls, DEL and
// U+0080 to U+009F, each of which becomes "?"; so does each byte that is not
// part of a valid character, and a CR that does not begin a CR LF. Tab and
// line ends stay. A text may come in parts: a CR or a character cut by the
// end of one part is decided by the next.
class TerminalFilter final : public TextStage {
 public:
  // `crlf`: an LF alone is written as CR LF (Windows).
  TerminalFilter(TextStage& next, bool crlf) : next_(next), crlf_(crlf) {}
  using TextStage::Put;
  void Put(const char* text, size_t length) override;
  // The end of the text: what is held back is written, as "?".
  void Finish();
  void SetCrLf(bool on) { crlf_ = on; }

 private:
  const char* Complete(const char* p, const char* end);
  template <bool CrLf>
  void Filter(const char* p, const char* end);

  TextStage& next_;
  bool crlf_;
  // A CR, or the first bytes of a character cut by the end of the last part.
  unsigned char held_[4] = {};
  size_t heldLength_ = 0;
};

// The length of the UTF-8 character at p: 1 to 4; 0 when [p, end) ends in
// the middle of one that is valid so far; -1 when p starts no valid
// character (a stray continuation byte, an overlong form, a surrogate, a
// code point beyond U+10FFFF).
int Utf8CharacterLength(const unsigned char* p, const unsigned char* end);
