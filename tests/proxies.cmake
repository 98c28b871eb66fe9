# The proxy tunnels against scripted fake proxies on loopback. The real proxy
# servers are driven by scripts/real-proxy-tests.sh instead: they need a
# network namespace of their own.
merrowgate_test(proxy_tests http_tunnel_test.cpp socks4_tunnel_test.cpp socks5_tunnel_test.cpp
               proxy_kinds_test.cpp)
