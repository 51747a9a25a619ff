// The probes of one district-list parse, and the guard that keeps a probe from writing
// into a record that is gone or that belongs to a newer parse.
//
// Every StartPingWorker belongs to the current round. BeginProbeRound (before a parse
// refills the table) and EndProbes (before the table is destroyed) start a new round, so
// any worker of an earlier round drops its result. The round number and every worker's
// store are guarded by one mutex: once BeginProbeRound or EndProbes has returned, no
// stale worker is halfway through a store. The store itself is StoreLatency, one aligned
// atomic 32-bit write, so the UI thread keeps polling with LoadLatency and no lock.
// Workers never read the record: StartPingWorker copies the address into their ticket.
// A listener, when set, hears of every stored result from the worker's thread, under the
// same mutex; it must only hand the news on (the launcher posts it to the UI thread).
#pragma once

#include "districts/district_table.h"

// Also reads whether a silent echo is followed by a handshake with the game address
// ("ProbeTcpFallback" in Config\rudadever.ini, section Public; default 1, 0 turns it off).
void BeginProbeRound();

typedef void (*ProbeResultListener)(void* context, DistrictInfo* record);
// Null stops the news; once this returns, the old listener is not called again.
void SetProbeResultListener(ProbeResultListener listener, void* context);

// Starts the detached worker thread for `record` in the current round; sets nothing in
// the record itself. False when the thread cannot be created or kMaxPingWorkers already
// run: the caller then stores LatencyFailed.
bool StartPingWorker(DistrictInfo* record);

// After this returns no worker writes into any record and the listener is cleared.
void EndProbes();

// Two full groups, with room for the stale workers of a round the parse replaced.
constexpr int kMaxPingWorkers = 64;

// Workers started and not yet finished; for tests, and for a shutdown that wants to wait.
int PingWorkersRunning();
