// merrowgate-cli: one lookup of its arguments, the output pane's text on stdout.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/console_sink.h"
#include "cli/proxy_url.h"
#include "engine/lookup_worker.h"
#include "net/connection.h"
#include "platform/sockets.h"
#include "settings/settings.h"
#include "settings/settings_file.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace {

const char Usage[] =
    "Usage: merrowgate-cli [options] <domain> | <host> | <IP>\n"
    "\n"
    "Looks the query up at the whois servers that know about it and prints the\n"
    "replies.\n"
    "\n"
    "Options:\n"
    "  --settings FILE     settings file (default: merrowgate.ini beside the program)\n"
    "  --resolve, --no-resolve   resolve host names to addresses\n"
    "  --reverse, --no-reverse   resolve addresses to host names\n"
    "  --abuse, --no-abuse       ask the abuse-contact service as well\n"
    "  --proxy URL         connect through a proxy: http://, socks4://, socks4a://,\n"
    "                      socks5:// or socks5h://, with user:pass@ if needed\n"
    "  --proxy-debug       show the proxy exchange\n"
    "  --color=WHEN        colour the output: auto (default), always, never\n"
    "  --help              show this text\n"
    "  --version           show the version\n"
    "\n"
    "Each lookup is recorded in the settings file's recent-queries list, which\n"
    "the Windows program shares; no other setting is written.\n"
    "Ctrl-C cancels the lookup; a second Ctrl-C quits.\n"
    "Exit status: 0 when at least one whois server was asked, 1 when none could\n"
    "be, 2 for bad options.\n";

#ifdef _WIN32
BOOL WINAPI OnConsoleBreak(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
  if (CancelFlag.exchange(1) == 1) ExitProcess(130);
  return TRUE;
}
void CatchInterrupts() { SetConsoleCtrlHandler(OnConsoleBreak, TRUE); }
bool IsTerminal(std::FILE* f) {
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
  DWORD mode;
  if (!GetConsoleMode(h, &mode)) return false;
  // Escapes only where the console understands them.
  return SetConsoleMode(h, mode | 0x0004 /* ENABLE_VIRTUAL_TERMINAL_PROCESSING */) != 0;
}
#else
extern "C" void OnInterrupt(int) {
  if (CancelFlag.exchange(1) == 1) _exit(130);
}
void CatchInterrupts() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnInterrupt;  // no SA_RESTART: the reply wait notices at once
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}
bool IsTerminal(std::FILE* f) { return isatty(fileno(f)) != 0; }
#endif

int BadOption(const std::string& message) {
  std::fprintf(stderr, "merrowgate-cli: %s\nTry 'merrowgate-cli --help'.\n", message.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string settingsPath = SettingsFilePath();
  std::string query;
  int resolve = -1, reverse = -1, abuse = -1, proxyDebug = 0;
  bool haveProxy = false;
  ProxyChoice proxy;
  std::string colour = "auto";
  bool optionsDone = false;

  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (optionsDone || arg.empty() || arg[0] != '-') {
      if (!query.empty()) query += ' ';
      query += arg;
      continue;
    }
    auto value = [&](const char* name, std::string& out) {
      const size_t n = std::strlen(name);
      if (arg.compare(0, n, name) == 0 && arg.size() > n && arg[n] == '=') {
        out = arg.substr(n + 1);
        return true;
      }
      if (arg == name && i + 1 < argc) {
        out = argv[++i];
        return true;
      }
      return false;
    };
    std::string text;
    if (arg == "--") optionsDone = true;
    else if (arg == "--help" || arg == "-h") { std::fputs(Usage, stdout); return 0; }
    else if (arg == "--version") { std::puts("merrowgate-cli 0.9.3.0"); return 0; }
    else if (arg == "--resolve") resolve = 1;
    else if (arg == "--no-resolve") resolve = 0;
    else if (arg == "--reverse") reverse = 1;
    else if (arg == "--no-reverse") reverse = 0;
    else if (arg == "--abuse") abuse = 1;
    else if (arg == "--no-abuse") abuse = 0;
    else if (arg == "--proxy-debug") proxyDebug = 1;
    else if (value("--settings", text)) settingsPath = text;
    else if (value("--color", text) || value("--colour", text)) {
      if (text != "auto" && text != "always" && text != "never")
        return BadOption("--color takes auto, always or never");
      colour = text;
    } else if (value("--proxy", text)) {
      std::string error;
      if (!ParseProxyUrl(text, proxy, error)) return BadOption(error);
      haveProxy = true;
    } else {
      return BadOption("unknown option '" + arg + "'");
    }
  }
  if (query.empty()) return BadOption("no query given");

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

  const bool useColour = colour == "always" || (colour == "auto" && IsTerminal(stdout));
  ConsoleSink sink(stdout, useColour, query, settingsPath);
  SetOutputSink(&sink);
  CatchInterrupts();

  const int exchanges = RunLookup();
  std::fputs("\n", stdout);
  std::fflush(stdout);
  SetOutputSink(nullptr);
  platform::StopSockets();
  return exchanges > 0 ? 0 : 1;
}
