// The hint message box, and ShowHint, the one way the launcher shows a message.
#include "ui/hint_box.h"

#include "app/launcher_dialog.h"

HintMsgBox::HintMsgBox() : okButtonId(0), quitButtonId(0), cancelButtonId(0) {}

HintMsgBox::~HintMsgBox() = default;

int HintMsgBox::Run(const char* text) {
  SkinDialog* skin = dialog.component;
  if (!skin) return 0;
  if (skinFile.empty()) skinFile = "HintMsg.xml";
  if (!skin->LoadSkin(skinFile.c_str(), 0)) return 0;
  skin->SetEventSink(1, this);
  okButtonId = skin->FindControl("Button_MsgOk");
  quitButtonId = skin->FindControl("Button_Quit");
  cancelButtonId = skin->FindControl("Button_Cancel");

  TCorvioPtr<PropertyBag> bag;
  Control* info = skin->GetControl(skin->FindControl("Static_MsgInfo"));
  if (info && bag.component) {
    bag.component->Clear();
    bag.component->SetString(PropText, text ? text : "");
    info->SetProperties(bag.component);
  }
  int result = 0;
  if (WindowObject* window = skin->GetMainWindow()) result = window->RunModal();
  return result;
}

void HintMsgBox::OnUiEvent(int senderId, UiEvent* event) {
  if (!event || !dialog.component) return;
  const int code = event->GetParam(EventParamCode, 0);
  WindowObject* window = dialog.component->GetMainWindow();
  if (!window) return;
  if (code == NotifyClick) {
    if (senderId == okButtonId) window->EndModal(okButtonId);
    else if (senderId == cancelButtonId) window->EndModal(cancelButtonId);
    else if (senderId == quitButtonId) window->EndModal(quitButtonId);
  }
  if (event->GetParam(EventParamMessage, 0) == WindowMessageClose) window->EndModal(quitButtonId);
}

void LauncherDialog::ShowHint(const std::string& text) {
  HintMsgBox box;
  WindowObject* mainWindow = dialog.component ? dialog.component->GetMainWindow() : nullptr;
  // Before the launcher's window exists there is nothing to show the box over.
  if (!mainWindow) return;
  if (box.dialog.component) box.dialog.component->SetOwnerDialog(dialog.component);
  box.Run(text.c_str());
}
