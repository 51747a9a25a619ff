// The window message through which the instance guard asks the first instance's main
// window to come to the front. It lives here, with its sender, so the guard needs no
// window code; the value sits next to the dialog's own messages in
// corvio/skin/dialog_messages.h, which checks that they stay apart.
#pragma once

#include "platform/win32.h"

namespace corvio {

constexpr UINT kMsgBringToFront = WM_APP + 0x314;  // a second start wants this window shown

}  // namespace corvio
