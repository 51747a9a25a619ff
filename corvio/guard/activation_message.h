// The window message through which the instance guard asks the first instance's main
// window to come to the front. It lives here, with its sender, so the guard needs no
// window code. The dialog's window gets no other private message: its work arrives through
// the UI-thread dispatcher's own window.
#pragma once

#include "platform/win32.h"

namespace corvio {

constexpr UINT kMsgBringToFront = WM_APP + 0x314;  // a second start wants this window shown

}  // namespace corvio
