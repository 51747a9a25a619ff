// The component factory and new named guards for the guard's test programs: on Windows
// through the framework's one export, looked up in CorvFact.dll as the launcher does (the
// library is found beside the program or on the search path); on Linux the programs link
// the library.
#pragma once

#include <string>

#include "components/interfaces.h"

#ifdef _WIN32
#include <windows.h>

inline ComponentFactory* Factory() {
  static const CreateComponentFn create = [] {
    HMODULE module = LoadLibraryA("CorvFact.dll");
    FARPROC proc = module ? GetProcAddress(module, "CreateComponent") : nullptr;
    return reinterpret_cast<CreateComponentFn>(reinterpret_cast<void*>(proc));
  }();
  return create ? create(ComponentFactory::kId, 0) : nullptr;
}
#else
extern "C" ComponentFactory* CreateComponent(uint32_t id, uint32_t reserved);
inline ComponentFactory* Factory() { return CreateComponent(ComponentFactory::kId, 0); }
#endif

// A new guard for `name`, or nullptr when the factory gives none.
inline InstanceGuard* NewGuard(const std::string& name) {
  ComponentFactory* factory = Factory();
  Component* c = factory ? factory->NewComponent(InstanceGuard::kId, nullptr) : nullptr;
  if (!c) return nullptr;
  c->Initialize(0);
  auto* guard = static_cast<InstanceGuard*>(c);
  guard->SetName(name.c_str());
  return guard;
}
