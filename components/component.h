// The common shape of every framework component: an interface of virtual operations,
// created by the factory for a ComponentId, initialised once and released once.
#pragma once

#include <stdint.h>

typedef uint32_t ComponentId;

// Every component interface derives from this; in the interface Release comes before
// Initialize. Components are destroyed only through Release, never by delete.
class Component {
 public:
  virtual int Release(int reserved) = 0;     // called once, with 0; the pointer dies
  virtual int Initialize(int reserved) = 0;  // called once, with 0, right after creation

 protected:
  ~Component() = default;
};

// The factory (ComponentId 361), returned by the library's CreateComponent export.
class ComponentFactory : public Component {
 public:
  static constexpr ComponentId kId = 361;
  // A new component of the kind, or null for a kind the library does not make.
  virtual Component* NewComponent(ComponentId id, const char* configPath) = 0;

 protected:
  ~ComponentFactory() = default;
};

// The factory library's only export, called as a plain function with (361, 0).
extern "C" typedef ComponentFactory* (*CreateComponentFn)(uint32_t id, uint32_t reserved);
