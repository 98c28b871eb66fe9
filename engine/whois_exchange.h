// One whois exchange: request, reply streamed to the output, referral noted.
#pragma once

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

// Lower-cases the chunk in place and, when it names another whois server,
// copies that name into `referral` (HostCapacity bytes). `length` counts the
// received bytes.
void ScanForReferral(char* chunk, int length, char* referral);
