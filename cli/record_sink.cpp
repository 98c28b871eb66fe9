#include "cli/record_sink.h"

#include <cstring>

#include "platform/idn.h"
#include "platform/text.h"

namespace {

// An error line as the record keeps it: without its line breaks.
std::string Trimmed(const char* text) { return std::string(Trim(text ? text : "", " \t\r\n")); }

}  // namespace

RecordSteps::RecordSteps(std::string query) : query_(std::move(query)) { builder_.SetQuery(query_, ""); }

void RecordSteps::StepStarted(const char* server, const char* protocol, const char* request) {
  builder_.StepStarted(server, protocol, request);
  stepOpen_ = true;
  stepError_.clear();
}

void RecordSteps::StepEnded(bool ok, const char* error) {
  const std::string given = error ? Trimmed(error) : std::string();
  builder_.StepEnded(ok, error ? given.c_str() : ok || stepError_.empty() ? nullptr : stepError_.c_str());
  stepOpen_ = false;
}

void RecordSteps::Classified(const char* kind, const char* domain) {
  kind_ = kind ? kind : "";
  builder_.SetQuery(query_, kind_);
  domain_ = LowerText(domain ? domain : "");
  if (domain_.empty()) return;
  std::string unicode;
  if (!platform::NameToUnicode(domain_.c_str(), unicode)) unicode.clear();
  builder_.SetDomain(domain_, unicode);
}

void RecordSteps::ErrorLine(const char* text) {
  const std::string line = Trimmed(text);
  if (line.empty()) return;
  if (stepOpen_) {
    if (stepError_.empty()) stepError_ = line;
    return;
  }
  errors_.push_back(line);
  builder_.AddError(line);
}

int RecordSink::ReadQueryText(char* buffer, int capacity) {
  if (capacity <= 0) return 0;
  CopyText(buffer, capacity, query_.c_str());
  return static_cast<int>(std::strlen(buffer));
}
