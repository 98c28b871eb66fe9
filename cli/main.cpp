// merrowgate-cli: the lookups of its arguments or of a list, the output pane's
// text (or one JSON record a query) on stdout.
#include <atomic>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/batch.h"
#include "cli/cli_options.h"
#include "cli/console_sink.h"
#include "cli/proxy_env.h"
#include "cli/record_sink.h"
#include "engine/field_table.h"
#include "engine/lookup.h"
#include "engine/lookup_context.h"
#include "engine/rdap_bootstrap.h"
#include "engine/server_gate.h"
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
  // A record takes its fields from RDAP wherever the registry has a service:
  // its answers say the same in one form for every registry.
  if (o.Json) settings.PreferRDAP = settings.WhoisWhenRdapFails = true;
  return settings;
}

// Fresh RDAP bootstrap copies are cached beside the settings file in use.
void UseRdapCacheBeside(const std::string& settingsPath) {
  const size_t slash = settingsPath.find_last_of("/\\");
  if (!settingsPath.empty())
    SetRdapCacheFolder(slash == std::string::npos ? std::string(".") : settingsPath.substr(0, slash + 1));
}

// What every lookup of the run shares: the options, the servers' gate and
// how the output is written.
struct Run {
  Run(const CliOptions& options, const LookupSettings& lookupSettings)
      : o(options), settings(lookupSettings), gate(static_cast<int>(options.PerServer)) {}
  const CliOptions& o;
  const LookupSettings settings;
  ServerGate gate;
  bool environmentProxies = false;
  bool colour = false;
  bool terminal = false;
  bool batch = false;
  std::string recentPath;  // the settings file whose recent list is kept; empty for none
};

// One lookup with its own context, the output going to `out`. Returns
// whether a server answered; `unanswered` counts the exchanges given up on
// because their server kept sending rate-limit notices.
bool Look(Run& run, OutputSink& out, StepObserver* steps, int& unanswered) {
  LookupOptions lookup;
  lookup.FirstServerOnly = run.o.FirstServerOnly;
  lookup.ParallelSteps = true;
  if (!run.o.Host.empty()) lookup.Server = run.o.Host.c_str();
  LookupContext context(out, StopFlags{&CancelFlag, &QuitFlag}, run.settings);
  context.Steps = steps;
  context.Gate = &run.gate;
  if (run.environmentProxies)
    context.Net.ChooseProxy = [debug = run.o.ProxyDebug](const char* host, bool rdap, ProxyOptions& proxy) {
      return EnvironmentProxyFor(host, rdap, proxy, debug);
    };
  const int exchanges = RunLookup(context, lookup);
  unanswered = context.Unanswered;
  return exchanges > 0 && unanswered == 0;
}

// The domain and its expiry date, for --expires-within.
void NoteExpiry(const RecordSteps& steps, const nlohmann::json& record, QueryOutcome& outcome) {
  if (steps.Kind() != "domain" && steps.Kind() != "host") return;
  outcome.Domain = steps.Domain();
  if (record.contains("expires")) outcome.Expires = record["expires"].get<std::string>();
}

// A --json lookup: its record, one line.
QueryOutcome LookJson(Run& run, const std::string& query) {
  QueryOutcome outcome;
  RecordSteps steps(query);
  RecordSink sink(steps, query, run.recentPath);
  int unanswered = 0;
  outcome.Answered = Look(run, sink, &steps, unanswered);
  const nlohmann::json record = steps.Builder().Build();
  outcome.Output = RecordLine(record);
  for (const std::string& error : steps.Errors()) outcome.Errors += "merrowgate-cli: " + query + ": " + error + "\n";
  NoteExpiry(steps, record, outcome);
  return outcome;
}

// A text lookup into `file`, or, with `captured`, into the outcome's strings.
QueryOutcome LookText(Run& run, const std::string& query, std::FILE* file, bool captured) {
  QueryOutcome outcome;
  ConsoleSink sink(file, run.colour, query, run.recentPath);
  if (captured) sink.CaptureOutput(&outcome.Output, &outcome.Errors);
  if (run.o.Quiet) sink.SetQuiet(stderr, !run.terminal);
  sink.SetCancelFlag(&CancelFlag);
  if (run.batch) sink.AppendHeading(("=== " + query + " ===\n").c_str());
  std::unique_ptr<RecordSteps> steps;
  if (run.o.ExpiresWithin >= 0) steps.reset(new RecordSteps(query));
  int unanswered = 0;
  outcome.Answered = Look(run, sink, steps.get(), unanswered);
  if (!run.o.Quiet) sink.AppendOutput(Plain, "\n");
  if (steps) NoteExpiry(*steps, steps->Builder().Build(), outcome);
  if (!sink.Finish()) {
    outcome.Answered = false;
    outcome.WriteErrno = sink.WriteErrno() ? sink.WriteErrno() : EIO;
  }
  if (unanswered > 0)
    outcome.Errors += "merrowgate-cli: " + query + ": no answer, a server kept limiting the query rate\n";
  return outcome;
}

// --expires-within: one stderr line for each domain that expires within the
// days (or has expired), and for each whose expiry date was not found.
// Returns 3 when one expires, 1 when a date is missing, else 0.
int ReportExpiry(const std::vector<std::pair<std::string, std::string>>& domains, long days) {
  int status = 0;
  const std::time_t now = std::time(nullptr);
  for (const auto& [domain, expires] : domains) {
    const std::optional<std::int64_t> left = expires.empty() ? std::nullopt : DaysUntil(expires, now);
    if (!left) {
      std::fprintf(stderr, "%s: no expiry date found\n", domain.c_str());
      if (status == 0) status = 1;
    } else if (*left <= days) {
      const std::string date = expires.substr(0, 10);
      const long long n = *left < 0 ? -*left : *left;
      std::fprintf(stderr, *left < 0 ? "%s expired %s (%lld day%s ago)\n" : "%s expires %s (%lld day%s)\n",
                   domain.c_str(), date.c_str(), n, n == 1 ? "" : "s");
      status = 3;
    }
  }
  return status;
}

// Writes each query's outcome in its turn and keeps what the exit status
// and --expires-within need.
struct OutcomeWriter {
  explicit OutcomeWriter(const CliOptions& options) : o(options) {}
  void operator()(const std::string&, QueryOutcome& outcome) {
    allAnswered = allAnswered && outcome.Answered;
    if (outcome.WriteErrno && !writeFailed) {
      writeFailed = true;
      writeErrno = outcome.WriteErrno;
    }
    if (o.ExpiresWithin >= 0 && !outcome.Domain.empty()) expiring.emplace_back(outcome.Domain, outcome.Expires);
    if (!outcome.Output.empty() && !writeFailed &&
        (!platform::WriteOutput(stdout, outcome.Output.data(), outcome.Output.size()) || std::fflush(stdout) != 0)) {
      writeFailed = true;
      writeErrno = errno;
      CancelFlag = 1;  // nobody would see the rest
    }
    if (!outcome.Errors.empty()) {
      platform::WriteOutput(stderr, outcome.Errors.data(), outcome.Errors.size());
      std::fflush(stderr);
    }
  }
  const CliOptions& o;
  bool allAnswered = true, writeFailed = false;
  int writeErrno = 0;
  std::vector<std::pair<std::string, std::string>> expiring;
};

// How the output goes: colour, and stdout's buffer and mode.
void SetUpOutput(Run& run) {
  const CliOptions& o = run.o;
  run.terminal = platform::IsTerminal(stdout);
  run.colour = !o.Quiet && !o.Json && (o.Colour == "always" || (o.Colour == "auto" && run.terminal && ColourWanted()));
  if (run.colour && !platform::EnableTerminalEscapes(stdout) && o.Colour == "auto") run.colour = false;
  // The sink writes its own line ends and flushes at the end of each piece
  // of a reply; the C library must not write byte by byte meanwhile (it
  // does on Windows when stdout is a pipe or a console).
  // The buffer is given, not only its size: glibc keeps its own 4 KiB for a
  // null one, and a reply chunk with its "mailto:"s, a little more than that,
  // then went out in two writes.
  static char outputBuffer[64 * 1024];
  platform::UseBinaryOutput(stdout);
  std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
}

// The list file of -f, or stdin; null when there is none. False (reported)
// when it cannot be opened.
bool OpenList(const CliOptions& o, std::FILE*& list) {
  list = nullptr;
  if (o.ListFile.empty()) return true;
  list = o.ListFile == "-" ? stdin : std::fopen(o.ListFile.c_str(), "r");
  if (list) return true;
  std::fprintf(stderr, "merrowgate-cli: cannot read %s: %s\n", o.ListFile.c_str(), std::strerror(errno));
  return false;
}

int RunConsoleLookups(const CliOptions& o) {
  Run run(o, LookupSettingsFor(o));
  UseRdapCacheBeside(o.SettingsPath);
  run.environmentProxies = !o.NoProxy && !run.settings.Proxy.Enabled;
  std::string error;
  if (run.environmentProxies && !EnvironmentProxiesUsable(error)) {
    std::fprintf(stderr, "merrowgate-cli: %s\n", error.c_str());
    return 2;
  }
  std::FILE* list = nullptr;
  if (!OpenList(o, list)) return 2;
  SetUpOutput(run);
  run.batch = IsBatch(o);
  // A batch leaves the recent list, which is the window's, alone.
  if (!run.batch) run.recentPath = o.SettingsPath;
  platform::CatchInterrupts(CancelFlag);

  // One lookup at a time writes straight to stdout as the replies come;
  // lookups run side by side keep their output until their turn.
  const bool direct = !o.Json && (o.Jobs == 1 || !run.batch);
  const QueryRun lookUp = [&](const std::string& query) {
    return o.Json ? LookJson(run, query) : LookText(run, query, stdout, !direct);
  };
  OutcomeWriter writer(o);
  const QueryWrite write = std::ref(writer);
  QueryFeed feed(o.Queries, list);
  // Up to -j lookups at work; more threads than that, so that lookups waiting
  // for a paused or busy server leave their turn to others.
  const int jobs = direct || !run.batch ? 1 : static_cast<int>(o.Jobs);
  JobSlots slots(jobs);
  if (jobs > 1)
    run.gate.SetWaitHook([&slots](bool waiting) {
      if (waiting) slots.Release();
      else slots.Acquire();
    });
  // Outcomes that wait for their turn to be written hold at most a few MiB,
  // enough for a list to go on while one slow or paused server holds up the
  // queries it is asked about.
  const BatchWindow window{4096, 4u << 20};
  RunBatch(feed, jobs > 1 ? jobs * 2 : 1, slots, window, lookUp, write, CancelFlag);
  if (list && list != stdin) std::fclose(list);

  if (feed.ReadFailed()) {
    std::fprintf(stderr, "merrowgate-cli: cannot read %s: %s\n", o.ListFile.c_str(), std::strerror(feed.ReadErrno()));
    writer.allAnswered = false;
  }
  if (writer.writeFailed || std::fflush(stdout) != 0) {
    std::fprintf(stderr, "merrowgate-cli: cannot write the output: %s\n",
                 std::strerror(writer.writeFailed ? writer.writeErrno : errno));
    return 1;
  }
  if (CancelFlag == 1) return 130;
  const int expiry = o.ExpiresWithin >= 0 ? ReportExpiry(writer.expiring, o.ExpiresWithin) : 0;
  if (expiry == 3) return 3;
  return writer.allAnswered && expiry == 0 ? 0 : 1;
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
  // Before the options: --host's IPv6 address is checked by the system's parser.
  if (!platform::StartSockets()) {
    std::fputs("merrowgate-cli: Unsupported WINSOCK version.\n", stderr);
    return 1;
  }
  if (ParseCommandLine(argc, argv, options, status)) status = RunConsoleLookups(options);
  platform::StopSockets();
  return status;
}
