// Registries name the same facts many ways: the gTLD agreements fix one
// layout ("Registry Expiry Date:"), each ccTLD registry and each address
// registry has its own, and a generic key such as "created" or "country"
// means something else in a contact object than in the domain object. So a
// key is looked up with the object or section it stands in; the first key of
// a paragraph (or its heading) names that context. Where two keys carry the
// same fact, the rank says which one wins, so a registrar's own expiration
// date only fills in when no registry date is known.
#include "engine/field_table.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/text.h"

namespace {

constexpr FieldKey FieldKeys[] = {
    // The gTLD layout (registry and registrar), and keys that mean one thing anywhere.
    {"*", "domain name", Field::DomainName, 1},
    {"*", "registrar", Field::RegistrarName, 1},
    {"*", "sponsoring registrar", Field::RegistrarName, 1},  // .cn
    {"*", "registrar name", Field::RegistrarName, 1},        // .au
    {"*", "registrar iana id", Field::RegistrarIanaId, 1},
    {"*", "registrar url", Field::RegistrarUrl, 1},
    {"*", "referral url", Field::RegistrarUrl, 2},
    {"*", "registrar whois server", Field::RegistrarWhoisServer, 1},
    {"*", "whois server", Field::RegistrarWhoisServer, 2},
    {"*", "creation date", Field::Created, 1},
    {"*", "registration time", Field::Created, 1},  // .cn
    {"*", "registered on", Field::Created, 1},      // .uk
    {"*", "registration date", Field::Created, 1},
    {"*", "created on", Field::Created, 1},
    {"*", "updated date", Field::Updated, 1},
    {"*", "last modified", Field::Updated, 1},  // .au, .pl
    {"*", "last updated", Field::Updated, 1},   // .uk
    {"*", "registry expiry date", Field::Expires, 1},
    {"*", "expiry date", Field::Expires, 1},      // .uk, .fr
    {"*", "expiration time", Field::Expires, 1},  // .cn
    {"*", "expire date", Field::Expires, 1},      // .it
    {"*", "expires on", Field::Expires, 1},
    {"*", "expiration date", Field::Expires, 2},
    {"*", "registrar registration expiration date", Field::Expires, 3},
    {"*", "domain status", Field::Status, 1},
    {"*", "name server", Field::Nameserver, 1},
    {"*", "nameserver", Field::Nameserver, 1},
    {"*", "nameservers", Field::Nameserver, 1},         // .pl, .it
    {"*", "name servers", Field::Nameserver, 1},        // .uk, .eu
    {"*", "domain nameservers", Field::Nameserver, 1},  // .nl
    {"*", "dnssec", Field::Dnssec, 1},
    {"*", "registrar abuse contact email", Field::AbuseEmail, 1},
    {"*", "registrar abuse contact phone", Field::AbusePhone, 1},
    {"*", "orgabuseemail", Field::AbuseEmail, 1},  // ARIN
    {"*", "orgabusephone", Field::AbusePhone, 1},
    {"*", "abuse-mailbox", Field::AbuseEmail, 2},  // RIPE and the other RPSL registries
    {"*", "registrant organization", Field::RegistrantOrganization, 1},
    {"*", "registrant organisation", Field::RegistrantOrganization, 1},
    {"*", "registrant country", Field::RegistrantCountry, 1},
    // The domain object of DENIC, AFNIC, TCI (.ru), registro.br, .it and EURid.
    {"domain", "domain", Field::DomainName, 1},
    {"domain", "nserver", Field::Nameserver, 1},
    {"domain", "status", Field::Status, 1},
    {"domain", "state", Field::Status, 1},  // .ru
    {"domain", "created", Field::Created, 1},
    {"domain", "changed", Field::Updated, 1},             // .de, .br
    {"domain", "last-update", Field::Updated, 1},         // .fr
    {"domain", "last update", Field::Updated, 1},         // .it
    {"domain", "expires", Field::Expires, 1},             // .br
    {"domain", "paid-till", Field::Expires, 1},           // .ru
    {"domain", "signed", Field::Dnssec, 1},               // .it
    {"domain", "org", Field::RegistrantOrganization, 1},  // .ru, set only for organisations
    // "Domain name:" first: SIDN (.nl), NASK (.pl), auDA (.au).
    {"domain name", "status", Field::Status, 1},
    {"domain name", "created", Field::Created, 1},
    {"domain name", "renewal date", Field::Expires, 1},
    {"ns-list", "nserver", Field::Nameserver, 1},  // .fr
    // A registrar section or object: its heading's value is the name.
    {"registrar", "organization", Field::RegistrarName, 1},            // .it
    {"registrar", "name", Field::RegistrarName, 2},                    // .eu (.it: the handle)
    {"registrar", "url", Field::RegistrarUrl, 1},                      // .uk
    {"registrar", "website", Field::RegistrarUrl, 1},                  // .eu, .fr
    {"registrar", "web", Field::RegistrarUrl, 1},                      // .it
    {"registrant", "organization", Field::RegistrantOrganization, 1},  // .it
    // JPRS writes "[Key]  value".
    {"[]", "domain name", Field::DomainName, 1},
    {"[]", "name server", Field::Nameserver, 1},
    {"[]", "created on", Field::Created, 1},
    {"[]", "expires on", Field::Expires, 1},
    {"[]", "last updated", Field::Updated, 1},
    {"[]", "last update", Field::Updated, 1},
    {"[]", "status", Field::Status, 1},
    // ARIN: the network, its organisation or customer, the AS number.
    {"netrange", "netrange", Field::NetworkRange, 1},
    {"netrange", "cidr", Field::NetworkCidr, 1},
    {"netrange", "netname", Field::NetworkName, 1},
    {"netrange", "nethandle", Field::NetworkHandle, 1},
    {"netrange", "regdate", Field::Created, 1},
    {"netrange", "updated", Field::Updated, 1},
    {"netrange", "country", Field::HolderCountry, 1},
    {"orgname", "orgname", Field::HolderOrganization, 1},
    {"orgname", "country", Field::HolderCountry, 2},
    {"custname", "custname", Field::HolderOrganization, 1},
    {"custname", "country", Field::HolderCountry, 2},
    {"asnumber", "asnumber", Field::AsNumber, 1},
    {"asnumber", "asname", Field::AsName, 1},
    {"asnumber", "regdate", Field::Created, 1},
    {"asnumber", "updated", Field::Updated, 1},
    // RPSL (RIPE, APNIC, AFRINIC): inetnum, inet6num, aut-num, organisation.
    {"inetnum", "inetnum", Field::NetworkRange, 1},
    {"inetnum", "netname", Field::NetworkName, 1},
    {"inetnum", "country", Field::HolderCountry, 1},
    {"inetnum", "descr", Field::HolderOrganization, 3},
    {"inetnum", "created", Field::Created, 1},
    {"inetnum", "last-modified", Field::Updated, 1},
    {"inet6num", "inet6num", Field::NetworkCidr, 1},
    {"inet6num", "netname", Field::NetworkName, 1},
    {"inet6num", "country", Field::HolderCountry, 1},
    {"inet6num", "descr", Field::HolderOrganization, 3},
    {"inet6num", "created", Field::Created, 1},
    {"inet6num", "last-modified", Field::Updated, 1},
    {"aut-num", "aut-num", Field::AsNumber, 1},
    {"aut-num", "as-name", Field::AsName, 1},
    {"aut-num", "descr", Field::HolderOrganization, 3},
    {"aut-num", "created", Field::Created, 1},
    {"aut-num", "last-modified", Field::Updated, 1},
    {"organisation", "org-name", Field::HolderOrganization, 1},
    {"organisation", "country", Field::HolderCountry, 2},
};

// Date forms, tried in turn: Y four-digit year, M and D one or two digits,
// m and d exactly two, b an English month abbreviation. A time of day and a
// zone may follow any of them.
constexpr const char* DateForms[] = {
    "Y-M-D",  // ISO 8601, the gTLDs, RDAP, .de, .fr, .ru, .it, .cn, RPSL
    "Y.M.D",  // .pl
    "Y/M/D",  // .jp
    "Ymd",    // .br
    "D-b-Y",  // .uk, older gTLD replies
    "D.M.Y",  // .cz, .ua and others
};

constexpr const char* StatusCodes[] = {
    "ok",
    "active",
    "inactive",
    "locked",
    "validated",
    "proxy",
    "private",
    "removed",
    "obscured",
    "associated",
    "addPeriod",
    "autoRenewPeriod",
    "renewPeriod",
    "transferPeriod",
    "redemptionPeriod",
    "pendingCreate",
    "pendingDelete",
    "pendingRenew",
    "pendingRestore",
    "pendingTransfer",
    "pendingUpdate",
    "clientHold",
    "serverHold",
    "clientDeleteProhibited",
    "clientRenewProhibited",
    "clientTransferProhibited",
    "clientUpdateProhibited",
    "serverDeleteProhibited",
    "serverRenewProhibited",
    "serverTransferProhibited",
    "serverUpdateProhibited",
    "deleteProhibited",
    "renewProhibited",
    "transferProhibited",
    "updateProhibited",
};

constexpr const char* RedactionMarks[] = {
    "redacted",          "not disclosed",      "data protected", "withheld",    "non-public",
    "statutory masking", "request email form", "query the rdds", "hidden upon", "gdpr masked",
};

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// Days since 1970-01-01 of a proleptic Gregorian date (the era arithmetic of
// the civil calendar: 400-year eras of 146097 days, March-based years).
std::int64_t DaysFromCivil(int year, int month, int day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int yearOfEra = static_cast<int>(year - era * 400);
  const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int dayOfEra = static_cast<int>(days - era * 146097);
  const int yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int shifted = (5 * dayOfYear + 2) / 153;
  day = dayOfYear - (153 * shifted + 2) / 5 + 1;
  month = shifted < 10 ? shifted + 3 : shifted - 9;
  year = static_cast<int>(yearOfEra + era * 400) + (month <= 2);
}

int DaysInMonth(int year, int month) {
  static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

// Reads `min` to `max` digits at `at`.
bool Digits(std::string_view text, size_t& at, size_t min, size_t max, int& value) {
  size_t n = 0;
  value = 0;
  while (n < max && at + n < text.size() && IsDigit(text[at + n])) value = value * 10 + (text[at + n++] - '0');
  if (n < min) return false;
  at += n;
  return true;
}

bool MonthName(std::string_view text, size_t& at, int& month) {
  static constexpr const char* names[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
  if (at + 3 > text.size()) return false;
  for (int i = 0; i < 12; ++i)
    if (EqualNoCase(text.substr(at, 3), names[i])) {
      month = i + 1;
      at += 3;
      return true;
    }
  return false;
}

bool MatchDateForm(std::string_view text, const char* form, size_t& at, int& year, int& month, int& day) {
  at = 0;
  for (const char* p = form; *p; ++p) {
    bool ok = true;
    switch (*p) {
      case 'Y': ok = Digits(text, at, 4, 4, year); break;
      case 'M': ok = Digits(text, at, 1, 2, month); break;
      case 'D': ok = Digits(text, at, 1, 2, day); break;
      case 'm': ok = Digits(text, at, 2, 2, month); break;
      case 'd': ok = Digits(text, at, 2, 2, day); break;
      case 'b': ok = MonthName(text, at, month); break;
      default:
        ok = at < text.size() && text[at] == *p;
        ++at;
        break;
    }
    if (!ok) return false;
  }
  // A form must not stop inside a longer number ("20240101" is not "Y-M-D").
  return at >= text.size() || !IsDigit(text[at]);
}

// "hh:mm[:ss[.fraction]]" after a 'T' or blanks.
bool TimeOfDay(std::string_view text, size_t& at, int& hourOut, int& minuteOut, int& secondOut) {
  size_t p = at;
  int hour = 0, minute = 0, second = 0;
  if (p < text.size() && (text[p] == 'T' || text[p] == 't')) ++p;
  else
    while (p < text.size() && text[p] == ' ') ++p;
  if (!Digits(text, p, 1, 2, hour) || p >= text.size() || text[p] != ':') return false;
  ++p;
  if (!Digits(text, p, 2, 2, minute)) return false;
  if (p < text.size() && text[p] == ':') {
    ++p;
    if (!Digits(text, p, 2, 2, second)) return false;
    if (p < text.size() && (text[p] == '.' || text[p] == ',')) {
      ++p;
      if (p >= text.size() || !IsDigit(text[p])) return false;
      while (p < text.size() && IsDigit(text[p])) ++p;
    }
  }
  at = p;
  hourOut = hour;
  minuteOut = minute;
  secondOut = second;
  return true;
}

// The zone after a time: "Z", "+hh:mm", "-hhmm", "+hh", or a name; offset in
// minutes east of UTC. False for a zone that is not understood.
bool Zone(std::string_view rest, int& offset) {
  offset = 0;
  size_t p = 0;
  while (p < rest.size() && rest[p] == ' ') ++p;
  rest.remove_prefix(p);
  if (rest.empty()) return true;
  if (rest[0] == '+' || rest[0] == '-') {
    size_t at = 1;
    int hours = 0, minutes = 0;
    if (!Digits(rest, at, 2, 2, hours)) return false;
    if (at < rest.size() && rest[at] == ':') ++at;
    if (at < rest.size() && !Digits(rest, at, 2, 2, minutes)) return false;
    if (at != rest.size() || hours > 14 || minutes > 59) return false;
    offset = (rest[0] == '-' ? -1 : 1) * (hours * 60 + minutes);
    return true;
  }
  static constexpr struct {
    const char* Name;
    int Offset;
  } names[] = {{"Z", 0}, {"UTC", 0}, {"GMT", 0}, {"(UTC)", 0}, {"(GMT)", 0}, {"JST", 540}, {"(JST)", 540}};
  for (const auto& zone : names)
    if (EqualNoCase(rest, zone.Name)) {
      offset = zone.Offset;
      return true;
    }
  return false;
}

}  // namespace

const FieldKey* FindFieldKey(std::string_view context, std::string_view key) {
  const FieldKey* anywhere = nullptr;
  for (const FieldKey& entry : FieldKeys) {
    if (key != entry.Key) continue;
    if (context == entry.Context) return &entry;
    if (entry.Context[0] == '*' && context != "[]") anywhere = &entry;
  }
  return anywhere;
}

void LookupFields::Offer(Field field, std::string value, int rank) {
  if (value.empty() || field == Field::Count) return;
  Entry& entry = Entries[static_cast<size_t>(field)];
  const bool list = field == Field::Status || field == Field::Nameserver;
  if (entry.Values.empty() || rank < entry.Rank) {
    entry.Values.assign(1, std::move(value));
    entry.Rank = rank;
  } else if (list && rank == entry.Rank &&
             std::find(entry.Values.begin(), entry.Values.end(), value) == entry.Values.end()) {
    entry.Values.push_back(std::move(value));
  }
}

void LookupFields::MergeFrom(const LookupFields& later) {
  for (size_t i = 0; i < FieldCount; ++i) {
    const Entry& theirs = later.Entries[i];
    if (!theirs.Values.empty() && (Entries[i].Values.empty() || theirs.Rank < Entries[i].Rank)) Entries[i] = theirs;
  }
}

const std::string& LookupFields::Get(Field field) const {
  static const std::string none;
  const Entry& entry = Slot(field);
  return entry.Values.empty() ? none : entry.Values.front();
}

bool LookupFields::Empty() const {
  return std::all_of(Entries.begin(), Entries.end(), [](const Entry& e) { return e.Values.empty(); });
}

std::optional<std::string> NormaliseDate(std::string_view text) {
  text = TrimLine(text);
  // registro.br follows a date with the number of the ticket: "19961206 #24302".
  const size_t ticket = text.find(" #");
  if (ticket != std::string_view::npos) text = TrimLine(text.substr(0, ticket));
  for (const char* form : DateForms) {
    size_t at = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, offset = 0;
    if (!MatchDateForm(text, form, at, year, month, day)) continue;
    TimeOfDay(text, at, hour, minute, second);
    if (!Zone(text.substr(at), offset)) return std::nullopt;
    if (year < 1900 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 60)
      return std::nullopt;
    if (second == 60) second = 59;  // a leap second, as the nearest time the calendar has
    std::int64_t seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    seconds -= static_cast<std::int64_t>(offset) * 60;
    const std::int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const std::int64_t rest = seconds - days * 86400;
    CivilFromDays(days, year, month, day);
    if (year < 1900 || year > 9999) return std::nullopt;  // moved out of range by its zone
    char out[64];
    std::snprintf(out, sizeof out, "%04d-%02d-%02dT%02d:%02d:%02dZ", year, month, day, static_cast<int>(rest / 3600),
                  static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
    return std::string(out);
  }
  return std::nullopt;
}

std::optional<std::int64_t> DaysUntil(const std::string& rfc3339, std::time_t now) {
  // Only full RFC 3339 times count: "YYYY-MM-DDThh:mm:ss" and a zone.
  if (rfc3339.size() < 20 || (rfc3339[10] != 'T' && rfc3339[10] != 't')) return std::nullopt;
  const std::optional<std::string> utc = NormaliseDate(rfc3339);
  if (!utc) return std::nullopt;
  const std::string& t = *utc;
  const auto number = [&t](size_t at, size_t n) { return std::stoi(t.substr(at, n)); };
  const std::int64_t when = DaysFromCivil(number(0, 4), number(5, 2), number(8, 2)) * 86400 + number(11, 2) * 3600 +
                            number(14, 2) * 60 + number(17, 2);
  const std::int64_t difference = when - static_cast<std::int64_t>(now);
  return difference >= 0 ? difference / 86400 : (difference - 86399) / 86400;
}

std::string StatusCode(std::string_view text) {
  // Drop the explanatory link: "clientHold https://icann.org/epp#clientHold",
  // "clientHold (https://www.icann.org/epp#clientHold)".
  text = TrimLine(text);
  for (const char* cut : {"http", "("}) {
    const size_t at = text.find(cut);
    if (at != std::string_view::npos) text = TrimLine(text.substr(0, at));
  }
  std::string joined;
  for (const char c : text)
    if (c != ' ' && c != '\t' && c != '_') joined += Lower(c);
  if (joined.empty()) return {};
  for (const char* code : StatusCodes)
    if (EqualNoCase(joined, code)) return code;
  return {};
}

bool IsRedacted(std::string_view value) {
  std::string lower;
  lower.reserve(value.size());
  for (const char c : value) lower += Lower(c);
  for (const char* mark : RedactionMarks)
    if (lower.find(mark) != std::string::npos) return true;
  return false;
}

namespace {

std::string HostName(std::string_view value) {
  const size_t end = value.find_first_of(" \t");
  std::string name = LowerText(value.substr(0, end));
  while (!name.empty() && name.back() == '.') name.pop_back();
  if (name.find('.') == std::string::npos) return {};
  for (const char c : name)
    if (!((c >= 'a' && c <= 'z') || IsDigit(c) || c == '-' || c == '.' || c == '_')) return {};
  return name;
}

std::optional<bool> DnssecFlag(std::string_view value) {
  const std::string lower = LowerText(value);
  // "unsigned" before "signed": the one contains the other.
  for (const char* no : {"unsigned", "no", "false", "inactive", "not signed"})
    if (lower.compare(0, std::strlen(no), no) == 0) return false;
  for (const char* yes : {"signeddelegation", "signed", "yes", "true", "active"})
    if (lower.compare(0, std::strlen(yes), yes) == 0) return true;
  return std::nullopt;
}

std::string Number(std::string_view value) {
  if (value.size() > 2 && EqualNoCase(value.substr(0, 2), "as")) value.remove_prefix(2);
  if (value.empty() || value.size() > 10) return {};
  for (const char c : value)
    if (!IsDigit(c)) return {};
  return std::string(value);
}

}  // namespace

std::string CleanFieldValue(Field field, std::string_view value) {
  value = TrimLine(value);
  if (value.empty() || IsRedacted(value)) return {};
  switch (field) {
    case Field::Created:
    case Field::Updated:
    case Field::Expires: return NormaliseDate(value).value_or(std::string());
    case Field::Status: return StatusCode(value);
    case Field::Nameserver: return HostName(value);
    case Field::Dnssec: {
      const std::optional<bool> flag = DnssecFlag(value);
      return flag ? (*flag ? "true" : "false") : "";
    }
    case Field::AbuseEmail: {
      if (value.size() > 7 && EqualNoCase(value.substr(0, 7), "mailto:")) value.remove_prefix(7);
      const bool plausible = value.find('@') != std::string_view::npos && value.find(' ') == std::string_view::npos;
      return plausible ? std::string(value) : "";
    }
    case Field::AbusePhone: {
      if (value.size() > 4 && EqualNoCase(value.substr(0, 4), "tel:")) value.remove_prefix(4);
      return value.find_first_of("0123456789") == std::string_view::npos ? "" : std::string(value);
    }
    case Field::RegistrarIanaId:
    case Field::AsNumber: return Number(value);
    case Field::RegistrantCountry:
    case Field::HolderCountry: {
      if (value.size() != 2) return {};
      std::string code(value);
      for (char& c : code) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c < 'A' || c > 'Z') return {};
      }
      return code;
    }
    case Field::DomainName: return LowerText(value);
    case Field::RegistrarName: {
      // Nominet follows the name with the registrar's tag: "Name Ltd [Tag = NAME]".
      const size_t tag = value.find(" [Tag =");
      return std::string(TrimLine(value.substr(0, tag)));
    }
    default: return std::string(value);
  }
}
