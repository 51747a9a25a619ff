// The first paint's head start: network work that the first picture does not need (the
// district list request, the browser pane's page) waits until the process has shown its
// first window, so that start-up spends both cores on what the player sees first.
#pragma once

#include <functional>

namespace corvio {

class CancelToken;

// Closed by the first skin dialog that can open windows, before anything was presented;
// opened by the first present, or by the message loop's first idle turn, whichever comes
// first (so work is held back only while a paint is on its way). Open from the start.
void HoldUntilFirstPaint();
void FirstPaintDone();

// Runs work now when open, else when it opens (on the thread that opens it).
void AfterFirstPaint(std::function<void()> work);
// For a worker thread: returns once open, or once cancel is cancelled, or after at most
// two seconds (a program that never paints still gets its work done).
void WaitForFirstPaint(CancelToken* cancel);

}  // namespace corvio
