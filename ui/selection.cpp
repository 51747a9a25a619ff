// The launcher's reaction to the player: district clicks, the browser pane, and the
// enter, back and close buttons.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "app/district_copy.h"
#include "app/launcher_dialog.h"
#include "components/safe_string.h"
#include "districts/district_walk.h"
#include "districts/hex.h"
#include "platform/win32.h"
#include "ui/hint_box.h"
#include "ui/latency_updates.h"
#include "ui/messages.h"

namespace {

const char kRudadeverIni[] = "Config\\rudadever.ini";
const char kInfoIni[] = "Config\\Info.ini";

const char* FindText(const char* text, const char* needle) {
  return reinterpret_cast<const char*>(_mbsstr(reinterpret_cast<const unsigned char*>(text),
                                               reinterpret_cast<const unsigned char*>(needle)));
}

// The slot number of a district button path in `group`, or -1 when the path is not one.
int SlotOfButtonPath(const char* path, int32_t* group) {
  const char* prefix = nullptr;
  if (FindText(path, "Dialog_ZentPorter\\Container_dx")) {
    *group = Dx;
    prefix = "Container_dx\\server";
  } else if (FindText(path, "Dialog_ZentPorter\\Container_wt")) {
    *group = Wt;
    prefix = "Container_wt\\server";
  } else {
    return -1;
  }
  const char* start = FindText(path, prefix);
  if (!start) return -1;
  start += strlen(prefix);
  const char* end = FindText(start, "\\Button");
  if (!end) return -1;
  char number[16] = {0};
  size_t length = static_cast<size_t>(end - start);
  if (length > 15) length = 15;
  memcpy(number, start, length);
  // Read as atoi reads it, but without its overflow on long digit runs.
  const long slot = strtol(number, nullptr, 10);
  return (slot >= 0 && slot <= MaxDistrictsPerGroup) ? static_cast<int>(slot) : -1;
}

// The maintenance message, naming the configured official site.
std::string MaintenanceMessage() {
  char site[260] = {0};
  GetPrivateProfileStringA("Public", "OfficialSite", kOfficialSiteDefault, site,
                           sizeof site - 1, kRudadeverIni);
  if (site[0] == '\0') g_safeString.Copy(site, sizeof site, kOfficialSiteDefault);
  return std::string(kMsgMaintenanceHead) + site + kMsgMaintenanceTail;
}

}  // namespace

void LauncherDialog::OnUiEvent(int senderId, UiEvent* event) {
  if (!event) return;
  const int code = event->GetParam(EventParamCode, 0);
  if (senderId == browserId && code == NotifyBrowserUrl) {
    Control* browser =
        dialog.component ? dialog.component->GetControl(dialog.component->FindControl("WebBrowser_right"))
                         : nullptr;
    char wanted[260] = {0};
    GetPrivateProfileStringA("Public", "WebBrowserUrl", "", wanted, 259, kRudadeverIni);
    char shown[260] = {0};
    event->GetStringParam(BrowserUrlKey, shown, sizeof shown, 0);
    if (browser && strcmp(wanted, shown) == 0) browser->Show(1);
  } else if (senderId == enterButtonId && code == NotifyClick) {
    LaunchSelected();
  } else if (senderId == closeButtonId && code == NotifyClick) {
    PostQuitMessage(0);
  } else if (senderId == backButtonId) {
    if (code == NotifyClick && StartProgram(".\\RudaDever.exe", "")) PostQuitMessage(0);
  } else if (code == NotifyClick && dialog.component && senderId != 0 &&
             senderId == dialog.component->FindControl("Button_refresh")) {
    RefreshLatencies(this);  // ignored while a round runs
  } else if (code == NotifyClick && dialog.component) {
    char path[1024] = {0};
    int32_t group = 0;
    int slot = -1;
    if (dialog.component->GetControlPath(senderId, path, 1023)) slot = SlotOfButtonPath(path, &group);
    if (slot >= 0) {
      const DistrictInfo* source = (group == Dx) ? &districts.dxGroup[slot] : &districts.wtGroup[slot];
      DistrictInfo clicked;
      CopyDistrictRecord(&clicked, source);
      // A district under maintenance cannot be launched, so it does not replace the choice.
      if (OnDistrictSelected(&clicked, clicked.version, clicked.oper_status)) {
        CopyDistrictRecord(&selectedDistrict, &clicked);
        MarkChosenButton(senderId);
      }
    }
  }
  if (event->GetParam(EventParamMessage, 0) == WindowMessageClose) PostQuitMessage(0);
}

int LauncherDialog::OnDistrictSelected(const DistrictInfo* district, const char* version,
                                       int32_t operStatus) {
  if (operStatus == OperStatusMaintenance) {
    ShowHint(MaintenanceMessage());
    return 0;
  }
  SkinDialog* skin = dialog.component;
  if (!skin) return 1;
  TCorvioPtr<PropertyBag> bag;
  Control* box = skin->GetControl(skin->FindControl("Edit_select"));
  if (box && bag.component) {
    bag.component->Clear();
    bag.component->SetString(PropText, district ? district->name : "");
    box->SetProperties(bag.component);
  }
  Control* label = skin->GetControl(skin->FindControl("Static_version_zone"));
  if (StaticControl* text = dynamic_cast<StaticControl*>(label)) text->SetText(version ? version : "");
  return 1;
}

void LauncherDialog::MarkChosenButton(int buttonId) { SetControlProperty(buttonId, "Selected", "true"); }

void LauncherDialog::SetControlProperty(int controlId, const char* name, const char* value) {
  SkinDialog* skin = dialog.component;
  if (!skin || controlId == 0) return;
  TCorvioPtr<PropertyWriter> writer;
  TCorvioPtr<PropertyBag> bag;
  if (!writer.component || !bag.component) return;
  writer.component->SetProperty(name, value, bag.component);
  skin->ApplyProperties(controlId, bag.component);
}

void LauncherDialog::LaunchSelected() {
  SkinDialog* skin = dialog.component;
  Control* control = skin ? skin->GetControl(skin->FindControl("Edit_select")) : nullptr;
  EditControl* box = dynamic_cast<EditControl*>(control);
  if (!box) {
    PostQuitMessage(0);
    return;
  }
  const char* shown = box->GetText();
  // A box filled without any district chosen has nothing to launch either; every stored
  // district has a type, so a record without one was never chosen.
  if (!shown || shown[0] == '\0' || selectedDistrict.type == 0) {
    ShowHint(kMsgChooseDistrict);
    return;
  }
  if (selectedDistrict.url[0] == '\0' || !IsUsableDistrictAddress(selectedDistrict.url)) {
    ShowHint(kMsgDistrictHasNoAddress);
    return;
  }
  if (GetPrivateProfileIntA("Public", "IsKeepLoginUrl", 0, kInfoIni) == 1) {
    const std::string hex =
        HexEncode(reinterpret_cast<const unsigned char*>(selectedDistrict.url),
                  static_cast<int16_t>(strnlen(selectedDistrict.url, sizeof selectedDistrict.url)));
    // The player learns now that the choice will be gone next time; the game starts anyway.
    if (!WritePrivateProfileStringA("Public", "LastLoginUrl", hex.c_str(), kInfoIni))
      ShowHint(kMsgChoiceNotSaved);
  }
  char parameters[sizeof selectedDistrict.url + 1 + sizeof cmdLine] = {0};
  SafeFormat(parameters, sizeof parameters, sizeof parameters - 1, "%s %s", selectedDistrict.url,
             cmdLine);
  if (StartProgram("ZentLauncher.exe", parameters)) PostQuitMessage(0);
}

bool LauncherDialog::StartProgram(const char* program, const char* parameters) {
  // Starting a program can take a while (Wine: a tenth of a second and more): the window
  // goes first, so that it is never seen over the program it started.
  WindowObject* window = dialog.component ? dialog.component->GetMainWindow() : nullptr;
  if (window) window->Show(0);
  const HINSTANCE started =
      ShellExecuteA(nullptr, "open", program, parameters, "", SW_SHOWNORMAL);
  const intptr_t result = reinterpret_cast<intptr_t>(started);
  if (result > 32) return true;
  if (window) window->Show(1);
  // The player's click must not be lost without a word: say why, and stay open so the
  // player can try again or go back.
  const char* name = program;
  if (strncmp(name, ".\\", 2) == 0) name += 2;
  ShowHint(LaunchFailedText(name, result));
  return false;
}
