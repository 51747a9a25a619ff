// A small program that the loader tests copy into prepared program directories: it
// creates components through the loader as the launcher does and prints what it got.
// Usage: loader_driver COMMAND... with commands "preload PATH", "handles N",
// "release-check", "byid ID", "byid-config ID PATH", "byid-null" and "failure" (what the
// loader last found wrong, as the launcher tells the player); the loader's reports go to
// standard error.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "components/corvio_ptr.h"
#include "components/loader.h"
#include "platform/win32.h"
#include "tests/components/test_probe.h"

namespace {

void PrintProbe(TestProbe* probe) {
  printf("kind=%u init_calls=%d init_arg=%d config=%s live=%d factories=%d create_args=%u,%u "
         "factory_lifecycle=%d\n",
         static_cast<unsigned>(probe->Kind()), probe->InitializeCalls(),
         probe->LastInitializeArgument(), probe->ConfigPath(), probe->LiveProbes(),
         probe->FactoriesMade(), static_cast<unsigned>(probe->LastCreateId()),
         static_cast<unsigned>(probe->LastCreateReserved()), probe->FactoryLifecycleCalls());
}

void RunHandles(int count) {
  TCorvioPtr<TestProbe>* handles[16] = {};
  if (count > 16) count = 16;
  TestProbe* first = nullptr;
  for (int i = 0; i < count; ++i) {
    handles[i] = new TCorvioPtr<TestProbe>();
    printf("handle %d component=%d\n", i, handles[i]->component ? 1 : 0);
    if (!first) first = handles[i]->component;
  }
  if (first) PrintProbe(first);
  for (int i = 0; i < count; ++i) delete handles[i];
}

// Two handles destroyed, then a fresh one sees what they left behind in the library.
void RunReleaseCheck() {
  {
    TCorvioPtr<TestProbe> a;
    TCorvioPtr<TestProbe> b;
    printf("before_release live=%d\n", a.component ? a.component->LiveProbes() : -1);
  }
  TCorvioPtr<TestProbe> after;
  printf("after_release live=%d release_arg=%d\n",
         after.component ? after.component->LiveProbes() : -1,
         after.component ? after.component->LastReleaseArgument() : -2);
}

void RunById(ComponentId id, const char* configPath) {
  static char untouched;
  Component* out = reinterpret_cast<Component*>(&untouched);
  const int result = CreateComponentById(&out, id, configPath);
  const bool set = out != reinterpret_cast<Component*>(&untouched);
  printf("byid result=%d out=%s\n", result, set ? "set" : "untouched");
  if (set && out) {
    // The stand-in factory makes a probe for every kind it accepts.
    PrintProbe(static_cast<TestProbe*>(out));
    out->Release(0);
  }
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "preload") == 0 && i + 1 < argc) {
      HMODULE module = LoadLibraryA(argv[++i]);
      printf("preload %s\n", module ? "ok" : "failed");
    } else if (strcmp(argv[i], "handles") == 0 && i + 1 < argc) {
      RunHandles(atoi(argv[++i]));
    } else if (strcmp(argv[i], "byid") == 0 && i + 1 < argc) {
      RunById(static_cast<ComponentId>(strtoul(argv[++i], nullptr, 10)), nullptr);
    } else if (strcmp(argv[i], "byid-config") == 0 && i + 2 < argc) {
      const ComponentId id = static_cast<ComponentId>(strtoul(argv[++i], nullptr, 10));
      RunById(id, argv[++i]);
    } else if (strcmp(argv[i], "release-check") == 0) {
      RunReleaseCheck();
    } else if (strcmp(argv[i], "failure") == 0) {
      const FactoryLibraryReport& report = LastFactoryLibrary();
      printf("failure=%d config=%s library=%s error=%s\n", static_cast<int>(report.failure),
             report.configFile, report.library, report.error ? "set" : "none");
    } else if (strcmp(argv[i], "byid-null") == 0) {
      const int result = CreateComponentById(nullptr, TestProbe::kId, nullptr);
      printf("byid-null result=%d loaded=%d\n", result, GetModuleHandleA("CorvFact.dll") ? 1 : 0);
    } else {
      fprintf(stderr, "loader_driver: unknown command %s\n", argv[i]);
      return 2;
    }
  }
  printf("done\n");
  fflush(stdout);
  return 0;
}
