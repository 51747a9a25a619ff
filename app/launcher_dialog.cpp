// Construction and destruction of the launcher window object and its component host.
#include "app/launcher_dialog.h"

#include <string.h>

#include "components/loader.h"
#include "probe/probe_round.h"
#include "ui/latency_updates.h"

ComponentHost::~ComponentHost() {
  for (OwnedHandle* handle : handleList_) delete handle;
  handleList_.clear();
  for (auto& entry : handleMap_) delete entry.second;
  handleMap_.clear();
}

int ComponentHost::CreateComponentById(Component** out, ComponentId id, const char* configPath) {
  return ::CreateComponentById(out, id, configPath);
}

// The host's handles hide their components behind OwnedHandle, and the launcher never
// stores any: nothing is ever found here.
int ComponentHost::DropComponent(Component*) { return 0; }

// The three handles create their components as members; everything else starts at zero.
LauncherDialog::LauncherDialog()
    : enterButtonId(0), closeButtonId(0), backButtonId(0), browserId(0), dxCount(0), wtCount(0),
      recommendedCount(0) {
  memset(cmdLine, 0, sizeof cmdLine);
  memset(&districts, 0, sizeof districts);
  memset(&selectedDistrict, 0, sizeof selectedDistrict);
}

// Probes write into the district table and post to its buttons, so none may outlive
// them. The members then release xmlReader, downloader and dialog, in that order, before
// the host goes.
LauncherDialog::~LauncherDialog() {
  StopLatencyUpdates();
  EndProbes();
}
