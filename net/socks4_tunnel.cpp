#include "net/socks4_tunnel.h"

#include "net/connection.h"
#include "net/output_sink.h"

bool OpenSocks4Tunnel(const char*, int) {
  Output().AppendOutput(Error, "Proxy Type not supported yet!\n");
  CloseConnection();
  return false;
}
