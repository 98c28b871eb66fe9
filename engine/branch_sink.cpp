#include "engine/branch_sink.h"

#include <utility>

namespace {

std::string Text(const char* text) { return text ? text : ""; }

}  // namespace

void BranchSink::Keep(Event event) {
  std::unique_lock<std::mutex> hold(lock_);
  if (!live_ && keptBytes_ > BranchKeepLimit) turn_.wait(hold, [this] { return live_; });
  // Once live, the lookup's main steps are over: this thread alone writes.
  if (live_) return Hand(event);
  keptBytes_ += event.a.size() + event.b.size() + event.c.size() + sizeof event;
  kept_.push_back(std::move(event));
}

void BranchSink::Hand(const Event& e) {
  switch (e.call) {
    case Call::Clear: out_.ClearOutput(); break;
    case Call::Append: out_.AppendOutput(static_cast<TextKind>(e.number), e.a.c_str()); break;
    case Call::Piece:
      out_.AppendPiece(static_cast<TextKind>(e.number), e.a.data(), e.a.size(), e.b.data(), e.b.size());
      break;
    case Call::Status: out_.SetStatus(e.number, e.a.c_str()); break;
    case Call::Locked: out_.SetInputLocked(e.number != 0); break;
    case Call::Select: out_.SelectQueryText(); break;
    case Call::Title: out_.SetMainTitle(e.a.c_str()); break;
    case Call::SaveAs: out_.EnableSaveAs(); break;
    case Call::Recent: out_.ShareRecentQuery(e.a.c_str()); break;
    case Call::Chunk: out_.ReplyChunk(e.a.data(), static_cast<int>(e.a.size())); break;
    case Call::Started:
      if (steps_) steps_->StepStarted(e.a.c_str(), e.b.c_str(), e.c.c_str());
      break;
    case Call::Data:
      if (steps_) steps_->StepData(e.a.data(), e.a.size());
      break;
    case Call::Ended:
      if (steps_) steps_->StepEnded((e.number & 1) != 0, (e.number & 2) != 0 ? e.a.c_str() : nullptr);
      break;
    case Call::Kind:
      if (steps_) steps_->Classified(e.a.c_str(), e.b.c_str());
      break;
  }
}

void BranchSink::TakeTurn() {
  std::lock_guard<std::mutex> hold(lock_);
  for (const Event& event : kept_) Hand(event);
  kept_.clear();
  kept_.shrink_to_fit();
  keptBytes_ = 0;
  live_ = true;
  turn_.notify_all();
}

void BranchSink::ClearOutput() { Keep({Call::Clear, 0, {}, {}, {}}); }
void BranchSink::AppendOutput(TextKind kind, const char* text) { Keep({Call::Append, kind, Text(text), {}, {}}); }
void BranchSink::AppendPiece(TextKind kind, const char* prefix, std::size_t prefixLength, const char* text,
                             std::size_t length) {
  Keep({Call::Piece, kind, std::string(prefix, prefixLength), std::string(text, length), {}});
}
void BranchSink::SetStatus(int part, const char* text) { Keep({Call::Status, part, Text(text), {}, {}}); }
void BranchSink::SetInputLocked(bool locked) { Keep({Call::Locked, locked ? 1 : 0, {}, {}, {}}); }
int BranchSink::ReadQueryText(char* buffer, int capacity) {
  // The branch's steps never read the query box: the main steps did.
  if (capacity > 0) buffer[0] = '\0';
  return 0;
}
void BranchSink::SelectQueryText() { Keep({Call::Select, 0, {}, {}, {}}); }
void BranchSink::SetMainTitle(const char* text) { Keep({Call::Title, 0, Text(text), {}, {}}); }
void BranchSink::EnableSaveAs() { Keep({Call::SaveAs, 0, {}, {}, {}}); }
void BranchSink::ShareRecentQuery(const char* text) { Keep({Call::Recent, 0, Text(text), {}, {}}); }
void BranchSink::ReplyChunk(const char* bytes, int count) {
  Keep({Call::Chunk, 0, std::string(bytes, count > 0 ? static_cast<std::size_t>(count) : 0), {}, {}});
}

void BranchSink::StepStarted(const char* server, const char* protocol, const char* request) {
  Keep({Call::Started, 0, Text(server), Text(protocol), Text(request)});
}
void BranchSink::StepData(const char* text, std::size_t length) {
  Keep({Call::Data, 0, text ? std::string(text, length) : std::string(), {}, {}});
}
void BranchSink::StepEnded(bool ok, const char* error) {
  Keep({Call::Ended, (ok ? 1 : 0) | (error ? 2 : 0), Text(error), {}, {}});
}
void BranchSink::Classified(const char* kind, const char* domain) {
  Keep({Call::Kind, 0, Text(kind), Text(domain), {}});
}
