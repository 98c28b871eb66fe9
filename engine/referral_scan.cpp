#include "engine/referral_scan.h"

#include <cstdint>
#include <cstring>

#include "net/connection.h"
#include "platform/byte_scan.h"
#include "platform/text.h"

namespace {

bool EndsReferral(char c) { return c == '\r' || c == '\n' || c == ' '; }

// Where the referral begins in a candidate that starts with its space:
// " whois." (the name begins with the word) or " whois://" (the name follows
// the scheme), letters in any case. -1 when it does not qualify; with
// `undecided` set when its `length` bytes end too early to tell.
int ReferralStart(const char* candidate, size_t length, bool& undecided) {
  static const char Marker[] = " whois://";
  undecided = false;
  for (size_t i = 1; i < sizeof Marker - 1; ++i) {
    if (i == length) {
      undecided = true;
      return -1;
    }
    if (i == 6 && candidate[i] == '.') return 1;
    if (Lower(candidate[i]) != Marker[i]) return -1;
  }
  return static_cast<int>(sizeof Marker - 1);
}

// The next space followed by "w" or "W" in [from, end), or end. Every byte of
// every reply passes here; such a pair is rare in whois text.
const char* FindSpaceW(const char* from, const char* end) {
  static constexpr platform::ByteSet Space{{' ', ' '}}, W{{'W', 'W'}, {'w', 'w'}};
  return platform::FindBytePair(from, end, Space, W);
}

}  // namespace

ReferralScan::ReferralScan(const char* asked, char* referral) : asked_(asked), referral_(referral) {}

// A name is taken in lower case and cut to the field, unless it names the
// server that was just asked (host and port, letter case ignored): the .jp
// registry's banner, for one, tells how to ask it again.
bool ReferralScan::Take(const char* name, size_t length) {
  char taken[HostCapacity];
  if (length > HostCapacity - 1) length = HostCapacity - 1;  // an overlong name is taken cut
  for (size_t i = 0; i < length; ++i) taken[i] = Lower(name[i]);
  taken[length] = '\0';
  const ServerAddress candidate = SplitServerText(taken);
  const ServerAddress current = SplitServerText(asked_);
  if (candidate.Port == current.Port && EqualsIgnoringCase(candidate.Host, current.Host)) return false;
  std::memcpy(referral_, taken, length + 1);
  return true;
}

// The candidate runs to the end of the chunk: it is kept until the next chunk
// completes it. Meanwhile, once it qualifies, it stands as the referral, so a
// reply that ends here still has it.
void ReferralScan::Open(const char* candidate, size_t length) {
  openLength_ = length < static_cast<size_t>(OpenCapacity) ? length : OpenCapacity;
  std::memcpy(open_, candidate, openLength_);
  Settle(openLength_ == static_cast<size_t>(OpenCapacity));  // full: the rest would be cut
}

void ReferralScan::Settle(bool complete) {
  bool undecided;
  const int start = ReferralStart(open_, openLength_, undecided);
  if (start >= 0) {
    if (!provisional_) std::memcpy(before_, referral_, HostCapacity);
    provisional_ = true;
    if (!Take(open_ + start, openLength_ - static_cast<size_t>(start))) std::memcpy(referral_, before_, HostCapacity);
  }
  if (complete || (start < 0 && !undecided)) {
    openLength_ = 0;
    provisional_ = false;
  }
}

// Within one chunk the first qualifying name wins; over the reply the last
// chunk that has one. A candidate cut by the chunk's end belongs to the chunk
// it began in.
void ReferralScan::ScanText(const char* text, size_t from, size_t length, bool endsHere) {
  const char* const end = text + length;
  for (const char* hit = FindSpaceW(text + from, end); hit != end; hit = FindSpaceW(hit + 1, end)) {
    bool undecided;
    const int start = ReferralStart(hit, static_cast<size_t>(end - hit), undecided);
    if (start < 0) {
      if (undecided && !endsHere) Open(hit, static_cast<size_t>(end - hit));
      if (undecided) return;
      continue;
    }
    const char* name = hit + start;
    const char* stop = name;
    while (stop < end && !EndsReferral(*stop)) ++stop;
    if (stop == end && !endsHere) {
      Open(hit, static_cast<size_t>(end - hit));
      return;
    }
    if (Take(name, static_cast<size_t>(stop - name))) return;
  }
  if (!endsHere && length > from && text[length - 1] == ' ') Open(end - 1, 1);
}

void ReferralScan::Scan(const char* chunk, int length) {
  const size_t received = length > 0 ? static_cast<size_t>(length) : 0;
  const void* zero = std::memchr(chunk, '\0', received);
  const size_t text = zero ? static_cast<size_t>(static_cast<const char*>(zero) - chunk) : received;
  // Bytes after a zero byte are not shown, so they are not searched either.
  const bool endsHere = text < received;
  size_t from = 0;
  if (openLength_ > 0) {
    while (from < text && !EndsReferral(chunk[from])) ++from;
    const size_t room = static_cast<size_t>(OpenCapacity) - openLength_;
    const size_t taken = from < room ? from : room;
    std::memcpy(open_ + openLength_, chunk, taken);
    openLength_ += taken;
    Settle(from < text || endsHere || taken < from || openLength_ == static_cast<size_t>(OpenCapacity));
  }
  ScanText(chunk, from, text, endsHere);
}

void ScanForReferral(const char* chunk, int length, char* referral) {
  ReferralScan scan("", referral);
  scan.Scan(chunk, length);
}
