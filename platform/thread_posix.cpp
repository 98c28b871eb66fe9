#include "platform/thread.h"

#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace platform {

struct Event::State {
  std::mutex mutex;
  std::condition_variable changed;
  bool signalled = false;
};

Event::Event() : state_(new State) {}
Event::~Event() { delete state_; }

void Event::Signal() {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->signalled = true;
  }
  state_->changed.notify_one();
}

void Event::Wait() {
  std::unique_lock<std::mutex> lock(state_->mutex);
  state_->changed.wait(lock, [this] { return state_->signalled; });
  state_->signalled = false;
}

bool Event::WaitFor(unsigned milliseconds) {
  std::unique_lock<std::mutex> lock(state_->mutex);
  if (!state_->changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return state_->signalled; }))
    return false;
  state_->signalled = false;
  return true;
}

// The thread's end is announced through `done`, so that a join can give up
// after a while; an abandoned thread owns the state and frees it itself.
struct Thread::State {
  ThreadProc proc;
  void* argument;
  pthread_t handle;
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  bool abandoned = false;
};

namespace {
void* RunThread(void* raw) {
  auto* state = static_cast<Thread::State*>(raw);
  state->proc(state->argument);
  bool abandoned;
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->done = true;
    abandoned = state->abandoned;
  }
  if (abandoned) {
    delete state;
  } else {
    state->ended.notify_all();
  }
  return nullptr;
}
}  // namespace

Thread::~Thread() {
  if (state_) Join(~0u);
}

bool Thread::Start(ThreadProc proc, void* argument) {
  auto* state = new State;
  state->proc = proc;
  state->argument = argument;
  if (pthread_create(&state->handle, nullptr, RunThread, state) != 0) {
    delete state;
    return false;
  }
  state_ = state;
  return true;
}

bool Thread::Join(unsigned milliseconds) {
  if (!state_) return true;
  {
    std::unique_lock<std::mutex> lock(state_->mutex);
    auto isDone = [this] { return state_->done; };
    if (milliseconds == ~0u) {
      state_->ended.wait(lock, isDone);
    } else if (!state_->ended.wait_for(lock, std::chrono::milliseconds(milliseconds), isDone)) {
      return false;
    }
  }
  pthread_join(state_->handle, nullptr);
  delete state_;
  state_ = nullptr;
  return true;
}

void Thread::Abandon() {
  if (!state_) return;
  bool done;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    done = state_->done;
    state_->abandoned = !done;
  }
  if (done) {
    pthread_join(state_->handle, nullptr);
    delete state_;
  } else {
    pthread_detach(state_->handle);
  }
  state_ = nullptr;
}

void SleepMilliseconds(unsigned milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

}  // namespace platform
