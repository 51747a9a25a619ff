// The stand-in framework library of the launcher's unit tests: its CreateComponent export
// gives a factory of component doubles, and the real loader finds it through the test
// program's own Corvio.ini. The XML reader is the framework's own.
#include "tests/app/fake_components.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <memory>

#include "corvio/xml/xml_reader.h"

namespace fake {

namespace {

World* g_world = nullptr;

void Count(std::map<ComponentId, int>& counts, ComponentId id) { ++counts[id]; }

// What every double does on Release and Initialize: the release is counted, then the
// object deletes itself.
template <class Interface>
class Counted : public Interface {
 public:
  int Release(int) override {
    Count(TheWorld().released, Interface::kId);
    delete this;
    return 0;
  }
  int Initialize(int) override { return 0; }

 protected:
  virtual ~Counted() = default;
};

class Bag final : public Counted<PropertyBag> {
 public:
  int SetString(int key, const char* text) override {
    strings[key] = text ? text : "";
    return 1;
  }
  int GetValue(int key, int) override {
    auto it = numbers.find(key);
    return it == numbers.end() ? 0 : it->second;
  }
  int Clear() override {
    props.clear();
    strings.clear();
    numbers.clear();
    return 1;
  }
  void SetNamed(const std::string& name, const std::string& value, bool image) {
    for (auto& p : props) {
      if (p.name == name) {
        p.value = value;
        p.image = image;
        return;
      }
    }
    props.push_back(Prop{name, value, image});
  }
  std::vector<Prop> props;
  std::map<int, std::string> strings;
  std::map<int, int> numbers;

 private:
  ~Bag() = default;
};

class Writer final : public Counted<PropertyWriter> {
 public:
  int BeginValue(int kind) override {
    inValue_ = kind == ValueKindImage;
    return 1;
  }
  int EndValue() override {
    inValue_ = false;
    return 1;
  }
  int SetProperty(const char* name, const char* value, PropertyBag* bag) override {
    if (Bag* b = dynamic_cast<Bag*>(bag)) b->SetNamed(name, value ? value : "", inValue_);
    return 1;
  }

 private:
  ~Writer() = default;
  bool inValue_ = false;
};

Apply Snapshot(const std::string& target, PropertyBag* bag) {
  Apply a;
  a.target = target;
  if (Bag* b = dynamic_cast<Bag*>(bag)) {
    a.props = b->props;
    a.strings = b->strings;
  }
  return a;
}

// Lets a dialog own its controls of every kind.
struct OwnedControl {
  virtual ~OwnedControl() = default;
};

void DeleteControl(Control* control) { delete dynamic_cast<OwnedControl*>(control); }

class PlainControl : public Control, public OwnedControl {
 public:
  explicit PlainControl(std::string name) : name_(std::move(name)) {}
  int SetProperties(PropertyBag* bag) override {
    World& w = TheWorld();
    Apply a = Snapshot(name_, bag);
    for (const Prop& p : a.props) w.state[name_][p.name] = p.value;
    w.applies.push_back(a);
    return 1;
  }
  int Show(int show) override {
    if (show) TheWorld().shown.insert(name_);
    return 1;
  }

 protected:
  std::string name_;
};

class StaticText final : public StaticControl, public OwnedControl {
 public:
  explicit StaticText(std::string name) : name_(std::move(name)) {}
  int SetProperties(PropertyBag* bag) override {
    TheWorld().applies.push_back(Snapshot(name_, bag));
    return 1;
  }
  int Show(int show) override {
    if (show) TheWorld().shown.insert(name_);
    return 1;
  }
  int SetText(const char* text) override {
    TheWorld().texts[name_] = text ? text : "";
    return 1;
  }
  std::string name_;
};

// A static text inside a box: its text is the box's message.
class HintText final : public StaticControl, public OwnedControl {
 public:
  explicit HintText(Dialog* owner) : owner_(owner) {}
  int SetProperties(PropertyBag* bag) override {
    if (Bag* b = dynamic_cast<Bag*>(bag)) {
      auto it = b->strings.find(PropText);
      if (it != b->strings.end()) owner_->hintText = it->second;
    }
    return 1;
  }
  int Show(int) override { return 1; }
  int SetText(const char* text) override {
    owner_->hintText = text ? text : "";
    return 1;
  }

 private:
  Dialog* owner_;
};

class Edit final : public EditControl, public OwnedControl {
 public:
  int SetProperties(PropertyBag* bag) override {
    World& w = TheWorld();
    w.applies.push_back(Snapshot("Edit_select", bag));
    if (Bag* b = dynamic_cast<Bag*>(bag)) {
      auto it = b->strings.find(PropText);
      if (it != b->strings.end()) w.editText = it->second;
    }
    return 1;
  }
  int Show(int) override { return 1; }
  const char* GetText() override { return TheWorld().editText.c_str(); }
};

class Window final : public WindowObject, public OwnedControl {
 public:
  explicit Window(Dialog* owner) : owner_(owner) {}
  int SetProperties(PropertyBag*) override { return 1; }
  int Show(int show) override {
    if (show) TheWorld().shown.insert(owner_->isHint ? "hint window" : "main window");
    return 1;
  }
  int RunModal() override {
    World& w = TheWorld();
    owner_->modalEnded = false;
    owner_->modalResult = -1;
    if (w.onModal) w.onModal(*owner_);
    else owner_->Send("Button_MsgOk", NotifyClick);
    w.hints.push_back(owner_->hintText);
    w.modalResults.push_back(owner_->modalResult);
    return owner_->modalResult;
  }
  int EndModal(int result) override {
    if (!owner_->modalEnded) owner_->modalResult = result;
    owner_->modalEnded = true;
    return 1;
  }

 private:
  Dialog* owner_;
};

// The framework's own XML reader, so the launcher reads lists exactly as it does at run
// time; the double only records its release.
class Xml final : public Counted<XmlReader> {
 public:
  int Release(int reserved) override {
    TheWorld().log.push_back("release XmlReader");
    return Counted::Release(reserved);
  }
  int SetDocument(const char* text) override { return inner_->SetDocument(text); }
  int FindElement(const char* name) override { return inner_->FindElement(name); }
  int EnterElement() override { return inner_->EnterElement(); }
  int LeaveElement() override { return inner_->LeaveElement(); }
  int RewindLevel() override { return inner_->RewindLevel(); }
  int ResetToTop() override { return inner_->ResetToTop(); }
  int GetElementText(char* buffer, int size) override { return inner_->GetElementText(buffer, size); }

 private:
  ~Xml() { inner_->Release(0); }
  corvio::XmlReaderImpl* inner_ = new corvio::XmlReaderImpl();
};

class Settings final : public Counted<DownloadSettings> {
 public:
  int Release(int reserved) override {
    ++TheWorld().settingsReleased;
    return Counted::Release(reserved);
  }
  int ApplySettings(const DownloadSettingsRecord* record) override {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(record);
    TheWorld().lastRecord.assign(bytes, bytes + sizeof *record);
    return TheWorld().acceptSettings;
  }

 private:
  ~Settings() = default;
};

class Loader final : public Counted<Downloader>, public DownloadNotifier {
 public:
  int Release(int reserved) override {
    TheWorld().log.push_back("release Downloader");
    for (DownloadSettings* s : owned_) s->Release(0);
    return Counted::Release(reserved);
  }
  int StartDownload(const char* name, const char* file, int a, int b, int c, int d) override {
    char line[512];
    snprintf(line, sizeof line, "StartDownload %s %s %d %d %d %d", name, file, a, b, c, d);
    TheWorld().log.push_back(line);
    return 7;
  }
  int AddSettings(const char* name, DownloadSettings* settings) override {
    TheWorld().log.push_back(std::string("AddSettings ") + name);
    TheWorld().settingsAdded.push_back(name);
    if (settings) owned_.push_back(settings);
    return 1;
  }
  int SetDownloadSink(DownloadEventSink* sink, int) override {
    TheWorld().log.push_back("SetDownloadSink");
    TheWorld().downloadSink = sink;
    return 1;
  }

 private:
  ~Loader() = default;
  std::vector<DownloadSettings*> owned_;
};

class Factory final : public ComponentFactory {
 public:
  int Release(int) override { return 0; }
  int Initialize(int) override { return 0; }
  Component* NewComponent(ComponentId id, const char*) override {
    World& w = TheWorld();
    if (w.missing.count(id)) return nullptr;
    Component* made = nullptr;
    switch (id) {
      case SkinDialog::kId: made = new Dialog(); break;
      case PropertyBag::kId: made = new Bag(); break;
      case PropertyWriter::kId: made = new Writer(); break;
      case XmlReader::kId: made = new Xml(); break;
      case Downloader::kId: made = static_cast<Downloader*>(new Loader()); break;
      case DownloadSettings::kId: made = new Settings(); break;
      default: return nullptr;
    }
    Count(w.created, id);
    return made;
  }
};

}  // namespace

int Event::GetStringParam(int key, char* buffer, int size, int) {
  if (key != BrowserUrlKey || !hasUrl || !buffer || size <= 0) return 0;
  snprintf(buffer, static_cast<size_t>(size), "%s", url.c_str());
  return 1;
}

World& TheWorld() {
  if (!g_world) g_world = new World();
  return *g_world;
}

void ResetWorld() {
  delete g_world;
  g_world = new World();
}

std::string Image(const std::string& file) { return "ONEIMAGE:" + file + ";Tile"; }

Dialog::Dialog() {
  World& w = TheWorld();
  if (!w.launcherDialog) w.launcherDialog = this;
  else isHint = true;
  window = new Window(this);
}

Dialog::~Dialog() {
  for (auto& c : controls) DeleteControl(c.second.control);
  DeleteControl(window);
}

int Dialog::Release(int) {
  World& w = TheWorld();
  Count(w.released, kId);
  w.log.push_back(isHint ? "release hint SkinDialog" : "release SkinDialog");
  if (w.launcherDialog == this) w.launcherDialog = nullptr;
  delete this;
  return 0;
}

void Dialog::Add(const std::string& name, const std::string& path, Control* control) {
  const int id = 100 + static_cast<int>(controls.size());
  controls[id] = Entry{name, path, control};
}

int Dialog::LoadSkin(const char* skinFile, int) {
  World& w = TheWorld();
  const std::string file = skinFile ? skinFile : "";
  w.skinsLoaded.push_back(file);
  if (isHint) {
    if (file != "HintMsg.xml" || !w.hintSkinLoads) return 0;
    const char* names[] = {"Button_MsgOk", "Button_Quit", "Button_Cancel", "Button_Other"};
    for (const char* n : names) {
      if (!w.absentHintControls.count(n)) Add(n, std::string("Dialog_Hint\\") + n, new PlainControl(n));
    }
    if (!w.absentHintControls.count("Static_MsgInfo"))
      Add("Static_MsgInfo", "Dialog_Hint\\Static_MsgInfo", new HintText(this));
    loaded = true;
    return 1;
  }
  if (file != "zentPorter.xml" || !w.launcherSkinLoads) return 0;
  auto addIf = [&](const std::string& name, const std::string& path, Control* control) {
    if (w.absentControls.count(name) || w.absentControls.count(path)) {
      DeleteControl(control);
      return;
    }
    Add(name, path, control);
  };
  addIf("Dialog_ZentPorter", "Dialog_ZentPorter", new PlainControl("Dialog_ZentPorter"));
  addIf("Static_version", "Dialog_ZentPorter\\Static_version", new StaticText("Static_version"));
  addIf("Static_version_zone", "Dialog_ZentPorter\\Static_version_zone",
        new StaticText("Static_version_zone"));
  addIf("Edit_select", "Dialog_ZentPorter\\Edit_select", new Edit());
  const char* buttons[] = {"Button_enter", "Button_close", "Button_back", "WebBrowser_right"};
  for (const char* b : buttons) addIf(b, std::string("Dialog_ZentPorter\\") + b, new PlainControl(b));
  for (const char* group : {"dx", "wt"}) {
    const std::string note = std::string("Dialog_ZentPorter\\Container_") + group + "\\Image_measuring";
    addIf(note, note, new PlainControl("Image_measuring"));
    for (int k = 1; k <= 20; ++k) {
      char button[128];
      char tag[128];
      snprintf(button, sizeof button, "Dialog_ZentPorter\\Container_%s\\server%d\\Button", group, k);
      snprintf(tag, sizeof tag, "Dialog_ZentPorter\\Container_%s\\server%d\\Tag", group, k);
      addIf(button, button, new PlainControl(button));
      addIf(tag, tag, new PlainControl(tag));
    }
  }
  loaded = true;
  return 1;
}

int Dialog::ApplyProperties(int controlId, PropertyBag* bag) {
  World& w = TheWorld();
  auto it = controls.find(controlId);
  const std::string target = it == controls.end() ? "<unknown>" : it->second.path;
  Apply a = Snapshot(target, bag);
  for (const Prop& p : a.props) w.state[target][p.name] = p.value;
  w.applies.push_back(a);
  return 1;
}

int Dialog::GetControlPath(int controlId, char* buffer, int size) {
  auto it = controls.find(controlId);
  if (it == controls.end() || !buffer || size <= 0) return 0;
  snprintf(buffer, static_cast<size_t>(size), "%s", it->second.path.c_str());
  return 1;
}

int Dialog::FindControl(const char* name) {
  for (auto& c : controls)
    if (c.second.name == name) return c.first;
  return 0;
}

int Dialog::FindControlByPath(const char* path, int) {
  for (auto& c : controls)
    if (c.second.path == path) return c.first;
  return 0;
}

Control* Dialog::GetControl(int controlId) {
  auto it = controls.find(controlId);
  return it == controls.end() ? nullptr : it->second.control;
}

WindowObject* Dialog::GetMainWindow() {
  if (!loaded) return nullptr;
  if (!isHint && !TheWorld().launcherHasWindow) return nullptr;
  return window;
}

int Dialog::SetEventSink(int enable, UiEventSink* s) {
  sink = enable ? s : nullptr;
  return 1;
}

int Dialog::QueryProperties(PropertyBag* bag, int key) {
  if (Bag* b = dynamic_cast<Bag*>(bag)) {
    if (key == PropWindowHandle && GetMainWindow()) b->numbers[key] = TheWorld().windowHandle;
  }
  return 1;
}

int Dialog::SetOwnerDialog(SkinDialog* o) {
  owner = o;
  return 1;
}

void Dialog::Send(int senderId, int code, int message, const std::string* url) {
  if (!sink) return;
  Event e;
  e.code = code;
  e.message = message;
  if (url) {
    e.url = *url;
    e.hasUrl = true;
  }
  sink->OnUiEvent(senderId, &e);
}

}  // namespace fake

// The library's one entry, as the framework's: the factory, unless the test took it away.
extern "C" ComponentFactory* CreateComponent(uint32_t id, uint32_t) {
  static fake::Factory factory;
  if (id != ComponentFactory::kId || fake::TheWorld().missing.count(ComponentFactory::kId))
    return nullptr;
  return &factory;
}
