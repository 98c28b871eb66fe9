#include "platform/thread.h"

#include <windows.h>

namespace platform {

struct Event::State {
  HANDLE handle;
};

Event::Event() : state_(new State{CreateEventA(nullptr, FALSE, FALSE, nullptr)}) {}

Event::~Event() {
  CloseHandle(state_->handle);
  delete state_;
}

void Event::Signal() { SetEvent(state_->handle); }
void Event::Wait() { WaitForSingleObject(state_->handle, INFINITE); }
bool Event::WaitFor(unsigned milliseconds) {
  return WaitForSingleObject(state_->handle, milliseconds) == WAIT_OBJECT_0;
}

struct Thread::State {
  ThreadProc proc;
  void* argument;
  HANDLE handle;
};

namespace {
DWORD WINAPI RunThread(LPVOID raw) {
  auto* state = static_cast<Thread::State*>(raw);
  return state->proc(state->argument);
}
}  // namespace

Thread::~Thread() {
  if (state_) Join(INFINITE);
}

bool Thread::Start(ThreadProc proc, void* argument) {
  auto* state = new State{proc, argument, nullptr};
  state->handle = CreateThread(nullptr, 0, RunThread, state, 0, nullptr);
  if (!state->handle) {
    delete state;
    return false;
  }
  state_ = state;
  return true;
}

bool Thread::Join(unsigned milliseconds) {
  if (!state_) return true;
  if (WaitForSingleObject(state_->handle, milliseconds) != WAIT_OBJECT_0) return false;
  CloseHandle(state_->handle);
  delete state_;
  state_ = nullptr;
  return true;
}

// The state stays allocated: the running thread still reads it, and the
// process exit that follows takes both away.
void Thread::Abandon() {
  if (!state_) return;
  CloseHandle(state_->handle);
  state_ = nullptr;
}

void SleepMilliseconds(unsigned milliseconds) { Sleep(milliseconds); }

}  // namespace platform
