// TCorvioPtr: the handle that creates one component of a fixed kind when constructed and
// releases it when destroyed. Users must expect `component` to be null.
#pragma once

#include "components/component.h"
#include "components/loader.h"

template <class T>
class TCorvioPtr {
 public:
  T* component;
  ComponentFactory* factory;  // not owned, never released

  TCorvioPtr() : component(nullptr), factory(nullptr) {
    const ComponentId id = T::kId;
    factory = CreateComponentFactory();
    if (factory) component = static_cast<T*>(factory->NewComponent(id, nullptr));
    if (component) component->Initialize(0);
  }
  virtual ~TCorvioPtr() {
    if (component) {
      component->Release(0);
      component = nullptr;
    }
  }
  TCorvioPtr(const TCorvioPtr&) = delete;
  TCorvioPtr& operator=(const TCorvioPtr&) = delete;
};
