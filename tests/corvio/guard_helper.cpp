// Helper for the guard tests: asks the guard once for argv[1], prints "first" or "second",
// then keeps its answer (and the name) until standard input closes.
#include <stdio.h>

#include "components/interfaces.h"
#include "tests/corvio/guard_factory.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {


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
