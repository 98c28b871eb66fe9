// One exchange the way the whois exchange runs it, for the connection and
// proxy tests.
#pragma once
#include <string>

#include "tests/support/test_lookup.h"

// False when the query could not be sent; otherwise the reply in `reply` and,
// when asked, the last ReceiveReply result (0 closed, -1 error or cancel).
inline bool Exchange(const std::string& server, std::string& reply, const char* query = "q", int* last = nullptr) {
  reply.clear();
  const bool sent = ConnectAndSend(server.c_str(), query);
  if (sent) {
    char buffer[4096];
    int n;
    while ((n = ReceiveReply(buffer, 4000)) > 0) reply.append(buffer, static_cast<size_t>(n));
    if (last) *last = n;
  }
  CloseConnection();
  return sent;
}
