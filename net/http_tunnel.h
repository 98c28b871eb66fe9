// Http proxy tunnel to the whois server over CurrentConnection.
#pragma once

// True when the tunnel stands; on false the failure has been reported.
bool OpenHttpTunnel(const char* host, int port);
