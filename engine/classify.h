// Query classification: what a lookup is about, and which server to ask.
#pragma once

class LookupContext;
class OutputSink;

enum TargetKind : int { Undecided = -1, HostName = 0, IpAddress = 1 };

constexpr int HostCapacity = 112;    // 111 characters and the terminator
constexpr int IPCapacity = 64;       // the longest IPv6 prefix text and more
constexpr int DomainCapacity = 176;  // 175 characters and the terminator
constexpr int QueryBufferSize = 1024;

struct LookupTarget {
  // A host query as typed (UTF-8, before its ASCII form), for the title, the
  // status bar and the recent list; empty for an address.
  char Typed[QueryBufferSize];
  char Host[HostCapacity];
  char IP[IPCapacity];
  char Domain[DomainCapacity];
  TargetKind Kind;
};

// Leading spaces and tabs go; a pasted URL is cut to its host; trailing spaces go.
void NormalizeQueryText(char* text);

// Puts a name typed with non-ASCII letters into its ASCII (IDNA) form in
// place, with an Info line that shows both; false after an Error line when it
// cannot be converted. The query box's UTF-8 text is used where the sink has
// one. Names of ASCII letters only are left as they are.
bool ConvertQueryToAscii(OutputSink& out, char* query, int capacity);

// Reads the query box, fills `target`, prints the host information and
// returns the whois server for target.Domain, or nullptr (see the worker for
// what each outcome means).
const char* ClassifyQuery(LookupContext& ctx, LookupTarget& target);
