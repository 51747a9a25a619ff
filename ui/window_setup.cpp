// Window set-up: working directory, skin, background, version label, event sink and
// control ids, then the district list request; and the main window's handle.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "app/launcher_dialog.h"
#include "components/safe_string.h"
#include "platform/win32.h"
#include "ui/hint_box.h"
#include "ui/image_value.h"
#include "ui/messages.h"
#include "version/version_file.h"

namespace {

const char kSkinFile[] = "zentPorter.xml";

}  // namespace

void BuildImageValue(const char* image, char* out) {
  memset(out, 0, ImageValueSize);
  g_safeString.Append(out, ImageValueSize, "ONEIMAGE:");
  g_safeString.Append(out, ImageValueSize, image ? image : "");
  g_safeString.Append(out, ImageValueSize, ";Tile");
}

void LauncherDialog::SetUpWindow() {
  char directory[LauncherPathSize] = {0};
  ModuleDirectory(directory);
  SetCurrentDirectoryA(directory);

  if (SkinDialog* skin = dialog.component) {
    bool shown = false;
    const bool loaded = skin->LoadSkin(kSkinFile, 0) != 0;
    if (loaded) {
      srand(GetTickCount());
      const char* background = (rand() % 2 == 0) ? "fwq_ditu.png" : "fwq_ditu_01.png";
      {
        TCorvioPtr<PropertyWriter> writer;
        TCorvioPtr<PropertyBag> bag;
        if (writer.component && bag.component) {
          const int dialogId = skin->FindControl("Dialog_ZentPorter");
          char value[ImageValueSize];
          BuildImageValue(background, value);
          writer.component->BeginValue(ValueKindImage);
          writer.component->SetProperty("Background", value, bag.component);
          writer.component->EndValue();
          skin->ApplyProperties(dialogId, bag.component);
        }
        if (WindowObject* window = skin->GetMainWindow()) {
          window->Show(1);
          shown = true;
        }
        Control* label = skin->GetControl(skin->FindControl("Static_version"));
        if (label) {
          const std::string version = ReadVersionText();
          if (StaticControl* text = dynamic_cast<StaticControl*>(label)) text->SetText(version.c_str());
        }
      }  // the bag, then the writer, are released here
    }
    if (!shown) {
      // The hint box needs the window over which it shows; without one, the system's box.
      char current[LauncherPathSize] = {0};
      GetCurrentDirectoryA(sizeof current, current);
      if (skin->GetMainWindow()) ShowHint(kMsgWindowSetUpFailed);
      else if (!loaded) ShowStartFailure(SkinMissingText(kSkinFile, current));
      else ShowStartFailure(kMsgWindowSetUpFailed);
      PostQuitMessage(0);  // the exit code stays 0, as callers expect
    }
    skin->SetEventSink(1, static_cast<UiEventSink*>(this));
    enterButtonId = skin->FindControl("Button_enter");
    closeButtonId = skin->FindControl("Button_close");
    backButtonId = skin->FindControl("Button_back");
    browserId = skin->FindControl("WebBrowser_right");
  }
  StartDistrictListDownload();
}

uint32_t LauncherDialog::GetMainWindowHandle() {
  if (!dialog.component) return 0;
  TCorvioPtr<PropertyBag> bag;
  if (!bag.component) return 0;
  dialog.component->QueryProperties(bag.component, PropWindowHandle);
  return static_cast<uint32_t>(bag.component->GetValue(PropWindowHandle, 1));
}
