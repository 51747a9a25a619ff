// ParseDistrictList: the list file, decrypted and walked into the groups, each district
// probed and drawn on its button, and the district launched last time preselected.
#include <string.h>

#include <string>

#include "app/district_copy.h"
#include "app/launcher_dialog.h"
#include "app/launcher_report.h"
#include "components/safe_string.h"
#include "districts/district_walk.h"
#include "districts/hex.h"
#include "platform/win32.h"
#include "probe/probe_round.h"
#include "ui/latency_updates.h"

namespace {

constexpr int kWaitBudgetPauses = 300;  // 10 ms each, shared by the whole list
constexpr DWORD kPauseMs = 10;

// Starts each district's probe as soon as its record is complete, so the probes run
// while the walk goes on.
class ProbeStarter : public DistrictWalkSink {
 public:
  void OnStored(int32_t, int, DistrictInfo* record) override {
    StoreLatency(*record, LatencyPending);
    if (!StartPingWorker(record)) StoreLatency(*record, LatencyFailed);
  }
  // The district is not drawn; the operator learns why from standard error.
  void OnUnusableAddress(int, const char* name, const char* url) override {
    std::string shown(url ? url : "");
    for (char& c : shown) {
      if (static_cast<unsigned char>(c) < ' ' || c == 0x7F) c = '?';
    }
    LauncherReport("district \"%s\" is not shown: its address \"%s\" holds a blank, a quote "
                   "or a control character", name ? name : "", shown.c_str());
  }
};

// The address launched last time, from its hexadecimal form in Config\Info.ini.
std::string RememberedUrl() {
  char hex[1024] = {0};
  const DWORD length =
      GetPrivateProfileStringA("Public", "LastLoginUrl", "", hex, 1023, "Config\\Info.ini");
  if (length == 0 || hex[0] == '\0') return std::string();
  unsigned char decoded[1024] = {0};
  int16_t count = 0;
  HexDecodeToBuffer(hex, decoded, &count, sizeof decoded - 1);
  if (count <= 0) return std::string();
  return std::string(reinterpret_cast<const char*>(decoded));
}

}  // namespace

void LauncherDialog::ParseDistrictList(const char* fileName) {
  if (!ReadListFile(fileName, nullptr)) return;

  DistrictWalkResult counts = {0, 0};
  if (XmlReader* reader = xmlReader.component) {
    StartLatencyUpdates(this);  // answers that come after the drawing below still show
    BeginProbeRound();
    ProbeStarter starter;
    counts = WalkDistrictList(*reader, districts, starter, false);
  }
  dxCount = counts.dxCount;
  wtCount = counts.wtCount;
  recommendedCount = 0;

  const std::string remembered = RememberedUrl();
  bool matched = false;
  char matchedButton[1024] = {0};

  Sleep(kPauseMs);
  int pausesUsed = 0;
  const struct {
    int32_t group;
    DistrictInfo* slots;
    int32_t count;
  } groups[] = {{Dx, districts.dxGroup, dxCount}, {Wt, districts.wtGroup, wtCount}};
  for (const auto& g : groups) {
    for (int32_t k = 1; k <= g.count && k <= MaxDistrictsPerGroup; ++k) {
      DistrictInfo* record = &g.slots[k];
      while (LoadLatency(*record) < 0 && pausesUsed < kWaitBudgetPauses) {
        Sleep(kPauseMs);
        ++pausesUsed;
      }
      UpdateDistrictButton(g.group, record->mart_type, record->oper_status, k, record,
                           LoadLatency(*record));
      // A district under maintenance cannot be launched, so it is not kept as the choice.
      if (!remembered.empty() && remembered == record->url &&
          record->oper_status != OperStatusMaintenance) {
        CopyDistrictRecord(&selectedDistrict, record);
        matched = true;
        SafeFormat(matchedButton, sizeof matchedButton, sizeof matchedButton - 1,
                   "Dialog_ZentPorter\\Container_%s\\server%d\\Button", g.group == Dx ? "dx" : "wt", k);
      }
    }
  }
  // Every probe has answered or timed out: the groups' "measuring" notes (shown by the
  // skin from the first paint) go with the same redraw that shows the buttons.
  ShowMeasuringNotes(this, false);
  if (matched &&
      OnDistrictSelected(&selectedDistrict, selectedDistrict.version, selectedDistrict.oper_status) &&
      dialog.component)
    MarkChosenButton(dialog.component->FindControlByPath(matchedButton, 0));
}
