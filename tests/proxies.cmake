# The proxy tunnels against scripted fake proxies on loopback. The real proxy
# servers run from scripts/real-proxy-tests.sh (the real_proxies test of
# tests/CMakeLists.txt), each in a network namespace of its own.
merrowgate_test(proxy_tests http_tunnel_test.cpp socks4_tunnel_test.cpp socks5_tunnel_test.cpp
               proxy_kinds_test.cpp)
