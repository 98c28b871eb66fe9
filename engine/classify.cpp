#include "engine/classify.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/address_form.h"
#include "engine/directory.h"
#include "engine/lookup_context.h"
#include "engine/rdap_bootstrap.h"
#include "engine/rdap_exchange.h"
#include "net/output_sink.h"
#include "net/rdap_transport.h"
#include "platform/decimal.h"
#include "platform/idn.h"
#include "platform/sockets.h"
#include "platform/text.h"

void NormalizeQueryText(char* text) {
  size_t skip = std::strspn(text, " \t");
  std::memmove(text, text + skip, std::strlen(text + skip) + 1);

  if (char* scheme = std::strstr(text, "://")) {
    std::memmove(text, scheme + 3, std::strlen(scheme + 3) + 1);
    // Cut at the first "/", space or ":", unless the text begins with it.
    const size_t cut = std::strcspn(text, "/ :");
    if (cut > 0) text[cut] = '\0';
  }

  size_t n = std::strlen(text);
  while (n > 0 && text[n - 1] == ' ') text[--n] = '\0';
}

namespace {

// A packed address: all digits, read as a decimal number that must fit 32 bits
// and be non-zero. Writes the dotted form into `ip`.
bool UnpackAddress(const char* digits, char* ip) {
  long long value = 0;  // never wrapped into another address
  if (!platform::ParseDecimal(digits, std::strlen(digits), 1, 0xFFFFFFFFll, value)) return false;
  std::snprintf(ip, IPCapacity, "%u.%u.%u.%u", static_cast<unsigned>(value >> 24),
                static_cast<unsigned>((value >> 16) & 0xFF), static_cast<unsigned>((value >> 8) & 0xFF),
                static_cast<unsigned>(value & 0xFF));
  return true;
}

// Host information as the pane shows it, one append per piece.
// The IPv4 addresses of the entry come first, then `extra` (IPv6 addresses).
void PrintHostEntry(OutputSink& out, const platform::HostEntry& entry, const std::vector<std::string>& extra) {
  out.AppendOutput(Plain, "Name:\t\t");
  out.AppendOutput(Plain, entry.Name.c_str());
  out.AppendOutput(Plain, "\n");

  std::vector<std::string> addresses;
  for (const std::uint32_t a : entry.Addresses) addresses.push_back(platform::FormatIPv4(a));
  addresses.insert(addresses.end(), extra.begin(), extra.end());
  out.AppendOutput(Plain, "IP:\t\t");
  const size_t count = addresses.size();
  if (count == 0) out.AppendOutput(Plain, "\n");
  for (size_t i = 0; i < count; ++i) {
    out.AppendOutput(Plain, addresses[i].c_str());
    const bool more = i + 1 < count;
    if (more) out.AppendOutput(Plain, ", ");
    if ((i + 1) % 4 == 0) out.AppendOutput(Plain, "\n");
    if (more) out.AppendOutput(Plain, "\t\t");
  }
  if (count % 4 != 0) out.AppendOutput(Plain, "\n");

  if (!entry.Aliases.empty()) {
    out.AppendOutput(Plain, "Aliases:\t");
    const size_t aliases = entry.Aliases.size();
    for (size_t i = 0; i < aliases; ++i) {
      out.AppendOutput(Plain, entry.Aliases[i].c_str());
      if (i + 1 < aliases) out.AppendOutput(Plain, ",  ");
      if ((i + 1) % 6 == 0) out.AppendOutput(Plain, "\n\t");
    }
    out.AppendOutput(Plain, "\n");
  }
}

bool HasNonAscii(const char* text) {
  for (; *text; ++text)
    if (static_cast<unsigned char>(*text) > 0x7F) return true;
  return false;
}

}  // namespace

bool ConvertQueryToAscii(OutputSink& out, char* query, int capacity) {
  // The window's box is Unicode while its 8-bit text is in the ANSI code
  // page, where a Japanese name on a Western system is only "??"; its UTF-8
  // text is the one converted then. The 8-bit text is the one shown.
  char unicode[QueryBufferSize];
  const char* source = query;
  platform::TextEncoding encoding = platform::TextEncoding::Native;
  if (out.ReadQueryTextUtf8(unicode, QueryBufferSize - 1) > 0) {
    unicode[QueryBufferSize - 1] = '\0';
    NormalizeQueryText(unicode);
    if (HasNonAscii(unicode)) {
      source = unicode;
      encoding = platform::TextEncoding::Utf8;
    }
  }
  if (!HasNonAscii(source)) return true;

  std::string ascii, error;
  if (!platform::NameToAscii(source, encoding, ascii, error)) {
    AppendFormatted(out, Error, "IDN: %s has no ASCII form: %s.\n", query, error.c_str());
    return false;
  }
  AppendFormatted(out, Info, "IDN: %s -> %s\n", query, ascii.c_str());
  CopyText(query, capacity, ascii.c_str());
  return true;
}

namespace {

// The query box's text as one cleaned-up line; false when nothing is left.
bool ReadQuery(OutputSink& out, char* query) {
  query[0] = '\0';
  if (out.ReadQueryText(query, QueryBufferSize - 1) <= 0) return false;
  query[QueryBufferSize - 1] = '\0';
  BlankControlCharacters(query);  // a query is one line, wherever it came from
  NormalizeQueryText(query);
  return query[0] != '\0';
}

// Packed and dotted addresses, IPv6 addresses, prefixes and AS numbers go to
// target.IP (the latter three asked about as typed, at the address registry
// only). False after an Error line for a packed number that is no address.
bool ReadAddressForm(OutputSink& out, const char* query, LookupTarget& target, AddressForm& form) {
  const char* p = query;
  while (IsDigit(*p)) ++p;
  if (*p == '\0') {
    if (!UnpackAddress(query, target.IP)) {
      out.AppendOutput(Error, "Invalid Packed IP address.");
      return false;
    }
    AppendFormatted(out, Info, "Packed IP: %s\n", target.IP);
  } else if (*p == '.') {
    while (IsDigit(*p) || *p == '.') ++p;
    if (*p == '\0') CopyText(target.IP, IPCapacity, query);
  }
  form = target.IP[0] ? AddressForm::NotAddress : ClassifyAddressForm(query);
  if (form != AddressForm::NotAddress) CopyText(target.IP, IPCapacity, query);
  return true;
}

// An address query: checked, then resolved to its name when asked to.
bool ResolveAddressQuery(LookupContext& ctx, const char* query, AddressForm form, LookupTarget& target,
                         platform::HostEntry& entry, std::vector<std::string>& v6, bool& haveEntry) {
  OutputSink& out = ctx.Out;
  AppendFormatted(out, Info, "Checking IP: %s...\n", target.IP);
  const std::uint32_t address = form == AddressForm::NotAddress ? platform::ParseIPv4(target.IP)
                                                                : platform::AddressNone;
  if (form == AddressForm::Malformed || (form == AddressForm::NotAddress && address == platform::AddressNone)) {
    out.AppendOutput(Error, StartsWithIgnoringCase(query, "as") ? "Invalid AS number." : "Invalid IP address.");
    target.IP[0] = '\0';
    return false;
  }
  // An address, IPv4 or IPv6, is resolved to its name (in-addr.arpa or
  // ip6.arpa); prefixes and AS numbers have none.
  platform::SocketAddress address6;
  const bool isV6 = form == AddressForm::IPv6 && platform::ParseAddress(target.IP, 0, address6);
  if (ctx.Options.ReverseIP && (form == AddressForm::NotAddress || isV6)) {
    AppendFormatted(out, Info, "Resolving IP: %s...\n", target.IP);
    SetStatusFormatted(out, AddressPart, "IP: %s", target.IP);
    if (isV6) {
      haveEntry = platform::ResolveAddressName(address6, entry.Name);
      if (haveEntry) v6.assign(1, target.IP);
    } else {
      haveEntry = platform::ResolveAddress(address, entry);
    }
    if (haveEntry) CopyText(target.Host, HostCapacity, entry.Name.c_str());
    else out.AppendOutput(Error, "Failed Domain Lookup.\n");
  }
  target.Kind = IpAddress;
  return true;
}

// A name query: put into its ASCII form, then resolved when asked to.
bool ResolveNameQuery(LookupContext& ctx, char* query, LookupTarget& target, platform::HostEntry& entry,
                      std::vector<std::string>& v6, bool& haveEntry) {
  OutputSink& out = ctx.Out;
  CopyText(target.Typed, QueryBufferSize, query);
  if (!ConvertQueryToAscii(out, query, QueryBufferSize)) return false;
  CopyText(target.Host, HostCapacity, query);
  if (ctx.Options.ResolveDomain) {
    AppendFormatted(out, Info, "Resolving Host: %s...\n", target.Host);
    haveEntry = platform::ResolveName(target.Host, entry);
    // Its IPv6 addresses too; a host that has only those is asked about by
    // its first one.
    std::vector<platform::SocketAddress> all;
    if (platform::ResolveAll(target.Host, 0, all))
      for (const platform::SocketAddress& a : all)
        if (a.Family() == platform::AddressFamily::IPv6) v6.push_back(platform::FormatAddress(a));
    if (!haveEntry && !v6.empty()) {
      entry = platform::HostEntry{};
      entry.Name = target.Host;
      haveEntry = true;
    }
    if (haveEntry) {
      CopyText(target.IP, IPCapacity,
               entry.Addresses.empty() ? v6.front().c_str() : platform::FormatIPv4(entry.Addresses.front()).c_str());
      if (std::strstr(target.Host, entry.Name.c_str())) CopyText(target.Domain, DomainCapacity, entry.Name.c_str());
    } else {
      out.AppendOutput(Error, "Failed Domain Lookup.\n");
    }
  }
  target.Kind = HostName;
  return true;
}

// The domain of a host query and its whois server from the directory.
const char* PickDomainServer(LookupContext& ctx, LookupTarget& target) {
  OutputSink& out = ctx.Out;
  const char* server = nullptr;
  if (!target.Domain[0]) CopyText(target.Domain, DomainCapacity, target.Host);
  if (std::strlen(target.Host) > 5 && StartsWithIgnoringCase(target.Host, "www.") && std::strchr(target.Host + 4, '.'))
    CopyText(target.Domain, DomainCapacity, target.Host + 4);
  // The status bar shows the domain as typed where it is the typed name.
  const char* shown = target.Domain;
  if (target.Typed[0] && std::strcmp(target.Domain, target.Host) == 0) shown = target.Typed;
  else if (target.Typed[0] && std::strlen(target.Host) > 4 && std::strcmp(target.Domain, target.Host + 4) == 0 &&
           StartsWithIgnoringCase(target.Typed, "www."))
    shown = target.Typed + 4;
  SetStatusFormatted(out, DomainPart, "Domain: %s", shown);
  AppendFormatted(out, Highlight, "Domain:\t%s\n", target.Domain);
  switch (FindTldKind(target.Domain, &server)) {
    case TldKind::Listed:
    case TldKind::Whois: break;
    case TldKind::None:
    case TldKind::Web: {
      // A known registry without a port-43 service: its RDAP service is
      // asked where the bootstrap knows one; else the default server, which
      // still knows who runs it. No fault to report either way.
      const std::string rdap = RdapServiceKnown(ctx, target.Domain) ? UrlHost(RdapQueryUrl(target.Domain)) : "";
      AppendFormatted(out, Info, "The registry of .%s runs no whois server on port 43; asking %s.\n",
                      std::strrchr(target.Domain, '.') + 1,
                      rdap.empty() ? DefaultWhoisServer : ("its RDAP service at " + rdap).c_str());
      server = DefaultWhoisServer;  // the whois fallback when RDAP cannot answer
      break;
    }
    case TldKind::Unknown:
      out.AppendOutput(Error,
                       "Don't know which Top Level Domain this server belongs to!\n"
                       "Please contact me with the domain name so I can fix this.\n"
                       "Falling back to the default server.");
      server = DefaultWhoisServer;
      break;
  }
  return server;
}

}  // namespace

const char* ClassifyQuery(LookupContext& ctx, LookupTarget& target) {
  OutputSink& out = ctx.Out;
  target.Typed[0] = target.Host[0] = target.IP[0] = target.Domain[0] = '\0';
  char query[QueryBufferSize];
  if (!ReadQuery(out, query)) return nullptr;

  out.ClearOutput();
  target.Kind = Undecided;
  AddressForm form = AddressForm::NotAddress;
  if (!ReadAddressForm(out, query, target, form)) return nullptr;

  out.SetStatus(DomainPart, "Domain:");
  out.SetStatus(AddressPart, "IP:");

  platform::HostEntry entry;
  std::vector<std::string> v6;  // the IPv6 addresses of the entry
  bool haveEntry = false;
  const bool classified = target.IP[0] ? ResolveAddressQuery(ctx, query, form, target, entry, v6, haveEntry)
                                       : ResolveNameQuery(ctx, query, target, entry, v6, haveEntry);
  if (!classified) return nullptr;

  if (haveEntry) {
    PrintHostEntry(out, entry, v6);
  } else {
    if (target.Host[0]) AppendFormatted(out, Plain, "Hostname:\t%s\n", target.Host);
    if (target.IP[0]) AppendFormatted(out, Plain, "IP:\t\t%s\n", target.IP);
  }
  if (target.IP[0]) SetStatusFormatted(out, AddressPart, "IP: %s", target.IP);

  const char* server = target.Host[0] ? PickDomainServer(ctx, target) : nullptr;
  if (ctx.StopRequested()) return nullptr;
  return server;
}
