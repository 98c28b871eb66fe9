// One whois exchange: request, reply streamed to the output, referral noted.
#pragma once
#include <cstddef>

#include "engine/classify.h"
#include "net/connection.h"

constexpr int ExchangeBufferSize = 4096;
constexpr int ReceiveChunkSize = 4000;

// Sent when the connection was made and the request sent, whatever happened
// to the reply; otherwise how it failed (reported). With followReferral,
// `referral` (HostCapacity bytes) is emptied first and receives the server
// that the reply names, if any.
// With `turnedAway`, it tells whether the reply was empty or said that the
// service is closed or moved to RDAP.
ConnectOutcome RunWhoisExchange(LookupContext& ctx, bool followReferral, const char* server, const char* query,
                                char* referral, bool* turnedAway = nullptr);

// The request line (without CR LF) that `server` expects for `query`.
void BuildWhoisRequest(const char* server, const char* query, char* buffer, int size);
