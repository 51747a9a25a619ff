// Helper for the guard test: asks the guard once for argv[1], prints "first" or
// "second", then keeps its answer (and the lock) until standard input closes.
#include <stdio.h>
#include <unistd.h>

#include "components/interfaces.h"

extern "C" ComponentFactory* CreateComponent(uint32_t id, uint32_t reserved);

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  Component* c = CreateComponent(361, 0)->NewComponent(InstanceGuard::kId, nullptr);
  if (!c) return 3;
  c->Initialize(0);
  auto* guard = static_cast<InstanceGuard*>(c);
  guard->SetName(argv[1]);
  const int first = guard->IsFirstInstance();
  printf("%s\n", first ? "first" : "second");
  fflush(stdout);
  char byte;
  while (read(0, &byte, 1) > 0) {
  }
  guard->Close();
  c->Release(0);
  return first ? 0 : 1;
}
