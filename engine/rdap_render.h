// An RDAP answer (RFC 9083) as the readable lines of the output pane.
#pragma once

#include <string>
#include "net/output_sink.h"

#include <nlohmann/json.hpp>

// Shows one answer that came with HTTP `status` from `server`: the object's
// lines, or Error lines for an error status, an RDAP error object, JSON that
// does not parse or is nested too deeply. Returns the registrar's RDAP record
// that a registry answer links to (rel "related"), or empty.
std::string ShowRdapAnswer(OutputSink& out, long status, const std::string& server, const std::string& body);

// The readable lines of one parsed RDAP object, without error handling.
void RenderRdapObject(OutputSink& out, const nlohmann::json& object);

// "1997-09-15T04:00:00Z" -> "1997-09-15 04:00:00 UTC"; other texts unchanged.
std::string RdapDateText(const std::string& date);

// The https link with rel "related" that names another RDAP record, or empty.
std::string RelatedRdapLink(const nlohmann::json& object);
