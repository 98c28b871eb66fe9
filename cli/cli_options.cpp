#include "cli/cli_options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/classify.h"
#include "platform/decimal.h"
#include "platform/sockets.h"
#include "platform/text.h"
#include "version.h"

const char CliVersionText[] = MERROWGATE_VERSION;

namespace {

const char Usage[] =
    "Usage: merrowgate-cli [options] <domain> | <host> | <IP> ...\n"
    "       merrowgate-cli [options] -f FILE\n"
    "\n"
    "Looks each query up at the whois servers that know about it and prints the\n"
    "replies; several queries are shown in their order, each under a line\n"
    "\"=== QUERY ===\".\n"
    "\n"
    "Options:\n"
    "  -h, --host HOST[:PORT]    ask this whois server (and the server it refers to)\n"
    "  -p, --port PORT           the port of --host (default 43)\n"
    "  --no-referral             ask only the first server\n"
    "  -q, --quiet               print only the replies, as the servers sent them;\n"
    "                            errors go to stderr\n"
    "  --verbose                 print progress, banners and replies (default)\n"
    "  --timeout SECONDS         give up on a server silent this long (default 60,\n"
    "                            0 waits for ever)\n"
    "  --settings FILE           settings file (default: merrowgate.ini beside the\n"
    "                            program if there is one, else in\n"
    "                            ~/.config/merrowgate/ or $XDG_CONFIG_HOME/merrowgate/)\n"
    "  --resolve, --no-resolve   resolve host names to addresses\n"
    "  --reverse, --no-reverse   resolve addresses to host names\n"
    "  --abuse, --no-abuse       ask the abuse-contact service as well\n"
    "  --proxy URL               connect through a proxy: http://, socks4://,\n"
    "                            socks4a://, socks5:// or socks5h://, with\n"
    "                            user:pass@ if needed\n"
    "  --no-proxy                ignore ALL_PROXY, HTTPS_PROXY and NO_PROXY\n"
    "  --proxy-debug             show the proxy exchange\n"
    "  --rdap                    ask the registries' RDAP services first for every\n"
    "                            step\n"
    "  --json                    print one JSON record a query, a line each: the\n"
    "                            registration's fields and every exchange (RDAP\n"
    "                            first, whois where it has no answer)\n"
    "  -f, --file FILE           read queries from FILE, one a line (- for stdin;\n"
    "                            blank lines and # comments are skipped)\n"
    "  -j, --jobs N              run up to N lookups at once (default 4, at most 64)\n"
    "  --per-server N            at most N connections to one server at a time\n"
    "                            (default 2)\n"
    "  --expires-within DAYS     exit 3 when a domain expires within DAYS; a domain\n"
    "                            without an expiry date counts as failed\n"
    "  --color=WHEN              colour the output: auto (default), always, never;\n"
    "                            auto means on a terminal, unless NO_COLOR is set\n"
    "                            or TERM is dumb\n"
    "  --help                    show this text\n"
    "  --version                 show the version\n"
    "\n"
    "Without --proxy or an enabled proxy in the settings file, ALL_PROXY (whois\n"
    "and RDAP) and HTTPS_PROXY (RDAP) are used as curl uses them, NO_PROXY too.\n"
    "A server that answers with a rate-limit notice (or HTTP 429) is paused and\n"
    "asked again, up to 3 times.\n"
    "A single lookup is recorded in the settings file's recent-queries list,\n"
    "which the Windows program shares; no other setting is written.\n"
    "Ctrl-C cancels the lookups; a second Ctrl-C quits.\n"
    "Exit status: 0 when every query was answered, 1 when one was not or the\n"
    "output could not be written, 2 for bad options, 3 when --expires-within\n"
    "found a domain expiring, 130 after Ctrl-C.\n";

int BadOption(const std::string& message) {
  std::fprintf(stderr, "merrowgate-cli: %s\nTry 'merrowgate-cli --help'.\n", message.c_str());
  return 2;
}

// A whole decimal number from `low` to `high`, digits only.
bool ParseNumber(const std::string& text, long low, long high, long& value) {
  return platform::ParseDecimal(text.c_str(), text.size(), low, high, value);
}

// --host's HOST[:PORT] in its server and ":PORT" (or nothing). An IPv6
// address stands bare, or in brackets when a port follows ("[2001:db8::1]:4343").
void SplitHostText(const std::string& text, std::string& host, std::string& rest) {
  const size_t close = !text.empty() && text[0] == '[' ? text.find(']') : std::string::npos;
  const size_t colon = text.find(':');
  if (close != std::string::npos && (close + 1 == text.size() || text[close + 1] == ':')) {
    host = text.substr(1, close - 1);
    rest = text.substr(close + 1);
  } else if (colon != std::string::npos && text.find(':', colon + 1) != std::string::npos) {
    host = text;  // two colons or more: a bare IPv6 address
    rest.clear();
  } else {
    host = text.substr(0, colon);
    rest = colon == std::string::npos ? "" : text.substr(colon);
  }
}

// HOST[:PORT] of --host: a name or address without blanks or controls.
bool ValidHost(const std::string& text, std::string& error) {
  std::string host, rest;
  SplitHostText(text, host, rest);
  long port;
  if (host.empty() || host.size() > 253) {
    error = "--host needs a server name of 1 to 253 characters";
    return false;
  }
  // Colons in the server itself: an IPv6 address, nothing else.
  platform::SocketAddress address;
  bool bad = host.find(':') != std::string::npos &&
             !(platform::ParseAddress(host.c_str(), 0, address) && address.Family() == platform::AddressFamily::IPv6);
  for (char c : host) {
    const unsigned char u = static_cast<unsigned char>(c);
    bad = bad || u <= ' ' || u == 0x7F || c == '/' || c == '@' || c == '[' || c == ']';
  }
  if (bad) {
    error = "bad whois server name '" + host + "'";
    return false;
  }
  if (!rest.empty() && !ParseNumber(rest.substr(1), 1, 65535, port)) {
    error = "bad port in '" + text + "' (1 to 65535)";
    return false;
  }
  return true;
}

// The arguments, walked one by one; an option with a value takes the next
// one where the value is not joined to its name.
struct ArgumentWalk {
  ArgumentWalk(int count, char** values) : argc(count), argv(values) {}
  int argc;
  char** argv;
  int i = 1;
  std::string arg;   // the argument at i
  std::string text;  // the value of the option just matched
  int got = 0;       // 1 value taken, 0 not this option, -1 value missing

  // "--name=VALUE", "--name VALUE", and for a short name also "-xVALUE" and
  // "-x VALUE".
  bool Option(const char* name, char shortName = 0) {
    got = Value(name, shortName);
    return got != 0;
  }
  int Value(const char* name, char shortName) {
    const size_t n = std::strlen(name);
    if (arg.compare(0, n, name) == 0 && arg.size() > n && arg[n] == '=') {
      text = arg.substr(n + 1);
      return 1;
    }
    const bool isShort = shortName && arg[0] == '-' && arg[1] == shortName;
    if (isShort && arg.size() > 2) {
      text = arg.substr(2);
      return 1;
    }
    if (arg != name && !(isShort && arg.size() == 2)) return 0;
    if (i + 1 >= argc) return -1;
    text = argv[++i];
    return 1;
  }
};

// A flag without a value; false when `arg` is none of them.
bool TakeFlag(const std::string& arg, CliOptions& o) {
  if (arg == "-q" || arg == "--quiet") o.Quiet = true;
  else if (arg == "--verbose") o.Quiet = false;
  else if (arg == "--no-referral") o.FirstServerOnly = true;
  else if (arg == "--resolve") o.Resolve = 1;
  else if (arg == "--no-resolve") o.Resolve = 0;
  else if (arg == "--reverse") o.Reverse = 1;
  else if (arg == "--no-reverse") o.Reverse = 0;
  else if (arg == "--abuse") o.Abuse = 1;
  else if (arg == "--no-abuse") o.Abuse = 0;
  else if (arg == "--proxy-debug") o.ProxyDebug = true;
  else if (arg == "--rdap") o.Rdap = true;
  else if (arg == "--json") o.Json = true;
  else if (arg == "--no-proxy") o.NoProxy = true;
  else return false;
  return true;
}

// One option at w.arg: -1 when taken, else the exit status.
int TakeOption(ArgumentWalk& w, CliOptions& o, std::string& port) {
  const std::string& arg = w.arg;
  const std::string& text = w.text;
  if (arg == "--help") {
    std::fputs(Usage, stdout);
    return 0;
  }
  if (arg == "--version") {
    std::printf("merrowgate-cli %s\n", CliVersionText);
    return 0;
  }
  if (TakeFlag(arg, o)) return -1;
  std::string error;
  long number;
  if (w.Option("--color") || w.Option("--colour")) {
    if (w.got < 0) return BadOption("--color needs a value: auto, always or never");
    if (text != "auto" && text != "always" && text != "never")
      return BadOption("--color takes auto, always or never, not '" + text + "'");
    o.Colour = text;
  } else if (w.Option("--settings")) {
    if (w.got < 0 || text.empty()) return BadOption("--settings needs a file name");
    o.SettingsPath = text;
  } else if (w.Option("--proxy")) {
    if (w.got < 0) return BadOption("--proxy needs a URL");
    if (!ParseProxyUrl(text, o.Proxy, error)) return BadOption(error);
    o.HaveProxy = true;
  } else if (w.Option("--host", 'h')) {
    if (w.got < 0) return BadOption("--host needs a whois server: HOST or HOST:PORT");
    if (!ValidHost(text, error)) return BadOption(error);
    o.Host = text;
  } else if (w.Option("--port", 'p')) {
    if (w.got < 0 || !ParseNumber(text, 1, 65535, number)) return BadOption("--port needs a number from 1 to 65535");
    port = text;
  } else if (w.Option("--file", 'f')) {
    if (w.got < 0 || text.empty()) return BadOption("--file needs a file of queries (- for standard input)");
    o.ListFile = text;
  } else if (w.Option("--jobs", 'j')) {
    if (w.got < 0 || !ParseNumber(text, 1, 64, o.Jobs)) return BadOption("--jobs needs a number from 1 to 64");
  } else if (w.Option("--per-server")) {
    if (w.got < 0 || !ParseNumber(text, 1, 64, o.PerServer))
      return BadOption("--per-server needs a number from 1 to 64");
  } else if (w.Option("--expires-within")) {
    if (w.got < 0 || !ParseNumber(text, 0, 36500, o.ExpiresWithin))
      return BadOption("--expires-within needs whole days from 0 to 36500");
  } else if (w.Option("--timeout")) {
    if (w.got < 0 || !ParseNumber(text, 0, 86400, o.Timeout))
      return BadOption("--timeout needs whole seconds from 0 (no limit) to 86400");
  } else {
    return BadOption("unknown option '" + arg + "'");
  }
  return -1;
}

// A query of the command line: false when nothing would be left to look up
// (so that "http://" alone is not taken for a lookup that found nothing).
bool HoldsQuery(const std::string& query) {
  char cleaned[QueryBufferSize];
  CopyText(cleaned, QueryBufferSize, query.c_str());
  BlankControlCharacters(cleaned);
  NormalizeQueryText(cleaned);
  return cleaned[0] != '\0';
}

// The checks that need every argument: a query, and --port with --host.
int CheckCombination(CliOptions& o, const std::string& port) {
  if (o.Queries.empty() && o.ListFile.empty()) return BadOption("no query given");
  for (const std::string& query : o.Queries)
    if (!HoldsQuery(query)) return BadOption("'" + query + "' holds no domain, host or address to look up");
  if (o.Json && o.Quiet) return BadOption("--json and --quiet do not go together");
  if (!port.empty()) {
    if (o.Host.empty()) return BadOption("--port needs --host: the whois server to ask on that port");
    std::string host, rest;
    SplitHostText(o.Host, host, rest);
    if (!rest.empty()) return BadOption("give the port once: --host HOST:PORT or --port PORT");
    o.Host = (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + port;
  }
  return -1;
}

}  // namespace

bool ParseCommandLine(int argc, char** argv, CliOptions& o, int& status) {
  ArgumentWalk w(argc, argv);
  std::string port;
  bool optionsDone = false;
  for (; w.i < argc; ++w.i) {
    w.arg = argv[w.i];
    if (optionsDone || w.arg.size() < 2 || w.arg[0] != '-') {
      o.Queries.push_back(w.arg);
    } else if (w.arg == "--") {
      optionsDone = true;
    } else if ((status = TakeOption(w, o, port)) >= 0) {
      return false;
    }
  }
  // Given a server, the words are one query, as the server's own flags may be
  // among them.
  if (!o.Host.empty() && o.Queries.size() > 1) {
    std::string joined;
    for (const std::string& word : o.Queries) joined += (joined.empty() ? "" : " ") + word;
    o.Queries.assign(1, joined);
  }
  status = CheckCombination(o, port);
  return status < 0;
}
