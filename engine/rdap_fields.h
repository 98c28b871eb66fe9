// The fields of one RDAP answer (RFC 9083): a domain, an IP network or an
// autonomous system number.
#pragma once
#include <nlohmann/json.hpp>

#include "engine/field_table.h"

// Adds what `answer` holds to `out`; false when it is not an RDAP object of
// one of those classes (an error object, another class, not an object).
bool ReadRdapFields(const nlohmann::json& answer, LookupFields& out);
