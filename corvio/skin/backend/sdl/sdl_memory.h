// SDL's own allocations through the framework's: its window surface (as large as the
// canvas) then comes from the same huge-page-friendly memory as the canvas does.
#pragma once

namespace corvio {
namespace skin {

// Before SDL's first call. Blocks SDL allocated before stay valid: whatever is not one of
// these mappings goes back to the C heap.
void RouteSdlAllocations();

}  // namespace skin
}  // namespace corvio
