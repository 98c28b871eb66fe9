// The normalised record of one lookup: what was asked, each exchange with a
// server, and the registration fields read from the answers (docs/json-record.md).
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/field_table.h"  // DaysUntil, for checking a record's "expires"

// One exchange with a server.
struct StepRecord {
  std::string Server, Protocol /* "whois" or "rdap" */, Request;
  bool Ok = false;
  std::string Error, Reply /* whois text, UTF-8 */, RdapJson /* raw body */;
};

// A record as one line of JSON and its line end: UTF-8, invalid bytes replaced.
std::string RecordLine(const nlohmann::json& record);

// The reply text kept of one step; a longer reply is cut there, with an error.
constexpr std::size_t StepReplyLimit = 4u << 20;

// Collects one lookup's steps.
class RecordBuilder {
 public:
  void SetQuery(std::string query, std::string kind);  // kind: "domain", "ip", "cidr", "asn", "host"
  void SetDomain(std::string ace, std::string unicode);
  void StepStarted(const char* server, const char* protocol, const char* request);
  void StepData(const char* utf8, std::size_t length);  // appended to the open step's reply or RDAP body
  void StepEnded(bool ok, const char* error);           // error text or nullptr
  void AddError(std::string text);
  nlohmann::json Build() const;  // the normalised record
  std::string Line() const;      // RecordLine(Build())
  const std::vector<StepRecord>& Steps() const { return steps; }

 private:
  std::string query, kind, ace, unicode;
  std::vector<StepRecord> steps;
  std::vector<std::string> errors;
  bool stepOpen = false;
};
