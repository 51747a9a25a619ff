// Probe rounds: the tickets handed to ping workers and the guarded store of their result.
#include "probe/probe_round.h"

#include <string.h>

#include <mutex>
#include <new>

#include "probe/connect_probe.h"
#include "probe/ping_worker.h"
#include "probe/probe_ticket.h"

namespace {

// Never destroyed: a worker may still finish while the process exits.
struct RoundState {
  std::mutex mutex;
  uint64_t round = 0;
  int running = 0;
  bool tcpFallback = true;
  ProbeResultListener listener = nullptr;
  void* listenerContext = nullptr;
};

RoundState& State() {
  static RoundState* state = new RoundState;
  return *state;
}

}  // namespace

void BeginProbeRound() {
  const bool fallback = GetPrivateProfileIntA("Public", "ProbeTcpFallback", 1, "Config\\rudadever.ini") != 0;
  RoundState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  ++state.round;
  state.tcpFallback = fallback;
}

void SetProbeResultListener(ProbeResultListener listener, void* context) {
  RoundState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.listener = listener;
  state.listenerContext = context;
}

void EndProbes() {
  RoundState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  ++state.round;
  state.listener = nullptr;
  state.listenerContext = nullptr;
}

int PingWorkersRunning() {
  RoundState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.running;
}

bool StartPingWorker(DistrictInfo* record) {
  if (!record) return false;
  ProbeTicket* ticket = new (std::nothrow) ProbeTicket;
  if (!ticket) return false;
  ticket->record = record;
  memcpy(ticket->address, record->pinpip, sizeof ticket->address);
  ticket->address[sizeof ticket->address - 1] = '\0';
  RoundState& state = State();
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.running >= kMaxPingWorkers) {
      delete ticket;
      return false;
    }
    ticket->round = state.round;
    if (!state.tcpFallback ||
        !SplitGameAddress(record->url, ticket->gameHost, sizeof ticket->gameHost, &ticket->gamePort))
      ticket->gamePort = 0;
    ++state.running;
  }
  HANDLE thread = CreateThread(nullptr, 0, PingWorker, ticket, 0, nullptr);
  if (!thread) {
    delete ticket;
    std::lock_guard<std::mutex> lock(state.mutex);
    --state.running;
    return false;
  }
  CloseHandle(thread);  // never joined: the worker ends by itself
  return true;
}

void StoreProbeResult(const ProbeTicket& ticket, int32_t latency) {
  RoundState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  --state.running;
  if (ticket.round != state.round) return;
  StoreLatency(*ticket.record, latency);
  if (state.listener) state.listener(state.listenerContext, ticket.record);
}
