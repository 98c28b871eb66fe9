// Whether a port-43 reply turns the user away instead of answering: the
// registry closed its whois service (or moved it to RDAP) and says so, or
// sends nothing at all. Such a lookup is better asked over RDAP.
#pragma once
#include <cstddef>

// Only this many non-blank lines at the start of a reply are read.
constexpr int RefusalLinesRead = 6;

// True for an empty (or blank) reply and for one whose first lines say that
// the service is discontinued, closed or moved to RDAP.
bool TurnsAway(const char* reply, size_t length);

// A rate-limit notice is short: a reply longer than this is an answer,
// whatever its first lines say.
constexpr size_t RateLimitNoticeLimit = 2048;

// True for a short reply whose first lines say that the server limits the
// query rate and will not answer now ("WHOIS LIMIT EXCEEDED", "Too many
// queries, try again later").
bool IsRateLimitNotice(const char* reply, size_t length);
