// The operations the launcher calls on each framework component, in interface order
// (after Release and Initialize). This header is the whole contract between the
// launcher and the framework library; both sides include it.
#pragma once

#include <stdint.h>

#include "components/component.h"
#include "components/download_settings_record.h"
#include "components/sinks.h"

// Values exchanged with the components.
constexpr int NotifyClick = 0x300200;       // notification code of a button click
constexpr int NotifyBrowserUrl = 0x300A04;  // the browser pane loaded a page
constexpr int BrowserUrlKey = 0x300A01;     // string parameter: that page's URL
constexpr int EventParamCode = 4;           // GetParam index: notification code
constexpr int EventParamMessage = 0;        // GetParam index: window message
constexpr int WindowMessageClose = 16;      // the window is being closed
constexpr int PropText = 0x101A02;          // PropertyBag key of a control's text
constexpr int PropWindowHandle = 0x300005;  // key of the main window's handle
constexpr int ValueKindImage = 290;         // the argument of BeginValue

class PropertyBag;

// An event delivered to a UiEventSink; valid only during the call.
class UiEvent {
 public:
  virtual int GetParam(int index, int reserved) = 0;
  // Copies the string parameter under key, at most size - 1 bytes and a NUL; returns
  // nonzero when the event has one.
  virtual int GetStringParam(int key, char* buffer, int size, int reserved) = 0;

 protected:
  ~UiEvent() = default;
};

// A control of a dialog; static texts, edit boxes and windows are controls too.
class Control {
 public:
  virtual int SetProperties(PropertyBag* bag) = 0;
  virtual int Show(int show) = 0;

 protected:
  ~Control() = default;
};

class StaticControl : public Control {
 public:
  virtual int SetText(const char* text) = 0;

 protected:
  ~StaticControl() = default;
};

class EditControl : public Control {
 public:
  virtual const char* GetText() = 0;  // never null; valid until the next change

 protected:
  ~EditControl() = default;
};

class WindowObject : public Control {
 public:
  virtual int RunModal() = 0;          // returns the EndModal result
  virtual int EndModal(int result) = 0;

 protected:
  ~WindowObject() = default;
};

class InstanceGuard : public Component {
 public:
  static constexpr ComponentId kId = 777;
  virtual int SetName(const char* name) = 0;
  virtual int SetMainWindow(uint32_t window) = 0;
  virtual int IsFirstInstance() = 0;  // 0: another live process holds the name
  virtual int Close() = 0;

 protected:
  ~InstanceGuard() = default;
};

class SkinDialog : public Component {
 public:
  static constexpr ComponentId kId = 186;
  virtual int LoadSkin(const char* skinFile, int reserved) = 0;  // nonzero: loaded
  virtual int ApplyProperties(int controlId, PropertyBag* bag) = 0;
  virtual int GetControlPath(int controlId, char* buffer, int size) = 0;
  virtual int FindControl(const char* name) = 0;  // 0: no such control
  virtual int FindControlByPath(const char* path, int reserved) = 0;
  virtual Control* GetControl(int controlId) = 0;
  virtual WindowObject* GetMainWindow() = 0;
  virtual int SetEventSink(int enable, UiEventSink* sink) = 0;
  virtual int QueryProperties(PropertyBag* bag, int key) = 0;
  virtual int SetOwnerDialog(SkinDialog* owner) = 0;

 protected:
  ~SkinDialog() = default;
};

// Runs work on the thread that created it, inside that thread's message loop; the only
// way the launcher's worker threads reach the window.
class UiPoster : public Component {
 public:
  static constexpr ComponentId kId = 412;
  // From any thread: queues work(context) for the creating thread; nonzero when queued.
  // Work still queued when the component is released is dropped, never run.
  virtual int Post(void (*work)(void* context), void* context) = 0;

 protected:
  ~UiPoster() = default;
};

class PropertyBag : public Component {
 public:
  static constexpr ComponentId kId = 282;
  virtual int SetString(int key, const char* text) = 0;
  virtual int GetValue(int key, int reserved) = 0;
  virtual int Clear() = 0;

 protected:
  ~PropertyBag() = default;
};

class PropertyWriter : public Component {
 public:
  static constexpr ComponentId kId = 336;
  virtual int BeginValue(int kind) = 0;
  virtual int EndValue() = 0;
  virtual int SetProperty(const char* name, const char* value, PropertyBag* bag) = 0;

 protected:
  ~PropertyWriter() = default;
};

class DownloadSettings : public Component {
 public:
  static constexpr ComponentId kId = 140;
  virtual int ApplySettings(const DownloadSettingsRecord* record) = 0;  // nonzero: accepted

 protected:
  ~DownloadSettings() = default;
};

class Downloader : public Component {
 public:
  static constexpr ComponentId kId = 148;
  virtual int StartDownload(const char* settingsName, const char* fileName, int a, int b,
                            int c, int d) = 0;
  // Ownership of the settings passes to the downloader.
  virtual int AddSettings(const char* settingsName, DownloadSettings* settings) = 0;

 protected:
  ~Downloader() = default;
};

// The downloader's second interface, implemented by the same object.
class DownloadNotifier {
 public:
  virtual int SetDownloadSink(DownloadEventSink* sink, int reserved) = 0;

 protected:
  ~DownloadNotifier() = default;
};

// Reaches the second interface of a downloader object (null for none).
inline DownloadNotifier* NotifierOf(Downloader* downloader) {
  return downloader ? dynamic_cast<DownloadNotifier*>(downloader) : nullptr;
}

class XmlReader : public Component {
 public:
  static constexpr ComponentId kId = 1;
  virtual int SetDocument(const char* text) = 0;
  virtual int FindElement(const char* name) = 0;
  virtual int EnterElement() = 0;
  virtual int LeaveElement() = 0;
  virtual int RewindLevel() = 0;
  virtual int ResetToTop() = 0;
  virtual int GetElementText(char* buffer, int size) = 0;

 protected:
  ~XmlReader() = default;
};
