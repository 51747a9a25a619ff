// The two callback interfaces that the launcher implements for the components.
#pragma once

#include <stdint.h>

class UiEvent;

// Control events of a SkinDialog reach OnUiEvent, on the user-interface thread.
class UiEventSink {
 public:
  virtual int IsSinkEnabled() { return 1; }
  virtual void OnUiEvent(int senderId, UiEvent* event) = 0;

 protected:
  ~UiEventSink() = default;
};

// Notifications of a Downloader; they arrive on the thread that registered the sink.
class DownloadEventSink {
 public:
  virtual int IsSinkEnabled() { return 1; }
  virtual void OnDownloadFinished(int32_t task, int32_t reserved) = 0;
  virtual void OnDownloadFailed(int32_t task, int32_t reserved) = 0;
  virtual void OnDownloadNoticeA(int32_t a, int32_t b, int32_t c) = 0;
  virtual void OnDownloadNoticeB(int32_t a) = 0;
  virtual void OnDownloadNoticeC(int32_t a, int32_t b) = 0;

 protected:
  ~DownloadEventSink() = default;
};
