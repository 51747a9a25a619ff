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
#pragma once

#include "districts/district_table.h"

void BeginProbeRound();

// Starts the detached worker thread for `record` in the current round; sets nothing in
// the record itself. False when the thread cannot be created: the caller then stores
// LatencyFailed.
bool StartPingWorker(DistrictInfo* record);

// After this returns no worker writes into any record.
void EndProbes();

// Workers started and not yet finished; for tests, and for a shutdown that wants to wait.
int PingWorkersRunning();
