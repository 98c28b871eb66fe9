#include "engine/whois_exchange.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/address_form.h"
#include "engine/classify.h"
#include "engine/directory.h"
#include "net/connection.h"
#include "net/output_sink.h"
#include "settings/settings.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Each piece is copied into a buffer for its append. One buffer serves every
// piece, so that a long reply full of e-mail words does not cost an
// allocation per word; only the worker thread runs exchanges.
std::string& PieceBuffer() {
  static std::string buffer;
  return buffer;
}

void AppendPiece(TextKind kind, const char* prefix, const char* begin, const char* end) {
  if (begin == end) return;
  std::string& piece = PieceBuffer();
  piece.clear();  // (assign and the iterator append go the slow, overlap-safe way)
  piece.append(prefix);
  piece.append(begin, static_cast<size_t>(end - begin));
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
    AppendPiece(Plain, "", pos, wordStart);
    pos = wordStart;
    if (!at) {
      AppendPiece(Plain, "", pos, end);
      return;
    }
    const char* wordEnd = at + 1;
    while (wordEnd < end && !IsBlank(*wordEnd)) ++wordEnd;
    // A line end after the address goes with the link; spaces and tabs do not.
    while (wordEnd < end && (*wordEnd == '\r' || *wordEnd == '\n')) ++wordEnd;
    AppendPiece(MailLink, "mailto:", pos, wordEnd);
    pos = wordEnd;
  }
}

// A referral is " whois." (the name begins with the word) or " whois://" (the
// name follows the scheme); it runs to the next CR, LF, space or the end.
void ScanForReferral(char* chunk, int length, char* referral) {
  // Every byte of every reply passes here, so the text up to its first zero
  // byte is lower-cased eight bytes at a time: in `capital`, the high bit of
  // each byte that holds "A" to "Z" is set, and moved to the bit that makes
  // it lower case. No carry crosses a byte, as the high bits are cleared first.
  const void* zero = std::memchr(chunk, '\0', static_cast<size_t>(length));
  const size_t text = zero ? static_cast<size_t>(static_cast<const char*>(zero) - chunk) : static_cast<size_t>(length);
  constexpr std::uint64_t Ones = 0x0101010101010101ull, HighBits = 0x8080808080808080ull;
  size_t i = 0;
  for (; i + 8 <= text; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, chunk + i, 8);
    const std::uint64_t low = word & ~HighBits;
    const std::uint64_t fromA = low + (0x80 - 'A') * Ones;
    const std::uint64_t pastZ = low + (0x80 - 'Z' - 1) * Ones;
    const std::uint64_t capital = fromA & ~pastZ & ~word & HighBits;
    word ^= capital >> 2;
    std::memcpy(chunk + i, &word, 8);
  }
  for (; i < text; ++i) {
    const unsigned char c = static_cast<unsigned char>(chunk[i]);
    chunk[i] = static_cast<char>(c + (static_cast<unsigned char>(c - 'A') < 26u ? 'a' - 'A' : 0));
  }
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
  // The address registry has forms of its own for IPv6, prefixes and AS numbers.
  else if (std::strcmp(server, AddressRegistryServer) != 0 ||
           !BuildAddressRegistryRequest(query, buffer, static_cast<size_t>(size)))
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
    Output().ReplyChunk(buffer, n);
    if (followReferral) ScanForReferral(buffer, n, referral);
  }
  CloseConnection();
  return true;
}
