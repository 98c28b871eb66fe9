// A stage of the console's output for a locale that is not UTF-8: the
// filtered text in the locale's character set, "?" for what it cannot hold.
#pragma once
#include <string>

#include "cli/console_writer.h"
#include "platform/console.h"

// A UTF-8 locale's text goes on as it lies.
class CharsetStage final : public TextStage {
 public:
  CharsetStage(TextStage& next, const platform::TextEncoder* encoder) : next_(next), encoder_(encoder) {}
  void SetEncoder(const platform::TextEncoder* encoder) { encoder_ = encoder; }
  using TextStage::Put;
  void Put(const char* bytes, size_t count) override {
    if (encoder_->PassesUtf8()) return next_.Put(bytes, count);
    converted_.clear();
    encoder_->Convert(bytes, count, converted_);
    next_.Put(converted_.data(), converted_.size());
  }

 private:
  TextStage& next_;
  const platform::TextEncoder* encoder_;
  std::string converted_;
};
