// Query cleanup and classification without the resolver: whatever is typed,
// the cleaned text comes from the typed one, the target's fields stay
// terminated within their capacities, and a server is chosen for every name.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/address_form.h"
#include "engine/classify.h"
#include "engine/directory.h"
#include "engine/lookup_context.h"
#include "fuzz/fuzz_support.h"
#include "net/connection.h"
#include "settings/settings.h"

namespace {

void CheckNormalize(const std::string& typed) {
  char text[QueryBufferSize];
  CopyText(text, sizeof text, typed.c_str());
  const std::string before = text;
  NormalizeQueryText(text);
  const std::string after = text;
  FUZZ_CHECK(after.size() <= before.size());
  FUZZ_CHECK(before.find(after) != std::string::npos);
  FUZZ_CHECK(after.empty() || after.back() != ' ');
  if (before.find("://") == std::string::npos) {
    size_t b = before.find_first_not_of(" \t");
    std::string expected = b == std::string::npos ? "" : before.substr(b);
    while (!expected.empty() && expected.back() == ' ') expected.pop_back();
    FUZZ_CHECK(after == expected);
  }
}

template <size_t N>
void CheckTerminated(const char (&field)[N]) {
  FUZZ_CHECK(std::memchr(field, '\0', N) != nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static PieceSink sink;
  // No resolver: these rules alone decide.
  static std::atomic<int> cancel{0}, quit{0};
  LookupSettings options;
  options.ResolveDomain = false;
  options.ReverseIP = false;
  LookupContext context(sink, StopFlags{&cancel, &quit}, options);

  const std::string typed(reinterpret_cast<const char*>(data), size);
  CheckNormalize(typed);

  sink.Query = std::string(typed.c_str());
  LookupTarget target;
  std::memset(&target, 0x55, sizeof target);  // no help from a zeroed record
  const char* server = ClassifyQuery(context, target);
  CheckTerminated(target.Host);
  CheckTerminated(target.IP);
  CheckTerminated(target.Domain);
  // The host text goes into the settings file's recent list: one line only.
  FUZZ_CHECK(std::strpbrk(target.Host, "\r\n") == nullptr);
  if (server) {
    FUZZ_CHECK(target.Host[0] != '\0' && target.Domain[0] != '\0');
    FUZZ_CHECK(target.Kind == HostName);
    FUZZ_CHECK(std::strlen(server) > 0);
  }
  if (target.IP[0]) {
    // Dotted digits, or one of the address forms, as typed.
    const AddressForm form = ClassifyAddressForm(target.IP);
    if (form == AddressForm::NotAddress) {
      for (const char* p = target.IP; *p; ++p) FUZZ_CHECK((*p >= '0' && *p <= '9') || *p == '.');
    } else {
      FUZZ_CHECK(form != AddressForm::Malformed && target.Kind == IpAddress && !server);
    }
  }
  (void)FindWhoisServer(typed.c_str());
  return 0;
}
