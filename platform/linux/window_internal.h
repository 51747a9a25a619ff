// What the message loop and the window table need from each other. Internal to platform/.
#pragma once

#include "platform/win32.h"

// The window procedure of a live window, or null (ERROR_INVALID_WINDOW_HANDLE set).
WNDPROC PlatformWindowProc(HWND window);

// Drops the windows of a thread that ends, without messages: nobody is left to handle them.
void PlatformForgetThreadWindows(DWORD threadId);

// Gives the calling thread its message queue if it has none yet.
void PlatformEnsureMessageQueue();
