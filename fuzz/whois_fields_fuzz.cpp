// One input as a whois reply and as an RDAP answer through the lookup record:
// whatever the server sends, the record is one line of valid JSON, its times
// are RFC 3339 in UTC, its status codes and name servers in their kept form.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/field_table.h"
#include "engine/lookup_record.h"
#include "fuzz/fuzz_support.h"

namespace {

bool IsUtcTime(const std::string& t) {
  if (t.size() != 20 || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' || t[16] != ':' || t[19] != 'Z')
    return false;
  for (const size_t i : {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18})
    if (t[i] < '0' || t[i] > '9') return false;
  return true;
}

void CheckRecord(const RecordBuilder& builder) {
  const std::string line = builder.Line();
  FUZZ_CHECK(!line.empty() && line.find('\n') == line.size() - 1);
  const nlohmann::json record = nlohmann::json::parse(line, nullptr, /*allow_exceptions=*/false);
  FUZZ_CHECK(record.is_object());
  for (const char* key : {"created", "updated", "expires"}) {
    if (!record.contains(key)) continue;
    const std::string time = record[key].get<std::string>();
    FUZZ_CHECK(IsUtcTime(time));
    FUZZ_CHECK(DaysUntil(time, 0).has_value());
  }
  if (record.contains("status"))
    for (const auto& status : record["status"]) FUZZ_CHECK(StatusCode(status.get<std::string>()) == status);
  if (record.contains("nameservers")) {
    std::string previous;
    for (const auto& entry : record["nameservers"]) {
      const std::string name = entry.get<std::string>();
      FUZZ_CHECK(!name.empty() && name.back() != '.' && name > previous);
      for (const char c : name) FUZZ_CHECK(!(c >= 'A' && c <= 'Z'));
      previous = name;
    }
  }
  if (record.contains("dnssec")) FUZZ_CHECK(record["dnssec"].is_boolean());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  for (const char* protocol : {"whois", "rdap"}) {
    RecordBuilder builder;
    builder.SetQuery("fuzz.example", "domain");
    builder.StepStarted("fuzz.example", protocol, "fuzz.example");
    builder.StepData(text, size);
    builder.StepEnded(true, nullptr);
    CheckRecord(builder);
  }
  // A date the parser accepts comes out in the form it accepts unchanged.
  const std::optional<std::string> date = NormaliseDate(std::string(text, size < 64 ? size : 64));
  if (date) {
    FUZZ_CHECK(IsUtcTime(*date));
    FUZZ_CHECK(NormaliseDate(*date) == date);
  }
  return 0;
}
