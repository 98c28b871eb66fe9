// One whois exchange: request, reply streamed to the output, referral noted.
#pragma once
#include <cstddef>

#include "engine/classify.h"

constexpr int ExchangeBufferSize = 4096;
constexpr int ReceiveChunkSize = 4000;

// True when the connection was made and the request sent, whatever happened
// to the reply. With followReferral, `referral` (HostCapacity bytes) is emptied
// first and receives the server that the reply names, if any.
bool RunWhoisExchange(bool followReferral, const char* server, const char* query, char* referral);

// The request line (without CR LF) that `server` expects for `query`.
void BuildWhoisRequest(const char* server, const char* query, char* buffer, int size);

// Appends one received chunk (up to its first zero byte), e-mail words as
// "mailto:" links.
void EmitReplyChunk(const char* text);

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
  bool provisional_ = false;  // `referral_` holds the cut candidate so far
  char before_[HostCapacity];  // and this is what it held before
};

// One chunk scanned on its own, as the whole of a reply from no particular
// server.
void ScanForReferral(const char* chunk, int length, char* referral);
