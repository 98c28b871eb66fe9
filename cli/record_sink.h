// The console's JSON record of one lookup: the exchanges and the lookup's
// errors gathered as they happen, for one JSON line at its end.
#pragma once
#include <string>
#include <vector>

#include "cli/recent_record.h"
#include "engine/lookup_context.h"
#include "engine/lookup_record.h"
#include "net/output_sink.h"

// Feeds the record from the engine's exchanges. An error line that comes
// while an exchange is open is that exchange's error; one outside them is an
// error of the lookup.
class RecordSteps final : public StepObserver {
 public:
  explicit RecordSteps(std::string query);
  void StepStarted(const char* server, const char* protocol, const char* request) override;
  void StepData(const char* text, std::size_t length) override { builder_.StepData(text, length); }
  void StepEnded(bool ok, const char* error) override;
  void Classified(const char* kind, const char* domain) override;
  void ErrorLine(const char* text);

  const RecordBuilder& Builder() const { return builder_; }
  const std::string& Domain() const { return domain_; }
  const std::string& Kind() const { return kind_; }
  // The lookup's own errors, in order (the record's "errors").
  const std::vector<std::string>& Errors() const { return errors_; }

 private:
  RecordBuilder builder_;
  std::string query_, kind_, domain_, stepError_;
  std::vector<std::string> errors_;
  bool stepOpen_ = false;
};

// The sink of a --json lookup: it shows nothing; it hands the query to the
// engine and its error lines to the record. Replies reach the record through
// the exchanges alone, so they are not split into pieces for display.
class RecordSink final : public QuietSink {
 public:
  // `recentPath`: the settings file whose recent list records the query;
  // empty for none.
  RecordSink(RecordSteps& steps, std::string query, std::string recentPath = {})
      : steps_(steps), query_(std::move(query)), recent_(std::move(recentPath)) {}
  void AppendOutput(TextKind kind, const char* text) override {
    if (kind == Error) steps_.ErrorLine(text);
  }
  int ReadQueryText(char* buffer, int capacity) override;
  int ReadQueryTextUtf8(char* buffer, int capacity) override { return ReadQueryText(buffer, capacity); }
  bool ShowsReplyPieces() const override { return false; }
  void ShareRecentQuery(const char* text) override { recent_.Record(text); }

 private:
  RecordSteps& steps_;
  std::string query_;
  RecentRecord recent_;
};
