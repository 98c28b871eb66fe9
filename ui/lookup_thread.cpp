#include "ui/lookup_thread.h"

#include <memory>

#include "engine/lookup.h"
#include "engine/lookup_context.h"
#include "platform/thread.h"
#include "settings/settings.h"

std::atomic<int> CancelFlag{0};
std::atomic<int> QuitFlag{0};
platform::Socket CurrentConnection = platform::InvalidSocket;

namespace {

// Until the window installs its sink, reports go nowhere.
QuietSink nullSink;
OutputSink* currentSink = &nullSink;

std::unique_ptr<platform::Event> WakeEvent;
platform::Thread WorkerThread;

unsigned LookupWorker(void* argument) {
  auto* wake = static_cast<platform::Event*>(argument);
  Output().SetStatus(ActivityPart, "Ready...");
  for (;;) {
    wake->Wait();
    if (QuitFlag) return 0;
    // The options of this lookup, whatever the menus change meanwhile.
    LookupContext context(Output(), StopFlags{&CancelFlag, &QuitFlag}, SnapshotSettings(), &CurrentConnection);
    RunLookup(context);
    if (QuitFlag) return 0;
  }
}

}  // namespace

void SetOutputSink(OutputSink* sink) { currentSink = sink ? sink : &nullSink; }
OutputSink& Output() { return *currentSink; }

int StartLookupWorker() {
  WakeEvent = std::make_unique<platform::Event>();
  WorkerThread.Start(LookupWorker, WakeEvent.get());
  return 0;
}

int StopLookupWorker() {
  if (!WakeEvent) return 1;
  // A lookup blocked in a resolver call cannot see the flags; after
  // a while it is left to the process exit rather than holding it up.
  if (WorkerThread.Join(WorkerStopTimeoutMs)) {
    WakeEvent.reset();
  } else {
    WorkerThread.Abandon();
    (void)WakeEvent.release();  // the event stays: the thread may still wait on it
  }
  return 1;
}

void RequestLookup() {
  CancelFlag = 0;
  WakeEvent->Signal();
}

void RequestAbort() { CancelFlag = 1; }

void RequestQuit() {
  QuitFlag = 1;
  if (WakeEvent) WakeEvent->Signal();
}

void WakeLookupWorker() { WakeEvent->Signal(); }
