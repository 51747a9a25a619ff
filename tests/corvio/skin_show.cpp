// Shows a skin file in a window until the window is closed: a check of the skin engine by
// eye on either system and, driven by CORVIO_AUTOMATION, the program whose start is timed
// to its first present. On exit it prints one moment on the steady clock and on the wall
// clock, so that a stamp's steady times can be placed on another process's clock.
#include <stdio.h>

#include <chrono>

#include "components/interfaces.h"
#include "corvio/registry.h"
#include "platform/win32.h"

namespace {

// The close box, Alt+F4 or the script's close end the loop.
class QuitOnClose : public UiEventSink {
 public:
  void OnUiEvent(int, UiEvent* event) override {
    if (event->GetParam(EventParamMessage, 0) == WindowMessageClose) PostQuitMessage(0);
  }
};

long long Micros(std::chrono::nanoseconds since) {
  return std::chrono::duration_cast<std::chrono::microseconds>(since).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: corvio_skin_show SKIN.xml\n");
    return 2;
  }
  Component* component = corvio::MakeRegisteredComponent(SkinDialog::kId);
  SkinDialog* dialog = component ? dynamic_cast<SkinDialog*>(component) : nullptr;
  if (!dialog) {
    fprintf(stderr, "corvio_skin_show: the framework has no skin dialog\n");
    return 1;
  }
  dialog->Initialize(0);
  QuitOnClose sink;
  dialog->SetEventSink(1, &sink);
  if (!dialog->LoadSkin(argv[1], 0) || !dialog->GetMainWindow() ||
      !dialog->GetMainWindow()->Show(1)) {
    dialog->Release(0);
    return 1;  // the engine has said why
  }
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  const auto steady = std::chrono::steady_clock::now().time_since_epoch();
  const auto wall = std::chrono::system_clock::now().time_since_epoch();
  printf("steady_us=%lld\nwall_us=%lld\n", Micros(steady), Micros(wall));
  dialog->Release(0);
  return 0;
}
