// Registers the UI-thread post (ComponentId 412): the framework's UiDispatcher behind the
// component contract, for the launcher's threads.
#include <memory>
#include <new>

#include "components/interfaces.h"
#include "corvio/registry.h"
#include "corvio/report.h"
#include "corvio/runtime/ui_dispatcher.h"

namespace {

class UiPosterImpl final : public UiPoster {
 public:
  int Release(int) override {
    delete this;
    return 0;
  }
  int Initialize(int) override { return 0; }
  int Post(void (*work)(void*), void* context) override {
    if (!work) return 0;
    return corvio::Guarded([&] { return dispatcher_.Post([work, context] { work(context); }) ? 1 : 0; }, 0);
  }

 private:
  corvio::UiDispatcher dispatcher_;  // made on the creating thread: the one the work runs on
};

Component* MakeUiPoster() { return new UiPosterImpl(); }

}  // namespace

CORVIO_REGISTER_COMPONENT(412, MakeUiPoster);
