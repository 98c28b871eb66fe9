// The fields of one whois reply: the gTLD layout, the ccTLD layouts of the
// key table, and the address registries' objects (ARIN, RPSL).
#pragma once
#include <string_view>

#include "engine/field_table.h"

// Adds what `text` holds to `out`; true when it held any known field.
bool ParseWhoisReply(std::string_view text, LookupFields& out);
