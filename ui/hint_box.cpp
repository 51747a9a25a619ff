// The hint message box, and ShowHint, the one way the launcher shows a message once its
// window is up; before that, the system's message box.
#include "ui/hint_box.h"

#include <vector>

#include "app/launcher_dialog.h"
#include "platform/win32.h"
#include "ui/messages.h"

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

std::string LaunchFailedText(const char* program, intptr_t result) {
  std::string text = std::string(kMsgCannotStart) + (program ? program : "");
  switch (result) {
    case SE_ERR_FNF:
    case SE_ERR_PNF:
      text += kMsgReasonNotFound;
      break;
    case SE_ERR_ACCESSDENIED:
      text += kMsgReasonAccessDenied;
      break;
    case 0:  // Windows: out of memory or resources
    case SE_ERR_OOM:
      text += kMsgReasonOutOfMemory;
      break;
    case ERROR_BAD_FORMAT:
    case SE_ERR_NOASSOC:
      text += kMsgReasonNotAProgram;
      break;
    default:
      text += kMsgReasonErrorCode + std::to_string(static_cast<long long>(result));
      break;
  }
  return text + kMsgCheckInstallation;
}

std::string FrameworkMissingText(const FactoryLibraryReport& report) {
  const std::string config = report.configFile;
  const std::string library = report.library;
  const std::string end = std::string("\n") + kMsgReinstall;
  switch (report.failure) {
    case FactoryFailure::ProgramFolderUnusable:
      return kMsgProgramFolderTooLong;
    case FactoryFailure::ConfigMissing:
      return kMsgConfigMissing + ("\n" + config) + end;
    case FactoryFailure::NoLibraryNamed:
      return kMsgNoLibraryNamed + ("\n" + config) + end;
    case FactoryFailure::LibraryNotLoaded:
      return kMsgLibraryNotLoaded + ("\n" + library) + "\n" + kMsgNamedBy + "\n" + config +
             "\n" + kMsgErrorCode + std::to_string(report.error) + end;
    case FactoryFailure::NoEntry:
      return kMsgNoEntry + ("\n" + library) + end;
    case FactoryFailure::NoFactory:
      return kMsgNoFactory + ("\n" + library) + end;
    case FactoryFailure::None:
      break;
  }
  // The library gave a factory that makes no dialog.
  return kMsgNoDialogComponent + ("\n" + library) + end;
}

std::string SkinMissingText(const char* skinFile, const char* directory) {
  return std::string(kMsgSkinNotLoaded) + (skinFile ? skinFile : "") + kMsgLookedIn + "\n" +
         (directory ? directory : "") + "\n" + kMsgReinstall;
}

namespace {

// GBK text as UTF-16 (code page 936 named, not the system's), so that the box reads the
// same on a system of any code page. Undecodable bytes become replacement characters.
std::vector<WCHAR> WideFromGbk(const std::string& gbk) {
  const int n = MultiByteToWideChar(936, 0, gbk.c_str(), -1, nullptr, 0);
  std::vector<WCHAR> wide(n > 0 ? static_cast<size_t>(n) : 1, 0);
  if (n > 0) MultiByteToWideChar(936, 0, gbk.c_str(), -1, wide.data(), n);
  return wide;
}

}  // namespace

void ShowStartFailure(const std::string& text) {
  // A quit already queued would end the box's own loop before the player read it: it is
  // taken out for the box and put back after.
  MSG quit;
  const bool quitting = PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
  MessageBoxW(nullptr, WideFromGbk(text).data(), WideFromGbk(kMsgCaption).data(), MB_OK | MB_ICONERROR);
  if (quitting) PostQuitMessage(static_cast<int>(quit.wParam));
}
