#include "net/http_tunnel.h"

#include "net/connection.h"
#include "net/output_sink.h"

bool OpenHttpTunnel(const char*, int) {
  Output().AppendOutput(Error, "Proxy Type not supported yet!\n");
  CloseConnection();
  return false;
}
