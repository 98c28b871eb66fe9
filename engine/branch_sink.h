// A side branch of a lookup: steps that run on a thread of their own while
// the lookup's main steps write to the real sink. What the branch shows (and
// tells the step observer) is kept in order until the branch's turn comes;
// then it is handed on, and from there on the branch writes straight through.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "engine/lookup_context.h"
#include "net/output_sink.h"

// A branch that has kept this much waits for its turn before it goes on, so
// that a flood of a reply is never held whole.
constexpr std::size_t BranchKeepLimit = 4u << 20;

class BranchSink final : public OutputSink, public StepObserver {
 public:
  // `steps`: the lookup's observer, or null.
  BranchSink(OutputSink& out, StepObserver* steps) : out_(out), steps_(steps) {}
  BranchSink(const BranchSink&) = delete;
  BranchSink& operator=(const BranchSink&) = delete;

  // The branch's turn: what it kept goes to the real sink and observer now,
  // on the calling thread, and the rest as it comes.
  void TakeTurn();

  void ClearOutput() override;
  void AppendOutput(TextKind kind, const char* text) override;
  void AppendPiece(TextKind kind, const char* prefix, std::size_t prefixLength, const char* text,
                   std::size_t length) override;
  void SetStatus(int part, const char* text) override;
  void SetInputLocked(bool locked) override;
  int ReadQueryText(char* buffer, int capacity) override;
  void SelectQueryText() override;
  void SetMainTitle(const char* text) override;
  void EnableSaveAs() override;
  void ShareRecentQuery(const char* text) override;
  void ReplyChunk(const char* bytes, int count) override;
  bool ShowsReplyPieces() const override { return out_.ShowsReplyPieces(); }

  void StepStarted(const char* server, const char* protocol, const char* request) override;
  void StepData(const char* text, std::size_t length) override;
  void StepEnded(bool ok, const char* error) override;
  void Classified(const char* kind, const char* domain) override;

 private:
  enum class Call {
    Clear,
    Append,
    Piece,
    Status,
    Locked,
    Select,
    Title,
    SaveAs,
    Recent,
    Chunk,
    Started,
    Data,
    Ended,
    Kind,
  };
  struct Event {
    Call call;
    int number;  // the text kind, status part, flag or count
    std::string a, b, c;
  };
  void Keep(Event event);
  void Hand(const Event& event);

  OutputSink& out_;
  StepObserver* steps_;
  std::mutex lock_;
  std::condition_variable turn_;
  std::vector<Event> kept_;
  std::size_t keptBytes_ = 0;
  bool live_ = false;
};
