// merrowgate-cli: one lookup of its arguments, the output pane's text on stdout.
#include <atomic>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/cli_options.h"
#include "cli/console_sink.h"
#include "cli/proxy_env.h"
#include "engine/lookup.h"
#include "engine/lookup_context.h"
#include "engine/rdap_bootstrap.h"
#include "platform/console.h"
#include "platform/sockets.h"
#include "settings/settings.h"
#include "settings/settings_file.h"

namespace {

// The console program's stop flags: the first Ctrl-C and a failed write of
// the output cancel, a second Ctrl-C ends the process.
std::atomic<int> CancelFlag{0};
std::atomic<int> QuitFlag{0};

// NO_COLOR (any value but empty) and TERM=dumb ask for plain text.
bool ColourWanted() {
  const char* noColour = std::getenv("NO_COLOR");
  const char* term = std::getenv("TERM");
  return !(noColour && *noColour) && !(term && std::strcmp(term, "dumb") == 0);
}

ProxyOptions ToProxyOptions(const ProxyChoice& choice) {
  ProxyOptions proxy;
  proxy.Enabled = true;
  proxy.Type = choice.Type;
  proxy.Resolve = choice.Resolve != 0;
  proxy.UseAuth = choice.UseAuth != 0;
  proxy.Port = choice.Port;
  CopyText(proxy.Server, ProxyTextCapacity, choice.Server.c_str());
  CopyText(proxy.Login, ProxyTextCapacity, choice.Login.c_str());
  CopyText(proxy.Pass, ProxyTextCapacity, choice.Pass.c_str());
  return proxy;
}

const char* Environment(const char* name) { return std::getenv(name); }

// The environment's proxies, checked before the lookup starts: false with a
// message naming the variable when one is not a proxy URL this program takes.
bool EnvironmentProxiesUsable(std::string& error) {
  EnvironmentProxy unused;
  return ProxyFromEnvironment(ProxyPurpose::Whois, "whois.invalid", Environment, unused, error) &&
         ProxyFromEnvironment(ProxyPurpose::Rdap, "rdap.invalid", Environment, unused, error);
}

// The proxy of each connection when the lookup has none of its own.
bool EnvironmentProxyFor(const char* host, bool rdap, ProxyOptions& proxy, bool debug) {
  EnvironmentProxy chosen;
  std::string error;
  if (!ProxyFromEnvironment(rdap ? ProxyPurpose::Rdap : ProxyPurpose::Whois, host, Environment, chosen, error) ||
      !chosen.Applies)
    return false;
  proxy = ToProxyOptions(chosen.Choice);
  proxy.Debug = debug;
  return true;
}

// The options of the settings file, then the command line's over them.
LookupSettings LookupSettingsFor(const CliOptions& o) {
  LoadSettingsRecord(o.SettingsPath.c_str());  // defaults when there is no file
  LookupSettings settings = SnapshotSettings();
  if (o.Resolve >= 0) settings.ResolveDomain = o.Resolve != 0;
  if (o.Reverse >= 0) settings.ReverseIP = o.Reverse != 0;
  if (o.Abuse >= 0) settings.GetAbuseInfo = o.Abuse != 0;
  if (o.HaveProxy) settings.Proxy = ToProxyOptions(o.Proxy);
  if (o.ProxyDebug) settings.Proxy.Debug = true;
  settings.IdleTimeout = static_cast<int>(o.Timeout);
  if (o.Rdap) settings.PreferRDAP = true;
  settings.RdapShowJson = o.Json;
  return settings;
}

// Fresh RDAP bootstrap copies are cached beside the settings file in use.
void UseRdapCacheBeside(const std::string& settingsPath) {
  const size_t slash = settingsPath.find_last_of("/\\");
  if (!settingsPath.empty())
    SetRdapCacheFolder(slash == std::string::npos ? std::string(".") : settingsPath.substr(0, slash + 1));
}

int RunConsoleLookup(const CliOptions& o) {
  const LookupSettings settings = LookupSettingsFor(o);
  UseRdapCacheBeside(o.SettingsPath);
  const bool environmentProxies = !o.NoProxy && !settings.Proxy.Enabled;
  std::string error;
  if (environmentProxies && !EnvironmentProxiesUsable(error)) {
    std::fprintf(stderr, "merrowgate-cli: %s\n", error.c_str());
    return 2;
  }

  const bool terminal = platform::IsTerminal(stdout);
  bool useColour = !o.Quiet && (o.Colour == "always" || (o.Colour == "auto" && terminal && ColourWanted()));
  if (useColour && !platform::EnableTerminalEscapes(stdout) && o.Colour == "auto") useColour = false;
  // The sink writes its own line ends and flushes at the end of each piece
  // of a reply; the C library must not write byte by byte meanwhile (it
  // does on Windows when stdout is a pipe or a console).
  // The buffer is given, not only its size: glibc keeps its own 4 KiB for a
  // null one, and a reply chunk with its "mailto:"s, a little more than that,
  // then went out in two writes.
  static char outputBuffer[64 * 1024];
  platform::UseBinaryOutput(stdout);
  std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
  ConsoleSink sink(stdout, useColour, o.Query, o.SettingsPath);
  if (o.Quiet) sink.SetQuiet(stderr, !terminal);
  sink.SetCancelFlag(&CancelFlag);
  platform::CatchInterrupts(CancelFlag);

  LookupOptions lookup;
  lookup.FirstServerOnly = o.FirstServerOnly;
  if (!o.Host.empty()) lookup.Server = o.Host.c_str();
  LookupContext context(sink, StopFlags{&CancelFlag, &QuitFlag}, settings);
  if (environmentProxies)
    context.Net.ChooseProxy = [debug = o.ProxyDebug](const char* host, bool rdap, ProxyOptions& proxy) {
      return EnvironmentProxyFor(host, rdap, proxy, debug);
    };
  const int exchanges = RunLookup(context, lookup);
  if (!o.Quiet) sink.AppendOutput(Plain, "\n");
  if (!sink.Finish()) {
    std::fprintf(stderr, "merrowgate-cli: cannot write the output: %s\n", std::strerror(sink.WriteErrno()));
    return 1;
  }
  if (CancelFlag == 1) return 130;
  return exchanges > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // The locale's character set is the one the arguments come in and the
  // output goes out in; inside, all text is UTF-8.
  std::setlocale(LC_CTYPE, "");
  platform::UseUtf8Arguments(argc, argv);
  CliOptions options;
  options.SettingsPath = ConsoleSettingsFilePath();
  int status = 0;
  if (!ParseCommandLine(argc, argv, options, status)) return status;
  if (!platform::StartSockets()) {
    std::fputs("merrowgate-cli: Unsupported WINSOCK version.\n", stderr);
    return 1;
  }
  status = RunConsoleLookup(options);
  platform::StopSockets();
  return status;
}
