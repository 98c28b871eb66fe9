// A registry that shuts its port-43 server either stops listening (a failed
// connect, handled elsewhere), accepts and closes at once (an empty reply), or
// answers every query with a line or two saying where the service went. A
// notice of a closure to come, printed under a full record, does not count:
// only the first lines are read, and only phrases that say the service is
// gone already.
#include "engine/refusal_notice.h"

#include <cstring>
#include <string>

#include "platform/text.h"

namespace {

// Lower case, as they are compared with a lower-cased line.
const char* const ClosurePhrases[] = {
    "tld is not supported",  // Identity Digital's whole answer for the TLDs whose port 43 it closed
    "has been discontinued",    "is discontinued",       "was discontinued",        "has been retired",
    "has been decommissioned",  "has been shut down",    "has been switched off",   "has been turned off",
    "is no longer available",   "is no longer provided", "is no longer offered",    "is no longer supported",
    "no longer operates",       "no longer provides",    "no longer offers",        "whois service is closed",
    "port 43 is closed",        "has moved to rdap",     "moved to rdap",           "has been replaced by rdap",
    "replaced by rdap",         "rdap has replaced",     "only available via rdap", "only available through rdap",
    "only available over rdap",
};

// Lower case. Taken from the notices of registries and registrars that limit
// the query rate (PIR's "WHOIS LIMIT EXCEEDED", a registrar's "Rate limit
// exceeded. Try again after: ...", .lu's "Maximum query rate reached", DENIC's
// "access control limit reached", Verisign's "connection limit exceeded").
const char* const RateLimitPhrases[] = {
    "rate limit",          "limit exceeded",
    "query limit",         "limit reached",
    "query rate",          "too many queries",
    "too many requests",   "too many connections",
    "try again later",     "try again after",
    "please slow down",    "quota exceeded",
    "exceeded your quota", "exceeded the maximum allowable",
    "excessive queries",   "excessive querying",
    "server too busy",
};

// A line of at most this many characters is compared; the rest is cut off.
constexpr size_t LineLimit = 512;
// The first lines are looked for in this many bytes at most.
constexpr size_t ScanLimit = 8192;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0' || c == '\f' || c == '\v'; }

template <size_t N>
bool Says(const std::string& line, const char* const (&phrases)[N]) {
  for (const char* phrase : phrases)
    if (line.find(phrase) != std::string::npos) return true;
  return false;
}

bool IsBlankText(const char* reply, size_t length) {
  size_t i = 0;
  while (i < length && IsBlank(reply[i])) ++i;
  return i == length;
}

// Whether one of the first lines of text of `reply` holds one of `phrases`.
template <size_t N>
bool FirstLinesSay(const char* reply, size_t length, const char* const (&phrases)[N]) {
  const size_t end = length < ScanLimit ? length : ScanLimit;
  size_t i = 0;
  int lines = 0;
  std::string line;
  while (i < end && lines < RefusalLinesRead) {
    const void* found = std::memchr(reply + i, '\n', end - i);
    const size_t stop = found ? static_cast<size_t>(static_cast<const char*>(found) - reply) : end;
    line.clear();
    for (size_t k = i; k < stop && line.size() < LineLimit; ++k) {
      // Runs of blanks count as one, so that "no  longer" matches too.
      const char c = IsBlank(reply[k]) ? ' ' : Lower(reply[k]);
      if (c != ' ' || (!line.empty() && line.back() != ' ')) line += c;
    }
    // A line of comment marks or dashes alone is no line of text.
    bool text = false;
    for (const char c : line) text = text || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (text) {
      if (Says(line, phrases)) return true;
      ++lines;
    }
    i = stop + 1;
  }
  return false;
}

}  // namespace

bool TurnsAway(const char* reply, size_t length) {
  return !reply || IsBlankText(reply, length) || FirstLinesSay(reply, length, ClosurePhrases);
}

bool IsRateLimitNotice(const char* reply, size_t length) {
  return reply && length <= RateLimitNoticeLimit && FirstLinesSay(reply, length, RateLimitPhrases);
}
