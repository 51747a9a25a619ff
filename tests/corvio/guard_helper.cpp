// Helper for the guard tests: asks the guard once for argv[1], prints "first" or "second",
// then keeps its answer (and the name) until standard input closes.
#include <stdio.h>

#include "components/interfaces.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

#ifdef _WIN32
// The framework's one export, looked up in CorvFact.dll as the launcher does; the library
// is found beside the program or on the search path.
ComponentFactory* Factory() {
  static const CreateComponentFn create = [] {
    HMODULE module = LoadLibraryA("CorvFact.dll");
    FARPROC proc = module ? GetProcAddress(module, "CreateComponent") : nullptr;
    return reinterpret_cast<CreateComponentFn>(reinterpret_cast<void*>(proc));
  }();
  return create ? create(ComponentFactory::kId, 0) : nullptr;
}
#else
extern "C" ComponentFactory* CreateComponent(uint32_t id, uint32_t reserved);
ComponentFactory* Factory() { return CreateComponent(ComponentFactory::kId, 0); }
#endif

}  // namespace


int main(int argc, char** argv) {
  if (argc < 2) return 2;
  ComponentFactory* factory = Factory();
  if (!factory) return 4;
  Component* c = factory->NewComponent(InstanceGuard::kId, nullptr);
  if (!c) return 3;
  c->Initialize(0);
  auto* guard = static_cast<InstanceGuard*>(c);
  guard->SetName(argv[1]);
  const int first = guard->IsFirstInstance();
  printf("%s\n", first ? "first" : "second");
  fflush(stdout);
  while (fgetc(stdin) != EOF) {
  }
  guard->Close();
  c->Release(0);
  return first ? 0 : 1;
}
