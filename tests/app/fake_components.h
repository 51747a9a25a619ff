// Test doubles of the framework components, made by the stand-in framework library that
// the launcher's unit tests load through their Corvio.ini, and a world that records what
// they were told. The test program links the same library to reach the world.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "components/interfaces.h"

namespace fake {

// One property written into a bag by a PropertyWriter.
struct Prop {
  std::string name;
  std::string value;
  bool image;  // written between BeginValue(290) and EndValue
};

// One ApplyProperties / SetProperties call: the control's path and the bag's content.
struct Apply {
  std::string target;
  std::vector<Prop> props;
  std::map<int, std::string> strings;
};

class Dialog;

struct Event final : UiEvent {
  int code = 0;
  int message = 0;
  std::string url;
  bool hasUrl = false;
  int GetParam(int index, int) override {
    return index == EventParamCode ? code : index == EventParamMessage ? message : 0;
  }
  int GetStringParam(int key, char* buffer, int size, int) override;
};

// Everything the doubles were asked, and the knobs that shape their answers.
struct World {
  // Component kinds the factory refuses to make; ComponentFactory::kId: the library's
  // CreateComponent gives no factory.
  std::set<ComponentId> missing;
  std::map<ComponentId, int> created;
  std::map<ComponentId, int> released;
  std::vector<std::string> log;  // "release 1", "StartDownload ...", ...

  // The launcher's skin ("zentPorter.xml").
  bool launcherSkinLoads = true;
  bool launcherHasWindow = true;
  std::set<std::string> absentControls;  // names or paths the launcher skin lacks
  int windowHandle = 0x5150;
  // The box's skin ("HintMsg.xml").
  bool hintSkinLoads = true;
  std::set<std::string> absentHintControls;
  // What the player does while a box runs; the default clicks "Button_MsgOk".
  std::function<void(Dialog& box)> onModal;

  std::vector<std::string> skinsLoaded;  // every LoadSkin, in order
  std::vector<std::string> hints;        // the text of every box that ran
  std::vector<int> modalResults;
  std::vector<Apply> applies;            // the launcher dialog's controls, in order
  std::map<std::string, std::map<std::string, std::string>> state;  // target -> prop -> value
  std::map<std::string, std::string> texts;  // SetText of static controls, by name
  std::set<std::string> shown;               // controls and windows shown
  std::string editText;                      // current text of "Edit_select"
  Dialog* launcherDialog = nullptr;          // the first SkinDialog made

  // Downloader.
  DownloadEventSink* downloadSink = nullptr;
  std::vector<std::string> settingsAdded;
  int acceptSettings = 1;
  std::vector<unsigned char> lastRecord;
  int settingsReleased = 0;

  int Live(ComponentId id) const {
    auto c = created.find(id);
    auto r = released.find(id);
    return (c == created.end() ? 0 : c->second) - (r == released.end() ? 0 : r->second);
  }
};

World& TheWorld();
void ResetWorld();

// A SkinDialog double with the controls of the launcher's or the box's skin.
class Dialog final : public SkinDialog {
 public:
  struct Entry {
    std::string name;
    std::string path;
    Control* control;
  };
  Dialog();
  int Release(int) override;
  int Initialize(int) override { return 0; }
  int LoadSkin(const char* skinFile, int) override;
  int ApplyProperties(int controlId, PropertyBag* bag) override;
  int GetControlPath(int controlId, char* buffer, int size) override;
  int FindControl(const char* name) override;
  int FindControlByPath(const char* path, int) override;
  Control* GetControl(int controlId) override;
  WindowObject* GetMainWindow() override;
  int SetEventSink(int enable, UiEventSink* sink) override;
  int QueryProperties(PropertyBag* bag, int key) override;
  int SetOwnerDialog(SkinDialog* owner) override;

  // Delivers an event to the registered sink, as a click or a message would.
  void Send(int senderId, int code, int message = 0, const std::string* url = nullptr);
  void Send(const std::string& name, int code, int message = 0) { Send(FindControl(name.c_str()), code, message); }

  bool isHint = false;
  bool loaded = false;
  UiEventSink* sink = nullptr;
  SkinDialog* owner = nullptr;
  std::map<int, Entry> controls;
  WindowObject* window = nullptr;
  int modalResult = -1;
  bool modalEnded = false;
  std::string hintText;

 private:
  ~Dialog();
  void Add(const std::string& name, const std::string& path, Control* control);
};

// The image value a property carries for an image file.
std::string Image(const std::string& file);


}  // namespace fake
