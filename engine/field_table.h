// The fields of a lookup record, the one table of whois key names that fill
// them, and the date forms the registries write.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class Field : int {
  DomainName,
  RegistrarName,
  RegistrarIanaId,
  RegistrarUrl,
  RegistrarWhoisServer,
  Created,
  Updated,
  Expires,
  Dnssec,  // "true" or "false"
  AbuseEmail,
  AbusePhone,
  RegistrantOrganization,
  RegistrantCountry,
  NetworkRange,
  NetworkCidr,
  NetworkName,
  NetworkHandle,
  HolderOrganization,  // the organisation holding a network or an AS number
  HolderCountry,
  AsNumber,
  AsName,
  Status,      // a list
  Nameserver,  // a list
  Count
};
constexpr std::size_t FieldCount = static_cast<std::size_t>(Field::Count);

// One key of a whois layout. `context` is the object or section the key
// stands in (its first key or heading, lower case), "*" for anywhere, "[]" for
// the bracketed keys of JPRS. A lower rank wins over a higher one.
struct FieldKey {
  const char* Context;
  const char* Key;
  Field Target;
  int Rank;
};

// The table entry for `key` (lower case, single blanks) in `context`, or null.
const FieldKey* FindFieldKey(std::string_view context, std::string_view key);

// Field values gathered from one answer or merged from several.
class LookupFields {
 public:
  // Keeps `value` when the field is empty or holds a value of a higher rank;
  // list fields collect every distinct value of the best rank seen.
  void Offer(Field field, std::string value, int rank = 1);
  // Fills from `later` what this one lacks or holds at a worse rank; on equal
  // ranks the values already here stay.
  void MergeFrom(const LookupFields& later);
  bool Has(Field field) const { return !Slot(field).Values.empty(); }
  const std::string& Get(Field field) const;
  const std::vector<std::string>& List(Field field) const { return Slot(field).Values; }
  bool Empty() const;

 private:
  struct Entry {
    std::vector<std::string> Values;
    int Rank = 0;
  };
  const Entry& Slot(Field field) const { return Entries[static_cast<std::size_t>(field)]; }
  std::array<Entry, FieldCount> Entries;
};

// `value` in the form its field keeps (dates in RFC 3339, name servers in lower
// case without the final dot, "true"/"false" for DNSSEC, digits for numbers, a
// two-letter country code), or empty when it is withheld or not of that kind.
// Status values go through StatusCode one at a time.
std::string CleanFieldValue(Field field, std::string_view value);

// A registry's date as RFC 3339 in UTC ("2027-01-02T00:00:00Z"), or nothing
// when its form is not one of the known ones. A date without a zone is UTC.
std::optional<std::string> NormaliseDate(std::string_view text);

// Whole days from `now` until the RFC 3339 time `rfc3339` (negative once it
// has passed), or nothing when the text is not such a time.
std::optional<std::int64_t> DaysUntil(const std::string& rfc3339, std::time_t now);

// An EPP status in lower camel case ("client transfer prohibited",
// "clientTransferProhibited https://icann.org/epp#..." and "CLIENTTRANSFERPROHIBITED"
// all give "clientTransferProhibited"); empty for a value that is not an EPP or
// RDAP status.
std::string StatusCode(std::string_view text);

// True for the texts registries put where data is withheld ("REDACTED FOR
// PRIVACY", "Not Disclosed", "DATA REDACTED", ...).
bool IsRedacted(std::string_view value);
