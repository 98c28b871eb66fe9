// Reading an RDAP answer or a bootstrap file: JSON within fixed bounds.
#pragma once
#include <cstddef>
#include <string>

#include <nlohmann/json.hpp>

#include "net/rdap_transport.h"  // RdapAnswerLimit
// Objects and arrays nested deeper than this are refused: no real answer
// comes near it, and a hostile one cannot exhaust the stack of what reads it.
constexpr int RdapNestingLimit = 64;

enum class JsonVerdict { Parsed, TooLarge, TooDeep, NotJson };

// Parses `text` into `out` when it is within both bounds and is JSON.
JsonVerdict ParseBoundedJson(const std::string& text, nlohmann::json& out);

// The deepest nesting of objects and arrays in `text`, counted outside
// strings; stops counting once past `limit`.
int JsonNestingDepth(const std::string& text, int limit);
