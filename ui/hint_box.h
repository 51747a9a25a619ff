// HintMsgBox: the skinned modal box in which every message to the player appears once
// the window is up, and the texts and system box for failures before there is one.
#pragma once

#include <stdint.h>

#include <string>

#include "components/corvio_ptr.h"
#include "components/interfaces.h"
#include "components/loader.h"

class HintMsgBox : public UiEventSink {
 public:
  HintMsgBox();
  ~HintMsgBox();
  HintMsgBox(const HintMsgBox&) = delete;
  HintMsgBox& operator=(const HintMsgBox&) = delete;

  // Loads the box's skin, shows `text` and returns when one of its buttons or its window
  // closed it: the modal result, or 0 when nothing could be shown.
  int Run(const char* text);
  void OnUiEvent(int senderId, UiEvent* event) override;

  TCorvioPtr<SkinDialog> dialog;
  int okButtonId;
  int quitButtonId;
  int cancelButtonId;
  std::string skinFile;
};

// What the player reads when a program does not start: its name and the reason that
// ShellExecuteA's result (32 or less) gives.
std::string LaunchFailedText(const char* program, intptr_t result);

// The framework library could not give a dialog: what is missing and where it was looked
// for, from the loader's report.
std::string FrameworkMissingText(const FactoryLibraryReport& report);

// The skin file that did not load and the folder it was looked for in.
std::string SkinMissingText(const char* skinFile, const char* directory);

// Shows a start-up failure in the system's message box (standard error too on Linux),
// for failures that leave no skinned window to show a hint over.
void ShowStartFailure(const std::string& text);
