// The wake event and the worker thread: Win32 events and threads on Windows,
// pthreads elsewhere.
#pragma once

namespace platform {

// An auto-reset event, created unsignalled: one Signal releases one Wait, and
// signals that arrive while nobody waits collapse into one.
class Event {
 public:
  Event();
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  void Signal();
  void Wait();
  // false when the time ran out first.
  bool WaitFor(unsigned milliseconds);

 private:
  struct State;
  State* state_;
};

using ThreadProc = unsigned (*)(void* argument);

class Thread {
 public:
  Thread() = default;
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  bool Start(ThreadProc proc, void* argument);
  // Waits for the thread to end; false when it is still running after the time.
  bool Join(unsigned milliseconds);
  // Forgets a thread that would not end; the process exit takes it down.
  void Abandon();
  bool Running() const { return state_ != nullptr; }

  struct State;  // defined by each platform's implementation

 private:
  State* state_ = nullptr;
};

void SleepMilliseconds(unsigned milliseconds);

}  // namespace platform
