#include "platform/console.h"

#include <csignal>
#include <cstring>
#include <unistd.h>

namespace platform {

namespace {

std::atomic<int>* InterruptFlag = nullptr;

extern "C" void OnInterrupt(int) {
  if (InterruptFlag->exchange(1) == 1) _exit(130);
}

}  // namespace

void CatchInterrupts(std::atomic<int>& cancel) {
  InterruptFlag = &cancel;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnInterrupt;  // no SA_RESTART: the reply wait notices at once
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

bool EnableTerminalEscapes(std::FILE*) { return true; }

void UseBinaryOutput(std::FILE*) {}

}  // namespace platform
