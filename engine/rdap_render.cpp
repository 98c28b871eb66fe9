// RDAP answers are JSON trees whose every member may be missing or of another
// type than RFC 9083 says, so each value is looked at through helpers that
// give an empty text for anything unexpected. The lines follow the whois
// replies' "Label:<tab>value" look; e-mail addresses become "mailto:" links
// like those of a whois reply; nested entities are indented one tab a level,
// at most MaxEntityDepth levels.
#include "engine/rdap_render.h"

#include <cstring>

#include "engine/rdap_json.h"
#include "net/output_sink.h"
#include "net/rdap_url.h"

using nlohmann::json;

namespace {

constexpr int MaxEntityDepth = 6;

// A member's text, with control characters (line ends included) as spaces so
// that a value cannot start a line of its own or drive a terminal.
std::string Text(const json& object, const char* key) {
  if (!object.is_object()) return {};
  const auto it = object.find(key);
  if (it == object.end()) return {};
  std::string text;
  if (it->is_string()) text = it->get<std::string>();
  else if (it->is_number_integer()) text = std::to_string(it->get<long long>());
  else if (it->is_number_unsigned()) text = std::to_string(it->get<unsigned long long>());
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return text;
}

std::string Clean(const json& value) {
  if (!value.is_string()) return {};
  std::string text = value.get<std::string>();
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return text;
}

const json& Member(const json& object, const char* key) {
  static const json none;
  if (!object.is_object()) return none;
  const auto it = object.find(key);
  return it == object.end() ? none : *it;
}

std::string Indent(int level) { return std::string(static_cast<size_t>(level), '\t'); }

// "Label:" and tabs up to the value column, as the host information block does.
void Line(OutputSink& out, int level, const std::string& label, const std::string& value, TextKind kind = Plain) {
  if (value.empty()) return;
  std::string line = Indent(level) + label + ":" + (label.size() + 1 < 8 ? "\t\t" : "\t");
  out.AppendOutput(Plain, line.c_str());
  out.AppendOutput(kind, (value + "\n").c_str());
}

// Further values of a list, under the first one.
void MoreLine(OutputSink& out, int level, const std::string& value) {
  if (value.empty()) return;
  out.AppendOutput(Plain, (Indent(level) + "\t\t" + value + "\n").c_str());
}

void ListLines(OutputSink& out, int level, const std::string& label, const std::vector<std::string>& values) {
  bool first = true;
  for (const std::string& v : values) {
    if (v.empty()) continue;
    if (first) Line(out, level, label, v);
    else MoreLine(out, level, v);
    first = false;
  }
}

std::string Capitalised(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
  return text;
}

void EventLines(OutputSink& out, int level, const json& object) {
  const json& events = Member(object, "events");
  if (!events.is_array()) return;
  for (const json& event : events) {
    const std::string action = Text(event, "eventAction");
    const std::string date = RdapDateText(Text(event, "eventDate"));
    if (action.empty() || date.empty()) continue;
    std::string label = action == "registration"   ? "Registered"
                        : action == "expiration"   ? "Expires"
                        : action == "last changed" ? "Last changed"
                                                   : Capitalised(action);
    Line(out, level, label, date);
  }
}

void StatusLines(OutputSink& out, int level, const json& object) {
  const json& status = Member(object, "status");
  if (!status.is_array()) return;
  std::vector<std::string> values;
  for (const json& s : status) values.push_back(Clean(s));
  ListLines(out, level, "Status", values);
}

// jCard (RFC 7095): ["vcard", [[name, params, type, value...], ...]].
void VCardLines(OutputSink& out, int level, const json& card) {
  if (!card.is_array() || card.size() < 2 || !card[1].is_array()) return;
  for (const json& property : card[1]) {
    if (!property.is_array() || property.size() < 4 || !property[0].is_string()) continue;
    const std::string name = property[0].get<std::string>();
    const json& value = property[3];
    if (name == "fn") {
      const std::string text = Clean(value);
      Line(out, level, "Name", text.empty() ? "(empty)" : text);
    } else if (name == "org") {
      Line(out, level, "Organisation", value.is_array() && !value.empty() ? Clean(value[0]) : Clean(value));
    } else if (name == "email") {
      const std::string address = Clean(value);
      if (!address.empty()) Line(out, level, "E-mail", "mailto:" + address, MailLink);
    } else if (name == "tel") {
      std::string number = Clean(value);
      if (number.compare(0, 4, "tel:") == 0) number.erase(0, 4);
      Line(out, level, "Telephone", number);
    } else if (name == "adr") {
      // The address is either a label parameter (lines) or seven components.
      std::vector<std::string> lines;
      const json& params = property[1];
      if (params.is_object() && params.contains("label") && params["label"].is_string()) {
        std::string text = params["label"].get<std::string>();
        size_t start = 0;
        while (start <= text.size()) {
          const size_t end = text.find('\n', start);
          std::string piece = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
          for (char& c : piece)
            if (static_cast<unsigned char>(c) < 0x20) c = ' ';
          lines.push_back(piece);
          if (end == std::string::npos) break;
          start = end + 1;
        }
      }
      if (lines.empty() && value.is_array()) {
        std::string joined;
        for (const json& part : value) {
          std::string piece = Clean(part);
          if (part.is_array())
            for (const json& sub : part) piece += (piece.empty() ? "" : ", ") + Clean(sub);
          if (!piece.empty()) joined += (joined.empty() ? "" : ", ") + piece;
        }
        lines.push_back(joined);
      }
      ListLines(out, level, "Address", lines);
    }
  }
}

void PublicIdLines(OutputSink& out, int level, const json& object) {
  const json& ids = Member(object, "publicIds");
  if (!ids.is_array()) return;
  for (const json& id : ids) Line(out, level, Text(id, "type"), Text(id, "identifier"));
}

void NoticeLines(OutputSink& out, int level, const char* label, const json& notices);

void EntityLines(OutputSink& out, int level, const json& entities) {
  if (!entities.is_array() || level > MaxEntityDepth) return;
  for (const json& entity : entities) {
    if (!entity.is_object()) continue;
    std::string roles;
    const json& list = Member(entity, "roles");
    if (list.is_array())
      for (const json& role : list) {
        const std::string r = Clean(role);
        if (!r.empty()) roles += (roles.empty() ? "" : ", ") + r;
      }
    const std::string handle = Text(entity, "handle");
    Line(out, level, roles.empty() ? "Contact" : Capitalised(roles), handle.empty() ? "-" : handle);
    PublicIdLines(out, level + 1, entity);
    VCardLines(out, level + 1, Member(entity, "vcardArray"));
    NoticeLines(out, level + 1, "Remark", Member(entity, "remarks"));
    EntityLines(out, level + 1, Member(entity, "entities"));
  }
}

void RedactionLines(OutputSink& out, const json& object) {
  const json& redacted = Member(object, "redacted");
  if (!redacted.is_array()) return;
  for (const json& r : redacted) {
    std::string what = Text(Member(r, "name"), "description");
    if (what.empty()) what = Text(Member(r, "name"), "type");
    if (what.empty()) continue;
    const std::string method = Text(r, "method");
    const std::string reason = Text(Member(r, "reason"), "description");
    std::string detail = method.empty() ? "" : method;
    if (!reason.empty()) detail += (detail.empty() ? "" : ": ") + reason;
    Line(out, 0, "Redacted", what + (detail.empty() ? "" : " (" + detail + ")"));
  }
}

void NoticeLines(OutputSink& out, int level, const char* label, const json& notices) {
  if (!notices.is_array()) return;
  for (const json& notice : notices) {
    const std::string title = Text(notice, "title");
    Line(out, level, label, title.empty() ? "-" : title);
    const json& description = Member(notice, "description");
    if (description.is_array())
      for (const json& line : description) MoreLine(out, level, Clean(line));
    const json& links = Member(notice, "links");
    if (links.is_array())
      for (const json& link : links) MoreLine(out, level, UrlWithoutUserInfo(Text(link, "href")));
  }
}

void NameserverLines(OutputSink& out, const json& object) {
  const json& nameservers = Member(object, "nameservers");
  if (!nameservers.is_array()) return;
  std::vector<std::string> names;
  for (const json& ns : nameservers) names.push_back(Text(ns, "ldhName"));
  ListLines(out, 0, "Nameservers", names);
}

void SecureDnsLines(OutputSink& out, const json& object) {
  const json& secure = Member(object, "secureDNS");
  if (!secure.is_object()) return;
  const json& signedFlag = Member(secure, "delegationSigned");
  if (signedFlag.is_boolean()) Line(out, 0, "Secure DNS", signedFlag.get<bool>() ? "signed delegation" : "unsigned");
  const json& ds = Member(secure, "dsData");
  if (ds.is_array())
    for (const json& d : ds)
      MoreLine(out, 0,
               "DS key tag " + Text(d, "keyTag") + ", algorithm " + Text(d, "algorithm") + ", digest type " +
                   Text(d, "digestType"));
}

}  // namespace

std::string RdapDateText(const std::string& date) {
  // "YYYY-MM-DDTHH:MM:SS" and a zone: the date and time, the zone as given.
  if (date.size() < 19 || date[4] != '-' || date[7] != '-' || (date[10] != 'T' && date[10] != 't')) return date;
  std::string zone = date.substr(19);
  const size_t fraction = zone.find_first_not_of("0123456789.");
  if (!zone.empty() && zone[0] == '.') zone.erase(0, fraction == std::string::npos ? zone.size() : fraction);
  if (zone == "Z" || zone == "z" || zone == "+00:00" || zone == "+0000") zone = "UTC";
  return date.substr(0, 10) + " " + date.substr(11, 8) + (zone.empty() ? "" : " " + zone);
}

std::string RelatedRdapLink(const json& object) {
  const json& links = Member(object, "links");
  if (!links.is_array()) return {};
  for (const json& link : links) {
    if (Text(link, "rel") != "related") continue;
    const std::string type = Text(link, "type");
    const std::string href = Text(link, "href");
    if (!RdapUrlRefusal(href).empty()) continue;  // https only, no user information
    if (type.empty() || type == "application/rdap+json" || type == "application/json") return href;
  }
  return {};
}

void RenderRdapObject(OutputSink& out, const json& object) {
  const std::string kind = Text(object, "objectClassName");
  std::string name = Text(object, "ldhName");
  const std::string unicodeName = Text(object, "unicodeName");
  if (!unicodeName.empty() && unicodeName != name) name += name.empty() ? unicodeName : " (" + unicodeName + ")";
  if (name.empty()) name = Text(object, "name");
  const std::string label = kind == "domain"       ? "Domain"
                            : kind == "ip network" ? "Network"
                            : kind == "autnum"     ? "AS number"
                            : kind == "nameserver" ? "Nameserver"
                            : kind == "entity"     ? "Entity"
                                                   : "Object";
  std::string title = name;
  if (kind == "autnum") {
    const std::string first = Text(object, "startAutnum"), last = Text(object, "endAutnum");
    title = first.empty() ? name : (first == last || last.empty() ? "AS" + first : "AS" + first + " - AS" + last);
    if (!name.empty() && title != name) title += " (" + name + ")";
  } else if (kind == "ip network") {
    const std::string first = Text(object, "startAddress"), last = Text(object, "endAddress");
    if (!first.empty()) title = first + " - " + last + (name.empty() ? "" : " (" + name + ")");
  }
  Line(out, 0, label, title.empty() ? "-" : title, Highlight);
  Line(out, 0, "Handle", Text(object, "handle"));
  Line(out, 0, "Type", Text(object, "type"));
  Line(out, 0, "Country", Text(object, "country"));
  Line(out, 0, "Parent", Text(object, "parentHandle"));
  StatusLines(out, 0, object);
  EventLines(out, 0, object);
  NameserverLines(out, object);
  SecureDnsLines(out, object);
  if (kind == "entity") VCardLines(out, 0, Member(object, "vcardArray"));
  EntityLines(out, 0, Member(object, "entities"));
  RedactionLines(out, object);
  NoticeLines(out, 0, "Remark", Member(object, "remarks"));
  NoticeLines(out, 0, "Notice", Member(object, "notices"));
}

std::string ShowRdapAnswer(OutputSink& out, long status, const std::string& server, const std::string& body) {
  json answer;
  const JsonVerdict verdict = ParseBoundedJson(body, answer);
  const bool errorObject = verdict == JsonVerdict::Parsed && answer.is_object() && answer.contains("errorCode");
  if (status >= 300 || status < 200 || errorObject) {
    std::string code = std::to_string(status);
    if (errorObject) {
      const std::string errorCode = Text(answer, "errorCode");
      if (!errorCode.empty()) code = errorCode;
    }
    std::string title = Text(answer, "title");
    AppendFormatted(out, Error, "RDAP error %s from %s%s%s\n", code.c_str(), server.c_str(), title.empty() ? "" : ": ",
                    title.c_str());
    const json& description = Member(answer, "description");
    if (description.is_array())
      for (const json& line : description) {
        const std::string text = Clean(line);
        if (!text.empty()) out.AppendOutput(Error, (text + "\n").c_str());
      }
    return {};
  }
  switch (verdict) {
    case JsonVerdict::TooLarge:
      AppendFormatted(out, Error, "RDAP answer from %s is larger than 4 MiB: refused\n", server.c_str());
      return {};
    case JsonVerdict::TooDeep:
      AppendFormatted(out, Error, "RDAP answer from %s is nested too deeply: refused\n", server.c_str());
      return {};
    case JsonVerdict::NotJson:
      AppendFormatted(out, Error, "RDAP answer from %s (status %ld) is not JSON\n", server.c_str(), status);
      return {};
    case JsonVerdict::Parsed: break;
  }
  if (!answer.is_object()) {
    AppendFormatted(out, Error, "RDAP answer from %s (status %ld) is not an RDAP object\n", server.c_str(), status);
    return {};
  }
  RenderRdapObject(out, answer);
  return RelatedRdapLink(answer);
}
