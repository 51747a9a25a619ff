// LauncherDialog: the one object that holds the launcher's state between events. Its
// shape (bases, members in order) is fixed; its behaviour lives in the files named at
// each operation.
#pragma once

#include <stdint.h>

#include <list>
#include <map>
#include <string>

#include "components/corvio_ptr.h"
#include "components/interfaces.h"
#include "districts/district_table.h"

// Owns component handles for the launcher; the launcher never fills the containers.
class ComponentHost {
 public:
  class OwnedHandle {  // an owned component handle with a virtual destructor
   public:
    virtual ~OwnedHandle() = default;
  };

  ComponentHost() = default;
  virtual ~ComponentHost();  // list first, then map, then the containers
  ComponentHost(const ComponentHost&) = delete;
  ComponentHost& operator=(const ComponentHost&) = delete;

  // components/loader.h's CreateComponentById, as an operation of the host.
  int CreateComponentById(Component** out, ComponentId id, const char* configPath);
  // Releases a component that the host keeps, if it keeps it; 1 if it was found.
  int DropComponent(Component* component);

 protected:
  std::map<uint32_t, OwnedHandle*> handleMap_;
  std::list<OwnedHandle*> handleList_;
};

class LauncherDialog : public UiEventSink, public DownloadEventSink, public ComponentHost {
 public:
  LauncherDialog();            // app/launcher_dialog.cpp
  ~LauncherDialog() override;  // releases xmlReader, downloader, dialog; then the host

  // Window set-up: ui/window_setup.cpp
  void SetUpWindow();
  uint32_t GetMainWindowHandle();

  // Selection and launch: ui/selection.cpp
  void OnUiEvent(int senderId, UiEvent* event) override;
  void LaunchSelected();
  // Starts a program of the program directory; on failure shows why and returns false.
  bool StartProgram(const char* program, const char* parameters);
  int OnDistrictSelected(const DistrictInfo* district, const char* version, int32_t operStatus);
  // Marks the chosen district's button in the window (the skin clears the one before).
  void MarkChosenButton(int buttonId);
  // One named property on one control; nothing for id 0.
  void SetControlProperty(int controlId, const char* name, const char* value);

  // District buttons: ui/district_buttons.cpp
  bool UpdateDistrictButton(int32_t group, int32_t martType, int32_t operStatus, int32_t position,
                            const DistrictInfo* district, int32_t latency);

  // Hint message box: ui/hint_box.cpp
  void ShowHint(const std::string& text);

  // Version file: version/version_file.cpp
  std::string ReadVersionText();

  // Retrieval and local copy: districts/list_file.cpp
  void StartDistrictListDownload();
  int CreateDownloadSettings(DownloadSettings** out);
  void OnDownloadFinished(int32_t task, int32_t reserved) override;
  void OnDownloadFailed(int32_t task, int32_t reserved) override;
  void OnDownloadNoticeA(int32_t a, int32_t b, int32_t c) override;
  void OnDownloadNoticeB(int32_t a) override;
  void OnDownloadNoticeC(int32_t a, int32_t b) override;
  // The list's first line, from the file or the local copy, decrypted and opened once:
  // on true the XML reader holds its document (an empty one for a copy that does not
  // open). False when neither file opens (the message has been shown and the quit message
  // posted). Only a usable download replaces the local copy.
  bool ReadListFile(const char* fileName, std::string* line);

  // Parsing: districts/list_parser.cpp
  void ParseDistrictList(const char* fileName);

  // Members, in this order.
  char cmdLine[1024];
  TCorvioPtr<SkinDialog> dialog;
  TCorvioPtr<Downloader> downloader;
  TCorvioPtr<XmlReader> xmlReader;
  DistrictTable districts;
  DistrictInfo selectedDistrict;
  int enterButtonId;
  int closeButtonId;
  int backButtonId;
  int browserId;
  int32_t dxCount;
  int32_t wtCount;
  int32_t recommendedCount;
};

// Fills the all-zero record from Config\rudadever.ini; always 1. districts/list_file.cpp
int FillDownloadSettings(DownloadSettingsRecord* record);
