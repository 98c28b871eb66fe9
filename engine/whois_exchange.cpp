#include "engine/whois_exchange.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/classify.h"
#include "engine/directory.h"
#include "net/connection.h"
#include "net/output_sink.h"
#include "settings/settings.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void AppendPiece(TextKind kind, const char* begin, const char* end) {
  if (begin == end) return;
  const std::string piece(begin, end);
  Output().AppendOutput(kind, piece.c_str());
}

}  // namespace

void EmitReplyChunk(const char* text) {
  const char* pos = text;
  const char* const end = text + std::strlen(text);
  while (pos < end) {
    const char* at = static_cast<const char*>(std::memchr(pos, '@', static_cast<size_t>(end - pos)));
    const char* limit = at ? at : end;
    const char* wordStart = limit;
    while (wordStart > pos && !IsBlank(wordStart[-1])) --wordStart;
    AppendPiece(Plain, pos, wordStart);
    pos = wordStart;
    if (!at) {
      AppendPiece(Plain, pos, end);
      return;
    }
    const char* wordEnd = at + 1;
    while (wordEnd < end && !IsBlank(*wordEnd)) ++wordEnd;
    // A line end after the address goes with the link; spaces and tabs do not.
    while (wordEnd < end && (*wordEnd == '\r' || *wordEnd == '\n')) ++wordEnd;
    Output().AppendOutput(MailLink, ("mailto:" + std::string(pos, wordEnd)).c_str());
    pos = wordEnd;
  }
}

// A referral is " whois." (the name begins with the word) or " whois://" (the
// name follows the scheme); it runs to the next CR, LF, space or the end.
void ScanForReferral(char* chunk, int length, char* referral) {
  for (int i = 0; i < length && chunk[i]; ++i)
    if (chunk[i] >= 'A' && chunk[i] <= 'Z') chunk[i] = static_cast<char>(chunk[i] - 'A' + 'a');
  const char* end = chunk + length;
  const char* hit = chunk;
  while ((hit = std::strstr(hit, " whois")) != nullptr) {
    const char* after = hit + 6;
    const char* begin = nullptr;
    if (*after == '.')
      begin = hit + 1;
    else if (after[0] == ':' && after[1] == '/' && after[2] == '/')
      begin = after + 3;
    if (!begin) {
      ++hit;
      continue;
    }
    const char* stop = begin;
    while (stop < end && *stop && *stop != '\r' && *stop != '\n' && *stop != ' ') ++stop;
    size_t n = static_cast<size_t>(stop - begin);
    if (n > HostCapacity - 1) n = HostCapacity - 1;  // an overlong name is taken cut
    std::memcpy(referral, begin, n);
    referral[n] = '\0';
    return;
  }
}

// The com and net registry wants "domain = name" (a bare name also matches
// host records there); the jp registry answers in English only with "/e".
// Both servers are recognised by their exact directory text.
void BuildWhoisRequest(const char* server, const char* query, char* buffer, int size) {
  if (std::strcmp(server, ComNetServer) == 0)
    std::snprintf(buffer, static_cast<size_t>(size), "domain = %s", query);
  else
    std::snprintf(buffer, static_cast<size_t>(size), "%s", query);
  if (std::strcmp(server, JpServer) == 0) {
    const size_t n = std::strlen(buffer);
    std::snprintf(buffer + n, static_cast<size_t>(size) - n, "/e");
  }
}

bool RunWhoisExchange(bool followReferral, const char* server, const char* query, char* referral) {
  AppendFormatted(Info, "\nSending request for domain: %s...\n", query);

  char buffer[ExchangeBufferSize];
  BuildWhoisRequest(server, query, buffer, ExchangeBufferSize);

  if (followReferral) referral[0] = '\0';
  if (!ConnectAndSend(server, buffer)) {
    CloseConnection();
    return false;
  }
  Output().SetStatus(ActivityPart, "Waiting for reply...");

  int n;
  while ((n = ReceiveReply(buffer, ReceiveChunkSize)) > 0) {
    buffer[n] = '\0';
    EmitReplyChunk(buffer);
    if (followReferral) ScanForReferral(buffer, n, referral);
  }
  CloseConnection();
  return true;
}
