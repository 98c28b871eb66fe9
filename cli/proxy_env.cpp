#include "cli/proxy_env.h"

#include <algorithm>
#include <cstdlib>

#include "platform/sockets.h"
#include "platform/text.h"

namespace {

// The value of the first of `name` in lower case and in upper case that is set.
const char* Lookup(const EnvironmentLookup& lookup, const std::string& name, std::string& found) {
  std::string lower = LowerText(name), upper = name;
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  for (const std::string& n : {lower, upper}) {
    if (const char* value = lookup(n.c_str())) {
      found = n;
      return value;
    }
  }
  return nullptr;
}

std::string Folded(std::string text) {
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']') text = text.substr(1, text.size() - 2);
  if (!text.empty() && text.back() == '.') text.pop_back();
  return LowerText(text);
}

// The address's bytes, 4 or 16 of them.
int AddressBytes(const platform::SocketAddress& address, unsigned char bytes[16]) {
  if (address.IPv6(bytes)) return 16;
  const std::uint32_t v4 = address.IPv4();
  for (int i = 0; i < 4; ++i) bytes[i] = reinterpret_cast<const unsigned char*>(&v4)[i];
  return 4;
}

// An address entry, with or without a prefix length, against an address.
bool AddressMatches(const std::string& entry, const platform::SocketAddress& host) {
  const size_t slash = entry.find('/');
  platform::SocketAddress pattern;
  if (!platform::ParseAddress(Folded(entry.substr(0, slash)).c_str(), 0, pattern) || pattern.Family() != host.Family())
    return false;
  unsigned char a[16], b[16];
  const int length = AddressBytes(pattern, a);
  AddressBytes(host, b);
  int bits = length * 8;
  if (slash != std::string::npos) {
    const std::string digits = entry.substr(slash + 1);
    if (digits.empty() || digits.size() > 3 || digits.find_first_not_of("0123456789") != std::string::npos)
      return false;
    bits = std::atoi(digits.c_str());
    if (bits > length * 8) return false;
  }
  for (int i = 0; i < bits; ++i) {
    const int mask = 0x80 >> (i % 8);
    if ((a[i / 8] & mask) != (b[i / 8] & mask)) return false;
  }
  return true;
}

}  // namespace

bool NoProxyMatches(const std::string& noProxy, const std::string& host) {
  const std::string list(Trim(noProxy, " \t"));
  if (list == "*") return true;
  const std::string name = Folded(host);
  if (name.empty()) return false;
  platform::SocketAddress address;
  const bool isAddress = platform::ParseAddress(name.c_str(), 0, address);
  size_t start = 0;
  while (start <= list.size()) {
    const size_t comma = std::min(list.find(',', start), list.size());
    const std::string entry(Trim(list.substr(start, comma - start), " \t"));
    start = comma + 1;
    if (entry.empty()) continue;
    if (isAddress) {
      if (AddressMatches(entry, address)) return true;
      continue;
    }
    std::string pattern = Folded(entry);
    if (!pattern.empty() && pattern[0] == '.') pattern.erase(0, 1);
    if (pattern.empty()) continue;
    if (name == pattern) return true;
    if (name.size() > pattern.size() && name.compare(name.size() - pattern.size(), pattern.size(), pattern) == 0 &&
        name[name.size() - pattern.size() - 1] == '.')
      return true;
  }
  return false;
}

bool ProxyFromEnvironment(ProxyPurpose purpose, const std::string& host, const EnvironmentLookup& lookup,
                          EnvironmentProxy& result, std::string& error) {
  result = EnvironmentProxy{};
  std::string variable;
  const char* value = purpose == ProxyPurpose::Rdap ? Lookup(lookup, "https_proxy", variable) : nullptr;
  if (!value || !*value) value = Lookup(lookup, "all_proxy", variable);
  if (!value || !*value) return true;

  std::string noProxyName;
  const char* noProxy = Lookup(lookup, "no_proxy", noProxyName);
  if (noProxy && NoProxyMatches(noProxy, host)) return true;

  std::string url(Trim(value, " \t"));
  if (url.find("://") == std::string::npos) url = "http://" + url;
  if (!ParseProxyUrl(url, result.Choice, error)) {
    error = variable + ": " + error;
    result = EnvironmentProxy{};
    return false;
  }
  result.Applies = true;
  result.Variable = variable;
  return true;
}
