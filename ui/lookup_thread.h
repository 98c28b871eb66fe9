// The Windows program's one lookup at a time: the worker thread woken by
// WakeEvent, and the globals that are this program's lookup context (the
// sink, CancelFlag, QuitFlag, CurrentConnection). Each lookup runs with a
// copy of Settings taken at its start.
#pragma once
#include <atomic>

#include "net/output_sink.h"
#include "platform/sockets.h"

// Written by the user-interface thread, read by the worker without a lock.
// CancelFlag: 1 asks the running lookup to stop. QuitFlag: 1 tells the worker
// to end; the transport treats it as a cancel so shutdown is never held up by
// a silent server.
extern std::atomic<int> CancelFlag;
extern std::atomic<int> QuitFlag;
// The socket of the exchange in progress, or InvalidSocket.
extern platform::Socket CurrentConnection;

// The sink of this program; set once before the worker starts.
void SetOutputSink(OutputSink* sink);
OutputSink& Output();

// How long shutdown waits for a lookup that is blocked in a call the flags
// cannot interrupt (name lookup, connect) before it leaves the thread behind.
constexpr unsigned WorkerStopTimeoutMs = 3000;

int StartLookupWorker();
int StopLookupWorker();

// Requests from the user interface.
void RequestLookup();     // CancelFlag := 0, then wake the worker
void RequestAbort();      // CancelFlag := 1
void RequestQuit();       // QuitFlag := 1, then wake the worker
void WakeLookupWorker();  // wake without touching CancelFlag (the command line)
