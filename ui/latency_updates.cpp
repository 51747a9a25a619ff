// Live latency: worker results posted to the UI thread redraw their button's icons and
// tooltip in place; a refresh starts a new round over the shown districts.
#include "ui/latency_updates.h"

#include <algorithm>
#include <new>

#include "app/launcher_dialog.h"
#include "app/launcher_report.h"
#include "components/corvio_ptr.h"
#include "platform/win32.h"
#include "probe/probe_round.h"
#include "ui/district_buttons.h"

namespace {

struct Live {
  LauncherDialog* launcher = nullptr;
  TCorvioPtr<UiPoster>* poster = nullptr;
};

Live g_live;  // UI thread only, except the poster, which the listener reads under the probe mutex

const char* const kMeasuringNotes[] = {"Dialog_ZentPorter\\Container_dx\\Image_measuring",
                                       "Dialog_ZentPorter\\Container_wt\\Image_measuring"};

struct GroupSlots {
  int32_t group;
  DistrictInfo* slots;
  int32_t count;  // shown slots are 1..count
};

// The two carrier groups as the parse left them.
void CarrierGroups(LauncherDialog& launcher, GroupSlots out[2]) {
  out[0] = {Dx, launcher.districts.dxGroup, std::min(launcher.dxCount, MaxDistrictsPerGroup)};
  out[1] = {Wt, launcher.districts.wtGroup, std::min(launcher.wtCount, MaxDistrictsPerGroup)};
}

// The group and slot of a record of the launcher's table; false for any other address.
bool Locate(LauncherDialog& launcher, const DistrictInfo* record, int32_t* group, int32_t* slot) {
  GroupSlots groups[2];
  CarrierGroups(launcher, groups);
  for (const GroupSlots& g : groups)
    for (int32_t k = 1; k <= g.count; ++k)
      if (&g.slots[k] == record) {
        *group = g.group;
        *slot = k;
        return true;
      }
  return false;
}

bool AnyStillMeasured(LauncherDialog& launcher) {
  GroupSlots groups[2];
  CarrierGroups(launcher, groups);
  for (const GroupSlots& g : groups)
    for (int32_t k = 1; k <= g.count; ++k)
      if (LoadLatency(g.slots[k]) < 0) return true;
  return false;
}

}  // namespace

void ShowMeasuringNotes(LauncherDialog* launcher, bool shown) {
  SkinDialog* skin = launcher->dialog.component;
  if (!skin) return;
  for (const char* note : kMeasuringNotes)
    launcher->SetControlProperty(skin->FindControlByPath(note, 0), "Visible", shown ? "true" : "false");
}

namespace {

// UI thread: one result arrived.
void ShowResult(void* context) {
  LauncherDialog* launcher = g_live.launcher;
  DistrictInfo* record = static_cast<DistrictInfo*>(context);
  int32_t group = 0, slot = 0;
  if (!launcher || !Locate(*launcher, record, &group, &slot)) return;
  ShowDistrictLatency(launcher->dialog.component, group, slot, *record, LoadLatency(*record), true);
  if (!AnyStillMeasured(*launcher)) ShowMeasuringNotes(launcher, false);
}

// Worker thread, under the probe mutex: hand the news to the UI thread.
void PostResult(void*, DistrictInfo* record) {
  if (g_live.poster && g_live.poster->component) g_live.poster->component->Post(ShowResult, record);
}

}  // namespace

void StartLatencyUpdates(LauncherDialog* launcher) {
  StopLatencyUpdates();
  TCorvioPtr<UiPoster>* poster = new (std::nothrow) TCorvioPtr<UiPoster>();
  if (!poster || !poster->component) {
    LauncherReport("the framework cannot post to the window; late probe results stay unseen");
  }
  g_live.launcher = launcher;
  g_live.poster = poster;
  SetProbeResultListener(PostResult, nullptr);
}

void StopLatencyUpdates() {
  SetProbeResultListener(nullptr, nullptr);
  delete g_live.poster;  // drops whatever is still queued
  g_live.poster = nullptr;
  g_live.launcher = nullptr;
}

bool RefreshLatencies(LauncherDialog* launcher) {
  if (!launcher || launcher != g_live.launcher || PingWorkersRunning() > 0 || AnyStillMeasured(*launcher))
    return false;
  SkinDialog* skin = launcher->dialog.component;
  BeginProbeRound();
  ShowMeasuringNotes(launcher, true);
  GroupSlots groups[2];
  CarrierGroups(*launcher, groups);
  // Every record is pending before the first worker starts, so no early answer ends the round.
  for (const GroupSlots& g : groups)
    for (int32_t k = 1; k <= g.count; ++k) {
      StoreLatency(g.slots[k], LatencyPending);
      ShowDistrictLatency(skin, g.group, k, g.slots[k], LatencyPending, false);
    }
  for (const GroupSlots& g : groups)
    for (int32_t k = 1; k <= g.count; ++k)
      if (!StartPingWorker(&g.slots[k])) {
        StoreLatency(g.slots[k], LatencyFailed);
        ShowResult(&g.slots[k]);
      }
  if (!AnyStillMeasured(*launcher)) ShowMeasuringNotes(launcher, false);
  return true;
}
