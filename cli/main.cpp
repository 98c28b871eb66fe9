// merrowgate-cli: one lookup of its arguments, the output pane's text on stdout.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <clocale>
#include <cstring>
#include <string>

#include "cli/console_sink.h"
#include "cli/proxy_url.h"
#include "engine/classify.h"
#include "engine/lookup_worker.h"
#include "engine/rdap_bootstrap.h"
#include "engine/rdap_exchange.h"
#include "net/connection.h"
#include "platform/console.h"
#include "platform/sockets.h"
#include "settings/settings.h"
#include "settings/settings_file.h"

namespace {

const char Usage[] =
    "Usage: merrowgate-cli [options] <domain> | <host> | <IP>\n"
    "\n"
    "Looks the query up at the whois servers that know about it and prints the\n"
    "replies.\n"
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
    "  --proxy-debug             show the proxy exchange\n"
    "  --rdap                    ask the registries' RDAP services first for every\n"
    "                            step\n"
    "  --json                    show each RDAP answer as its raw JSON\n"
    "  --color=WHEN              colour the output: auto (default), always, never;\n"
    "                            auto means on a terminal, unless NO_COLOR is set\n"
    "                            or TERM is dumb\n"
    "  --help                    show this text\n"
    "  --version                 show the version\n"
    "\n"
    "Each lookup is recorded in the settings file's recent-queries list, which\n"
    "the Windows program shares; no other setting is written.\n"
    "Ctrl-C cancels the lookup; a second Ctrl-C quits.\n"
    "Exit status: 0 when at least one whois server was asked, 1 when none could\n"
    "be or the output could not be written, 2 for bad options, 130 after Ctrl-C.\n";

int BadOption(const std::string& message) {
  std::fprintf(stderr, "merrowgate-cli: %s\nTry 'merrowgate-cli --help'.\n", message.c_str());
  return 2;
}

// A whole decimal number from `low` to `high`, digits only.
bool ParseNumber(const std::string& text, long low, long high, long& value) {
  if (text.empty() || text.size() > 9) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value >= low && value <= high;
}

// HOST[:PORT] of --host: a name or dotted address without blanks or controls.
bool ValidHost(const std::string& text, std::string& error) {
  const size_t colon = text.find(':');
  const std::string host = text.substr(0, colon);
  long port;
  if (host.empty() || host.size() > 253) {
    error = "--host needs a server name of 1 to 253 characters";
    return false;
  }
  for (char c : host) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= ' ' || u == 0x7F || c == '/' || c == '@') {
      error = "bad whois server name '" + host + "'";
      return false;
    }
  }
  if (colon != std::string::npos && !ParseNumber(text.substr(colon + 1), 1, 65535, port)) {
    error = "bad port in '" + text + "' (1 to 65535)";
    return false;
  }
  return true;
}

// NO_COLOR (any value but empty) and TERM=dumb ask for plain text.
bool ColourWanted() {
  const char* noColour = std::getenv("NO_COLOR");
  const char* term = std::getenv("TERM");
  return !(noColour && *noColour) && !(term && std::strcmp(term, "dumb") == 0);
}

}  // namespace

int main(int argc, char** argv) {
  // The locale's character set is the one the arguments come in and the
  // output goes out in; inside, all text is UTF-8.
  std::setlocale(LC_CTYPE, "");
  platform::UseUtf8Arguments(argc, argv);
  std::string settingsPath = ConsoleSettingsFilePath();
  std::string query;
  int resolve = -1, reverse = -1, abuse = -1, proxyDebug = 0, rdap = 0, json = 0;
  bool haveProxy = false;
  ProxyChoice proxy;
  std::string colour = "auto";
  bool quiet = false;
  std::string host, port;
  LookupOptions lookup;
  long timeout = 60;
  bool optionsDone = false;

  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (optionsDone || arg.size() < 2 || arg[0] != '-') {
      if (!query.empty()) query += ' ';
      query += arg;
      continue;
    }
    if (arg == "--") {
      optionsDone = true;
      continue;
    }
    // An option with a value: "--name=VALUE", "--name VALUE", and for a short
    // name also "-xVALUE" and "-x VALUE". 1 taken, 0 not this option, -1
    // missing.
    std::string text;
    auto value = [&](const char* name, char shortName = 0) {
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
    };
    int got = 0;
    auto option = [&](const char* name, char shortName = 0) { return (got = value(name, shortName)) != 0; };

    if (arg == "--help") {
      std::fputs(Usage, stdout);
      return 0;
    } else if (arg == "--version") {
      std::puts("merrowgate-cli 0.9.3.0");
      return 0;
    } else if (arg == "-q" || arg == "--quiet") quiet = true;
    else if (arg == "--verbose") quiet = false;
    else if (arg == "--no-referral") lookup.FirstServerOnly = true;
    else if (arg == "--resolve") resolve = 1;
    else if (arg == "--no-resolve") resolve = 0;
    else if (arg == "--reverse") reverse = 1;
    else if (arg == "--no-reverse") reverse = 0;
    else if (arg == "--abuse") abuse = 1;
    else if (arg == "--no-abuse") abuse = 0;
    else if (arg == "--proxy-debug") proxyDebug = 1;
    else if (arg == "--rdap") rdap = 1;
    else if (arg == "--json") json = 1;
    else if (option("--color") || option("--colour")) {
      if (got < 0) return BadOption("--color needs a value: auto, always or never");
      if (text != "auto" && text != "always" && text != "never")
        return BadOption("--color takes auto, always or never, not '" + text + "'");
      colour = text;
    } else if (option("--settings")) {
      if (got < 0 || text.empty()) return BadOption("--settings needs a file name");
      settingsPath = text;
    } else if (option("--proxy")) {
      if (got < 0) return BadOption("--proxy needs a URL");
      std::string error;
      if (!ParseProxyUrl(text, proxy, error)) return BadOption(error);
      haveProxy = true;
    } else if (option("--host", 'h')) {
      if (got < 0) return BadOption("--host needs a whois server: HOST or HOST:PORT");
      std::string error;
      if (!ValidHost(text, error)) return BadOption(error);
      host = text;
    } else if (option("--port", 'p')) {
      long number;
      if (got < 0 || !ParseNumber(text, 1, 65535, number)) return BadOption("--port needs a number from 1 to 65535");
      port = text;
    } else if (option("--timeout")) {
      if (got < 0 || !ParseNumber(text, 0, 86400, timeout))
        return BadOption("--timeout needs whole seconds from 0 (no limit) to 86400");
    } else {
      return BadOption("unknown option '" + arg + "'");
    }
  }
  if (query.empty()) return BadOption("no query given");
  {
    // What the lookup would be left with, so that "http://" alone is not
    // taken for a lookup that found nothing.
    char cleaned[QueryBufferSize];
    CopyText(cleaned, QueryBufferSize, query.c_str());
    BlankControlCharacters(cleaned);
    NormalizeQueryText(cleaned);
    if (!cleaned[0]) return BadOption("'" + query + "' holds no domain, host or address to look up");
  }
  if (!port.empty()) {
    if (host.empty()) return BadOption("--port needs --host: the whois server to ask on that port");
    if (host.find(':') != std::string::npos) return BadOption("give the port once: --host HOST:PORT or --port PORT");
    host += ":" + port;
  }
  if (!host.empty()) lookup.Server = host.c_str();

  if (!platform::StartSockets()) {
    std::fputs("merrowgate-cli: Unsupported WINSOCK version.\n", stderr);
    return 1;
  }
  LoadSettingsRecord(settingsPath.c_str());  // defaults when there is no file
  if (resolve >= 0) Settings.ResolveDomain = resolve;
  if (reverse >= 0) Settings.ReverseIP = reverse;
  if (abuse >= 0) Settings.GetAbuseInfo = abuse;
  if (haveProxy) {
    Settings.Enabled = 1;
    Settings.Type = proxy.Type;
    Settings.Resolve = proxy.Resolve;
    Settings.UseAuth = proxy.UseAuth;
    Settings.Port = proxy.Port;
    CopyText(Settings.Server, ProxyTextCapacity, proxy.Server.c_str());
    CopyText(Settings.Login, ProxyTextCapacity, proxy.Login.c_str());
    CopyText(Settings.Pass, ProxyTextCapacity, proxy.Pass.c_str());
  }
  if (proxyDebug) Settings.Debug = 1;
  Settings.IdleTimeout = static_cast<int>(timeout);
  if (rdap) Settings.PreferRDAP = 1;
  RdapShowJson = json;
  // Fresh RDAP bootstrap copies are cached beside the settings file in use.
  const size_t slash = settingsPath.find_last_of("/\\");
  if (!settingsPath.empty())
    SetRdapCacheFolder(slash == std::string::npos ? std::string(".") : settingsPath.substr(0, slash + 1));

  const bool terminal = platform::IsTerminal(stdout);
  bool useColour = !quiet && (colour == "always" || (colour == "auto" && terminal && ColourWanted()));
  if (useColour && !platform::EnableTerminalEscapes(stdout) && colour == "auto") useColour = false;
  // The sink writes its own line ends and flushes at the end of each piece
  // of a reply; the C library must not write byte by byte meanwhile (it
  // does on Windows when stdout is a pipe or a console).
  // The buffer is given, not only its size: glibc keeps its own 4 KiB for a
  // null one, and a reply chunk with its "mailto:"s, a little more than that,
  // then went out in two writes.
  static char outputBuffer[64 * 1024];
  platform::UseBinaryOutput(stdout);
  std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
  ConsoleSink sink(stdout, useColour, query, settingsPath);
  if (quiet) sink.SetQuiet(stderr, !terminal);
  SetOutputSink(&sink);
  platform::CatchInterrupts(CancelFlag);

  const int exchanges = RunLookup(lookup);
  if (!quiet) sink.AppendOutput(Plain, "\n");
  const bool written = sink.Finish();
  SetOutputSink(nullptr);
  platform::StopSockets();
  if (!written) {
    std::fprintf(stderr, "merrowgate-cli: cannot write the output: %s\n", std::strerror(sink.WriteErrno()));
    return 1;
  }
  if (CancelFlag == 1) return 130;
  return exchanges > 0 ? 0 : 1;
}
