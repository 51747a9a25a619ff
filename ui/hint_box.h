// HintMsgBox: the skinned modal box in which every message to the player appears.
#pragma once

#include <string>

#include "components/corvio_ptr.h"
#include "components/interfaces.h"

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
