// A stand-in factory library for the loader tests. Built in three variants: a working
// one, one without the CreateComponent export and one whose CreateComponent returns null.
#include <stdint.h>
#include <string.h>

#include "tests/components/test_probe.h"

namespace {

int g_liveProbes = 0;
int g_lastReleaseArgument = -1;
int g_factoriesMade = 0;
uint32_t g_lastCreateId = 0;
uint32_t g_lastCreateReserved = 0xFFFFFFFFu;
int g_factoryLifecycleCalls = 0;

class Probe final : public TestProbe {
 public:
  Probe(ComponentId kind, const char* configPath) : kind_(kind) {
    strncpy(configPath_, configPath ? configPath : "(null)", sizeof configPath_ - 1);
    ++g_liveProbes;
  }
  int Release(int reserved) override {
    g_lastReleaseArgument = reserved;
    --g_liveProbes;
    delete this;
    return 0;
  }
  int Initialize(int reserved) override {
    ++initializeCalls_;
    lastInitializeArgument_ = reserved;
    return 0;
  }
  ComponentId Kind() override { return kind_; }
  int InitializeCalls() override { return initializeCalls_; }
  int LastInitializeArgument() override { return lastInitializeArgument_; }
  const char* ConfigPath() override { return configPath_; }
  int LiveProbes() override { return g_liveProbes; }
  int LastReleaseArgument() override { return g_lastReleaseArgument; }
  int FactoriesMade() override { return g_factoriesMade; }
  uint32_t LastCreateId() override { return g_lastCreateId; }
  uint32_t LastCreateReserved() override { return g_lastCreateReserved; }
  int FactoryLifecycleCalls() override { return g_factoryLifecycleCalls; }

 private:
  ~Probe() = default;
  ComponentId kind_;
  int initializeCalls_ = 0;
  int lastInitializeArgument_ = -1;
  char configPath_[260] = {};
};

class Factory final : public ComponentFactory {
 public:
  explicit Factory(Factory* next) : next_(next) {}
  int Release(int) override { return ++g_factoryLifecycleCalls; }
  int Initialize(int) override { return ++g_factoryLifecycleCalls; }
  Component* NewComponent(ComponentId id, const char* configPath) override {
    if (id == kRefusedKind) return nullptr;
    return new Probe(id, configPath);
  }

 private:
  Factory* next_;  // keeps every factory reachable: none is ever released
};

[[maybe_unused]] Factory* g_factories = nullptr;

}  // namespace

#if defined(TEST_FACTORY_NO_EXPORT)
// Exports something, but not the entry the loader looks for.
extern "C" int NotTheFactoryEntry(void) { return 1; }
#else
extern "C" ComponentFactory* CreateComponent(uint32_t id, uint32_t reserved) {
  g_lastCreateId = id;
  g_lastCreateReserved = reserved;
#if defined(TEST_FACTORY_RETURNS_NULL)
  return nullptr;
#else
  ++g_factoriesMade;
  g_factories = new Factory(g_factories);  // never released, like the real factories
  return g_factories;
#endif
}
#endif
