// Shows a skin file in a window until the window is closed: a check of the skin engine by
// eye on either system and, driven by CORVIO_AUTOMATION, the program whose start is timed
// to its first present. On exit it prints one moment on the steady clock and on the wall
// clock, so that a stamp's steady times can be placed on another process's clock. A
// second file sets properties first, as the program would: one a line, control path, tab,
// property name, tab, value (GBK), so the look of a filled window can be checked too.
#include <stdio.h>
#include <string.h>

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

// False with a message for a line that is not path, name and value.
bool ApplyPropertyFile(SkinDialog* dialog, const char* file) {
  FILE* in = fopen(file, "rb");
  if (!in) {
    fprintf(stderr, "corvio_skin_show: cannot read %s\n", file);
    return false;
  }
  char line[2048];
  bool ok = true;
  for (int number = 1; ok && fgets(line, sizeof line, in); ++number) {
    line[strcspn(line, "\r\n")] = '\0';
    char* name = strchr(line, '\t');
    char* value = name ? strchr(name + 1, '\t') : nullptr;
    if (!value) {
      if (line[0] != '\0') fprintf(stderr, "corvio_skin_show: %s:%d: not PATH TAB NAME TAB VALUE\n", file, number);
      ok = line[0] == '\0';
      continue;
    }
    *name++ = '\0';
    *value++ = '\0';
    Component* writer = corvio::MakeRegisteredComponent(PropertyWriter::kId);
    Component* bag = corvio::MakeRegisteredComponent(PropertyBag::kId);
    auto* w = dynamic_cast<PropertyWriter*>(writer);
    auto* b = dynamic_cast<PropertyBag*>(bag);
    const int id = dialog->FindControlByPath(line, 0);
    if (!w || !b || id == 0) {
      fprintf(stderr, "corvio_skin_show: %s:%d: no control %s\n", file, number, line);
      ok = false;
    } else {
      const bool image = strncmp(value, "ONEIMAGE:", 9) == 0;
      if (image) w->BeginValue(ValueKindImage);
      w->SetProperty(name, value, b);
      if (image) w->EndValue();
      ok = dialog->ApplyProperties(id, b) != 0;
    }
    if (bag) bag->Release(0);
    if (writer) writer->Release(0);
  }
  fclose(in);
  return ok;
}

long long Micros(std::chrono::nanoseconds since) {
  return std::chrono::duration_cast<std::chrono::microseconds>(since).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    fprintf(stderr, "usage: corvio_skin_show SKIN.xml [PROPERTIES]\n");
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
  if (!dialog->LoadSkin(argv[1], 0) || (argc == 3 && !ApplyPropertyFile(dialog, argv[2])) ||
      !dialog->GetMainWindow() || !dialog->GetMainWindow()->Show(1)) {
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
