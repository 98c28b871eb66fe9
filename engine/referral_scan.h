// The scan of a reply for the name of another whois server (a referral).
#pragma once
#include <cstddef>

#include "engine/classify.h"

// Watches the chunks of one reply for the name of another whois server (a
// referral). The chunks are searched as they came, without regard to letter
// case; the referral is written in lower case. A name that the end of a chunk
// cuts is completed from the start of the next.
class ReferralScan {
 public:
  // `asked`: the server text of this exchange, never taken as its own
  // referral. `referral` (HostCapacity bytes) keeps its content unless a chunk
  // names another server.
  ReferralScan(const char* asked, char* referral);
  // One received chunk of `length` bytes; its text ends at its first zero byte.
  void Scan(const char* chunk, int length);

 private:
  // Room for a candidate cut by a chunk's end: " whois://" and the longest
  // referral that is kept.
  static constexpr int OpenCapacity = 9 + HostCapacity;

  void ScanText(const char* text, size_t from, size_t length, bool endsHere);
  void Open(const char* candidate, size_t length);
  void Settle(bool complete);
  bool Take(const char* name, size_t length);

  const char* asked_;
  char* referral_;
  char open_[OpenCapacity];  // the cut candidate from its space on
  size_t openLength_ = 0;
  bool provisional_ = false;   // `referral_` holds the cut candidate so far
  char before_[HostCapacity];  // and this is what it held before
};

// One chunk scanned on its own, as the whole of a reply from no particular
// server.
void ScanForReferral(const char* chunk, int length, char* referral);
