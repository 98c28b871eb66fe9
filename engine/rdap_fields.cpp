// Any member of an RDAP answer may be missing or of an unexpected type, so
// each is read through helpers that give nothing for what is not as RFC 9083
// describes it. Contacts are entities with roles; their data is a jCard
// (RFC 7095): ["vcard", [[name, parameters, type, value], ...]].
#include "engine/rdap_fields.h"

#include <string>

using nlohmann::json;

namespace {

// Nested entities deeper than this are not searched (the abuse contact sits
// one or two levels down; a hostile answer may nest far more).
constexpr int MaxEntityDepth = 6;

const json& Member(const json& object, const char* key) {
  static const json none;
  if (!object.is_object()) return none;
  const auto it = object.find(key);
  return it == object.end() ? none : *it;
}

std::string Text(const json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_number_unsigned()) return std::to_string(value.get<unsigned long long>());
  if (value.is_number_integer()) return std::to_string(value.get<long long>());
  return {};
}

std::string Text(const json& object, const char* key) { return Text(Member(object, key)); }

bool HasRole(const json& entity, const char* role) {
  const json& roles = Member(entity, "roles");
  if (!roles.is_array()) return false;
  for (const json& r : roles)
    if (r.is_string() && r.get<std::string>() == role) return true;
  return false;
}

// The value of the first jCard property `name`, as text.
std::string CardValue(const json& entity, const char* name) {
  const json& card = Member(entity, "vcardArray");
  if (!card.is_array() || card.size() < 2 || !card[1].is_array()) return {};
  for (const json& property : card[1]) {
    if (!property.is_array() || property.size() < 4 || !property[0].is_string()) continue;
    if (property[0].get<std::string>() != name) continue;
    const json& value = property[3];
    // "org" may be structured: [organisation name, unit...].
    return value.is_array() ? (value.empty() ? std::string() : Text(value[0])) : Text(value);
  }
  return {};
}

// The country of the first address: the "cc" parameter (RFC 8605), else the
// last component when it is a two-letter code.
std::string CardCountry(const json& entity) {
  const json& card = Member(entity, "vcardArray");
  if (!card.is_array() || card.size() < 2 || !card[1].is_array()) return {};
  for (const json& property : card[1]) {
    if (!property.is_array() || property.size() < 4 || property[0] != "adr") continue;
    const std::string cc = Text(Member(property[1], "cc"));
    if (!cc.empty()) return cc;
    const json& parts = property[3];
    return parts.is_array() && parts.size() == 7 ? Text(parts[6]) : std::string();
  }
  return {};
}

const json* FindEntity(const json& entities, const char* role, int depth = 0) {
  if (!entities.is_array() || depth > MaxEntityDepth) return nullptr;
  for (const json& entity : entities)
    if (entity.is_object() && HasRole(entity, role)) return &entity;
  for (const json& entity : entities)
    if (const json* found = FindEntity(Member(entity, "entities"), role, depth + 1)) return found;
  return nullptr;
}

void Offer(LookupFields& out, Field field, const std::string& value, int rank = 1) {
  out.Offer(field, CleanFieldValue(field, value), rank);
}

void Events(const json& object, LookupFields& out) {
  const json& events = Member(object, "events");
  if (!events.is_array()) return;
  for (const json& event : events) {
    const std::string action = Text(event, "eventAction"), date = Text(event, "eventDate");
    if (action == "registration") Offer(out, Field::Created, date);
    else if (action == "expiration") Offer(out, Field::Expires, date);
    else if (action == "last changed") Offer(out, Field::Updated, date);
  }
}

void Statuses(const json& object, LookupFields& out) {
  const json& status = Member(object, "status");
  if (!status.is_array()) return;
  for (const json& s : status) Offer(out, Field::Status, Text(s));
}

void Abuse(const json& entities, LookupFields& out) {
  const json* abuse = FindEntity(entities, "abuse");
  if (!abuse) return;
  Offer(out, Field::AbuseEmail, CardValue(*abuse, "email"));
  Offer(out, Field::AbusePhone, CardValue(*abuse, "tel"));
}

// The holder of a network or AS number: a registrant of kind "org" first.
void Holder(const json& entities, LookupFields& out) {
  if (!entities.is_array()) return;
  for (const json& entity : entities) {
    if (!HasRole(entity, "registrant")) continue;
    Offer(out, Field::HolderOrganization, CardValue(entity, "fn"), CardValue(entity, "kind") == "org" ? 1 : 2);
    Offer(out, Field::HolderCountry, CardCountry(entity));
  }
}

void Domain(const json& answer, LookupFields& out) {
  Offer(out, Field::DomainName, Text(answer, "ldhName"));
  const json& nameservers = Member(answer, "nameservers");
  if (nameservers.is_array())
    for (const json& ns : nameservers) Offer(out, Field::Nameserver, Text(ns, "ldhName"));
  const json& signedFlag = Member(Member(answer, "secureDNS"), "delegationSigned");
  if (signedFlag.is_boolean()) out.Offer(Field::Dnssec, signedFlag.get<bool>() ? "true" : "false");
  const json& entities = Member(answer, "entities");
  if (const json* registrar = FindEntity(entities, "registrar")) {
    Offer(out, Field::RegistrarName, CardValue(*registrar, "fn"));
    Offer(out, Field::RegistrarUrl, CardValue(*registrar, "url"));
    const json& ids = Member(*registrar, "publicIds");
    if (ids.is_array())
      for (const json& id : ids)
        if (Text(id, "type") == "IANA Registrar ID") Offer(out, Field::RegistrarIanaId, Text(id, "identifier"));
    Abuse(Member(*registrar, "entities"), out);
  }
  Abuse(entities, out);
  if (const json* registrant = FindEntity(entities, "registrant")) {
    Offer(out, Field::RegistrantOrganization, CardValue(*registrant, "org"));
    if (CardValue(*registrant, "kind") == "org")
      Offer(out, Field::RegistrantOrganization, CardValue(*registrant, "fn"), 2);
    Offer(out, Field::RegistrantCountry, CardCountry(*registrant));
  }
}

void Network(const json& answer, LookupFields& out) {
  const std::string first = Text(answer, "startAddress"), last = Text(answer, "endAddress");
  if (!first.empty() && !last.empty()) Offer(out, Field::NetworkRange, first + " - " + last);
  std::string cidrs;
  const json& list = Member(answer, "cidr0_cidrs");
  if (list.is_array())
    for (const json& cidr : list) {
      std::string prefix = Text(cidr, "v4prefix");
      if (prefix.empty()) prefix = Text(cidr, "v6prefix");
      const std::string length = Text(cidr, "length");
      if (prefix.empty() || length.empty()) continue;
      cidrs += (cidrs.empty() ? "" : ", ") + prefix + "/" + length;
    }
  Offer(out, Field::NetworkCidr, cidrs);
  Offer(out, Field::NetworkName, Text(answer, "name"));
  Offer(out, Field::NetworkHandle, Text(answer, "handle"));
  Offer(out, Field::HolderCountry, Text(answer, "country"));
}

void Autnum(const json& answer, LookupFields& out) {
  Offer(out, Field::AsNumber, Text(answer, "startAutnum"));
  Offer(out, Field::AsName, Text(answer, "name"));
}

}  // namespace

bool ReadRdapFields(const json& answer, LookupFields& out) {
  if (!answer.is_object() || answer.contains("errorCode")) return false;
  const std::string kind = Text(answer, "objectClassName");
  if (kind == "domain") Domain(answer, out);
  else if (kind == "ip network") Network(answer, out);
  else if (kind == "autnum") Autnum(answer, out);
  else return false;
  if (kind != "domain") {
    Holder(Member(answer, "entities"), out);
    Abuse(Member(answer, "entities"), out);
  }
  Events(answer, out);
  Statuses(answer, out);
  return true;
}
