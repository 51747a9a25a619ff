// The private window messages through which a dialog hands work to its message loop.
#pragma once

#include "corvio/guard/activation_message.h"
#include "platform/win32.h"

namespace corvio {
namespace skin {

constexpr UINT kMsgNotify = WM_APP + 0x310;   // deliver the oldest pending control event
constexpr UINT kMsgBrowser = WM_APP + 0x311;  // a browser pane's page has arrived
constexpr WPARAM kBrowserStart = 1;  // with kMsgBrowser: the panes may ask for their pages
constexpr UINT kMsgWake = WM_APP + 0x312;     // make a modal loop look at its state
constexpr UINT kMsgAutomation = WM_APP + 0x313;  // run the next automation command
// corvio::kMsgBringToFront (WM_APP + 0x314), posted by the instance guard: show the window.
static_assert(kMsgBringToFront > kMsgAutomation || kMsgBringToFront < kMsgNotify,
              "the guard's message must not reuse a dialog message");

}  // namespace skin
}  // namespace corvio
