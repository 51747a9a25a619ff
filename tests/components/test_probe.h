// The component that the loader tests' stand-in factory library makes: it reports how it
// and its library were used, so a driver can check each step of component creation.
#pragma once

#include <stdint.h>

#include "components/component.h"

// A kind the stand-in factory refuses to make (NewComponent returns null).
constexpr ComponentId kRefusedKind = 9999;

class TestProbe : public Component {
 public:
  static constexpr ComponentId kId = 4242;
  virtual ComponentId Kind() = 0;             // the id NewComponent was given
  virtual int InitializeCalls() = 0;          // Initialize calls on this probe
  virtual int LastInitializeArgument() = 0;
  virtual const char* ConfigPath() = 0;       // NewComponent's path, "(null)" for none
  virtual int LiveProbes() = 0;               // made by this library and not yet released
  virtual int LastReleaseArgument() = 0;      // -1 until a probe was released
  virtual int FactoriesMade() = 0;            // CreateComponent calls that made a factory
  virtual uint32_t LastCreateId() = 0;        // CreateComponent's arguments, last call
  virtual uint32_t LastCreateReserved() = 0;
  virtual int FactoryLifecycleCalls() = 0;    // Initialize or Release called on a factory

 protected:
  ~TestProbe() = default;
};
