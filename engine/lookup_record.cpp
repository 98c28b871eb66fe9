// Fields come from the RDAP answers when there is one, else from the whois
// replies; never from both, so one record does not mix two sources' ideas of
// the same registration. Answers are merged in the order they came: the
// registry's first, then the registrar's, and an earlier answer's value
// stands unless a later one has it at a better rank (a registrar's own
// expiration date never displaces the registry's). The IANA referral reply
// describes the TLD, not the query, and is left out.
#include "engine/lookup_record.h"

#include <algorithm>

#include "engine/rdap_fields.h"
#include "engine/rdap_json.h"
#include "engine/whois_fields.h"

using nlohmann::json;

namespace {

bool IsIanaReply(const StepRecord& step) {
  std::string server = step.Server;
  for (char& c : server) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  static const std::string banner = "% IANA WHOIS server";
  return server == "whois.iana.org" || step.Reply.compare(0, banner.size(), banner) == 0;
}

void Put(json& object, const char* key, const LookupFields& fields, Field field) {
  if (fields.Has(field)) object[key] = fields.Get(field);
}

void PutNumber(json& object, const char* key, const LookupFields& fields, Field field) {
  if (fields.Has(field)) object[key] = std::stoull(fields.Get(field));  // at most ten digits
}

void PutObject(json& record, const char* key, json object) {
  if (!object.empty()) record[key] = std::move(object);
}

void PutFields(json& record, const LookupFields& fields) {
  json registrar = json::object();
  Put(registrar, "name", fields, Field::RegistrarName);
  PutNumber(registrar, "iana_id", fields, Field::RegistrarIanaId);
  Put(registrar, "url", fields, Field::RegistrarUrl);
  Put(registrar, "whois_server", fields, Field::RegistrarWhoisServer);
  PutObject(record, "registrar", std::move(registrar));
  Put(record, "created", fields, Field::Created);
  Put(record, "updated", fields, Field::Updated);
  Put(record, "expires", fields, Field::Expires);
  if (fields.Has(Field::Status)) record["status"] = fields.List(Field::Status);
  if (fields.Has(Field::Nameserver)) {
    std::vector<std::string> names = fields.List(Field::Nameserver);
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    record["nameservers"] = names;
  }
  if (fields.Has(Field::Dnssec)) record["dnssec"] = fields.Get(Field::Dnssec) == "true";
  json abuse = json::object();
  Put(abuse, "email", fields, Field::AbuseEmail);
  Put(abuse, "phone", fields, Field::AbusePhone);
  PutObject(record, "abuse", std::move(abuse));
  json registrant = json::object();
  Put(registrant, "organization", fields, Field::RegistrantOrganization);
  Put(registrant, "country", fields, Field::RegistrantCountry);
  PutObject(record, "registrant", std::move(registrant));
  // The holder belongs to the AS number when the answer was about one.
  const bool asn = fields.Has(Field::AsNumber) || fields.Has(Field::AsName);
  json network = json::object();
  Put(network, "range", fields, Field::NetworkRange);
  Put(network, "cidr", fields, Field::NetworkCidr);
  Put(network, "name", fields, Field::NetworkName);
  Put(network, "handle", fields, Field::NetworkHandle);
  if (!asn) {
    Put(network, "country", fields, Field::HolderCountry);
    Put(network, "organization", fields, Field::HolderOrganization);
  }
  PutObject(record, "network", std::move(network));
  if (asn) {
    json number = json::object();
    PutNumber(number, "number", fields, Field::AsNumber);
    Put(number, "name", fields, Field::AsName);
    Put(number, "organization", fields, Field::HolderOrganization);
    record["asn"] = std::move(number);
  }
}

}  // namespace

void RecordBuilder::SetQuery(std::string queryText, std::string kindText) {
  query = std::move(queryText);
  kind = std::move(kindText);
}

void RecordBuilder::SetDomain(std::string aceName, std::string unicodeName) {
  ace = std::move(aceName);
  unicode = std::move(unicodeName);
}

void RecordBuilder::StepStarted(const char* server, const char* protocol, const char* request) {
  StepRecord step;
  step.Server = server ? server : "";
  step.Protocol = protocol ? protocol : "";
  step.Request = request ? request : "";
  steps.push_back(std::move(step));
  stepOpen = true;
}

void RecordBuilder::StepData(const char* utf8, std::size_t length) {
  if (!stepOpen || !utf8) return;
  StepRecord& step = steps.back();
  std::string& body = step.Protocol == "rdap" ? step.RdapJson : step.Reply;
  if (body.size() >= StepReplyLimit) return;
  if (length > StepReplyLimit - body.size()) {
    length = StepReplyLimit - body.size();
    errors.push_back("reply from " + step.Server + " is longer than 4 MiB: cut there");
  }
  body.append(utf8, length);
}

void RecordBuilder::StepEnded(bool ok, const char* error) {
  if (!stepOpen) return;
  steps.back().Ok = ok;
  if (error) steps.back().Error = error;
  stepOpen = false;
}

void RecordBuilder::AddError(std::string text) { errors.push_back(std::move(text)); }

json RecordBuilder::Build() const {
  json record = json::object();
  if (!query.empty()) record["query"] = query;
  if (!kind.empty()) record["kind"] = kind;
  LookupFields rdap, whois;
  bool fromRdap = false, fromWhois = false;
  json stepList = json::array();
  for (const StepRecord& step : steps) {
    json item = {{"server", step.Server},
                 {"protocol", step.Protocol},
                 {"request", step.Request},
                 {"status", step.Ok ? "ok" : "error"}};
    if (!step.Error.empty()) item["error"] = step.Error;
    if (step.Protocol == "rdap") {
      json answer;
      if (ParseBoundedJson(step.RdapJson, answer) == JsonVerdict::Parsed) {
        LookupFields fields;
        if (step.Ok && ReadRdapFields(answer, fields)) {
          rdap.MergeFrom(fields);
          fromRdap = true;
        }
        item["rdap"] = std::move(answer);
      } else if (!step.RdapJson.empty()) {
        item["reply"] = step.RdapJson;
      }
    } else {
      if (!step.Reply.empty()) item["reply"] = step.Reply;
      LookupFields fields;
      if (step.Ok && !IsIanaReply(step) && ParseWhoisReply(step.Reply, fields)) {
        whois.MergeFrom(fields);
        fromWhois = true;
      }
    }
    stepList.push_back(std::move(item));
  }
  const LookupFields& fields = fromRdap ? rdap : whois;
  if (!ace.empty()) record["domain"] = ace;
  else if (fields.Has(Field::DomainName)) record["domain"] = fields.Get(Field::DomainName);
  if (!unicode.empty()) record["domain_unicode"] = unicode;
  PutFields(record, fields);
  if (fromRdap || fromWhois) record["source"] = fromRdap ? "rdap" : "whois";
  if (!stepList.empty()) record["steps"] = std::move(stepList);
  if (!errors.empty()) record["errors"] = errors;
  return record;
}

std::string RecordLine(const json& record) {
  return record.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string RecordBuilder::Line() const { return RecordLine(Build()); }
