// Probe results shown as they arrive, and the refresh round that measures every shown
// district again. All of it runs on the UI thread; workers only post.
#pragma once

class LauncherDialog;

// From the parse, before its probes start: from now on every stored result reaches the
// district's button through the framework's UI-thread post. Called again, it starts anew.
void StartLatencyUpdates(LauncherDialog* launcher);

// Before the district table goes: no result is shown after this returns.
void StopLatencyUpdates();

// Shows or hides the groups' "measuring" notes.
void ShowMeasuringNotes(LauncherDialog* launcher, bool shown);

// The refresh button (or F5): every shown district is measured again in place. False,
// and nothing done, while a round still runs or before the list was shown.
bool RefreshLatencies(LauncherDialog* launcher);
