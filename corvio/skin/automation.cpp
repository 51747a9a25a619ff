// The automation runner. Commands go through the dialogs' own input entry points, so a
// scripted click takes the same hit-testing and event path as a mouse click.
#include "corvio/skin/automation.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "corvio/report.h"
#include "corvio/runtime/first_paint.h"
#include "corvio/runtime/ui_dispatcher.h"
#include "corvio/skin/backend.h"
#include "corvio/skin/browser/page_view.h"
#include "corvio/skin/image_io.h"
#include "corvio/skin/skin_dialog_impl.h"
#include "corvio/skin/text_codec.h"
#include "corvio/skin/timeline.h"

namespace corvio {
namespace skin {

namespace {

constexpr int kDefaultWaitMs = 5000;
constexpr int kRecheckMs = 20;

struct Script {
  bool active = false;
  bool envChecked = false;
  std::vector<std::pair<int, std::string>> commands;  // line number, text
  size_t next = 0;
  bool stepPosted = false;
  bool waiting = false;
  bool wakeOnPresent = false;  // the wait looks again after each present, not only on time
  DWORD deadline = 0;
  DWORD nextCheck = 0;
  uint64_t presentsAtCheck = 0;
  UiDispatcher* steps = nullptr;  // made on the UI thread; kept for the whole process
};

// When windows last showed something new, on the steady clock (microseconds), for the
// stamp command: a benchmark outside the process compares them with its own clock.
struct PresentLog {
  uint64_t count = 0;
  int64_t firstUs = 0;
  int64_t lastUs = 0;
};

PresentLog& Presents() {
  static PresentLog log;
  return log;
}

// A failure at the very end of the program, when no message loop is left to stop.
[[noreturn]] void FailAtExit(int line, const std::string& reason) {
  Report("automation:", "line " + std::to_string(line) + ": " + reason);
  _exit(3);
}

// A script whose program ends before its last command ran has not done what it says:
// that is a failure too, so a test cannot pass because the program quit early.
struct CheckedScript : Script {
  ~CheckedScript() {
    if (active && next < commands.size())
      FailAtExit(commands[next].first, "the program ended before this command was done");
  }
};

Script& TheScript() {
  static CheckedScript script;
  return script;
}

// What one step of a command came to.
enum class Outcome { kDone, kWaiting, kFailed };

// While the loop runs a failure stops the script and quits with code 3, so the program
// ends through its own teardown (its threads joined) like any other quit.
Outcome Fail(int line, const std::string& reason) {
  Report("automation:", "line " + std::to_string(line) + ": " + reason);
  Script& s = TheScript();
  s.active = false;
  s.waiting = false;
  s.wakeOnPresent = false;
  PostQuitMessage(3);
  return Outcome::kFailed;
}

struct Found {
  SkinDialogImpl* dialog = nullptr;
  Node* node = nullptr;
};

// Paths in the script are UTF-8; the dialogs keep GBK names.
Found Lookup(const std::string& pathUtf8) {
  std::string path = Utf8ToGbk(pathUtf8);
  std::vector<SkinDialogImpl*> order;
  if (SkinDialogImpl* top = SkinDialogImpl::TopDialog()) order.push_back(top);
  const auto& live = SkinDialogImpl::LiveDialogs();
  for (auto it = live.rbegin(); it != live.rend(); ++it) order.push_back(*it);
  for (SkinDialogImpl* d : order)
    if (Node* n = d->NodeByName(path)) return Found{d, n};
  return Found{};
}

bool Shown(const Found& f) { return f.node && f.dialog->WindowShown() && ControlTree::Shown(f.node); }

std::string ImageText(const StateImage& image) { return image.ref.text; }

// A dump field stays on its line and in its column.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\t' || c == '\r') c = ' ';
  return text;
}

Outcome Dump(int line, const std::string& file) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) return Fail(line, "cannot write \"" + file + "\"");
  for (SkinDialogImpl* d : SkinDialogImpl::LiveDialogs()) {
    for (Node* n : d->Tree().byId) {
      bool shown = d->WindowShown() && ControlTree::Shown(n);
      std::string text = OneLine(n->kind == Kind::Browser ? n->browserText : GbkToUtf8(n->text));
      out << GbkToUtf8(ControlTree::PathOf(n)) << "\tid=" << n->id << "\tkind=" << KindName(n->kind)
          << "\tvisible=" << (n->visible ? "true" : "false") << "\tshown=" << (shown ? "true" : "false")
          << "\ttext=" << text << "\timage=" << ImageText(n->images[kNormalImage])
          << "\thover=" << ImageText(n->images[kHoverImage])
          << "\tpressed=" << ImageText(n->images[kPressedImage])
          << "\tselected=" << (n->selected ? "true" : "false") << "\ttooltip=" << OneLine(GbkToUtf8(n->tooltip));
      if (n->page) out << "\tscroll=" << n->page->ScrollY() << "/" << n->page->MaxScroll();
      out << "\n";
    }
  }
  if (!out.flush()) return Fail(line, "cannot write \"" + file + "\"");
  return Outcome::kDone;
}

// One command being run: its line and the words after the verb.
struct Command {
  int line;
  std::istringstream& in;
};

Outcome WaitVisible(Command c) {
  std::string arg, ms;
  c.in >> arg >> ms;
  if (arg.empty()) return Fail(c.line, "wait-visible needs a control");
  Script& s = TheScript();
  DWORD now = GetTickCount();
  if (!s.waiting) {
    int limit = kDefaultWaitMs;
    if (!ms.empty() && (limit = atoi(ms.c_str())) <= 0) return Fail(c.line, "bad time \"" + ms + "\"");
    s.deadline = now + static_cast<DWORD>(limit);
    s.waiting = true;
  }
  if (Shown(Lookup(arg))) {
    s.waiting = false;
    s.wakeOnPresent = false;
    return Outcome::kDone;
  }
  if (static_cast<int32_t>(now - s.deadline) >= 0)
    return Fail(c.line, "\"" + arg + "\" did not become visible in time");
  // A control becomes shown through a change that is drawn: looking again right after
  // each present sees it at once, the timer covers the rest.
  s.wakeOnPresent = true;
  s.presentsAtCheck = Presents().count;
  s.nextCheck = now + kRecheckMs;
  return Outcome::kWaiting;
}

Outcome Sleep(Command c) {
  std::string ms;
  c.in >> ms;
  Script& s = TheScript();
  DWORD now = GetTickCount();
  if (!s.waiting) {
    const int limit = ms.size() <= 9 ? atoi(ms.c_str()) : -1;
    if (ms.empty() || limit < 0 || ms.find_first_not_of("0123456789") != std::string::npos)
      return Fail(c.line, "bad time \"" + ms + "\"");
    s.deadline = now + static_cast<DWORD>(limit);
    s.waiting = true;
  }
  if (static_cast<int32_t>(now - s.deadline) >= 0) {
    s.waiting = false;
    return Outcome::kDone;
  }
  s.wakeOnPresent = false;
  s.nextCheck = s.deadline;
  return Outcome::kWaiting;
}

Outcome Stamp(Command c) {
  std::string arg;
  c.in >> arg;
  if (arg.empty()) return Fail(c.line, "stamp needs a file");
  const PresentLog& p = Presents();
  if (p.count == 0) return Fail(c.line, "no window has been drawn yet");
  // Written whole under another name first: a reader polling for the file never sees
  // half of it.
  const std::string partial = arg + ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out << "first_present_us=" << p.firstUs << "\nlast_present_us=" << p.lastUs
        << "\npresents=" << p.count << "\nnow_us=" << SteadyMicros() << "\n";
    for (const TimelineEntry& mark : PhaseMarks()) out << "phase." << mark.name << "_us=" << mark.micros << "\n";
    for (const TimelineEntry& span : SpanTotals())
      out << "span." << span.name << "_us=" << span.micros << "\nspan." << span.name << "_n=" << span.count << "\n";
    if (!out.flush()) return Fail(c.line, "cannot write \"" + arg + "\"");
  }
  // Windows' rename does not replace a file: an old stamp goes first.
  remove(arg.c_str());
  if (rename(partial.c_str(), arg.c_str()) != 0) {
    unlink(partial.c_str());
    return Fail(c.line, "cannot write \"" + arg + "\"");
  }
  return Outcome::kDone;
}

// The control a click or a typing goes to: shown and taking input, or null after a failure.
Found InputTarget(int line, const std::string& arg) {
  Found f = Lookup(arg);
  if (!f.node) return Fail(line, "no control \"" + arg + "\""), Found{};
  if (!Shown(f)) return Fail(line, "\"" + arg + "\" is not shown"), Found{};
  if (!f.dialog->AcceptsInput()) return Fail(line, "\"" + arg + "\" is behind a modal box"), Found{};
  return f;
}

Outcome Click(Command c) {
  std::string arg;
  c.in >> arg;
  Found f = InputTarget(c.line, arg);
  if (!f.node) return Outcome::kFailed;
  int cx = f.node->abs.x + f.node->abs.w / 2, cy = f.node->abs.y + f.node->abs.h / 2;
  f.dialog->OnMouseMove(cx, cy);
  f.dialog->OnMouseDown(cx, cy);
  f.dialog->OnMouseUp(cx, cy);
  return Outcome::kDone;
}

// The dialog that takes input at window coordinates: the innermost shown one.
SkinDialogImpl* PointTarget(int line, const char* verb, bool parsed) {
  if (!parsed) return Fail(line, std::string(verb) + " needs whole numbers"), nullptr;
  SkinDialogImpl* d = SkinDialogImpl::TopDialog();
  if (!d || !d->WindowShown()) return Fail(line, "no open window"), nullptr;
  if (!d->AcceptsInput()) return Fail(line, "the window is behind a modal box"), nullptr;
  return d;
}

Outcome ClickAt(Command c) {
  int x = 0, y = 0;
  const bool parsed = static_cast<bool>(c.in >> x >> y);
  SkinDialogImpl* d = PointTarget(c.line, "click-at", parsed);
  if (!d) return Outcome::kFailed;
  d->OnMouseMove(x, y);
  d->OnMouseDown(x, y);
  d->OnMouseUp(x, y);
  return Outcome::kDone;
}

Outcome WheelVerb(Command c) {
  int x = 0, y = 0, notches = 0;
  const bool parsed = static_cast<bool>(c.in >> x >> y >> notches);
  SkinDialogImpl* d = PointTarget(c.line, "wheel", parsed);
  if (!d) return Outcome::kFailed;
  d->OnMouseMove(x, y);
  d->OnMouseWheel(x, y, notches);
  return Outcome::kDone;
}

Outcome Type(Command c) {
  std::string arg;
  c.in >> arg;
  Found f = InputTarget(c.line, arg);
  if (!f.node) return Outcome::kFailed;
  if (f.node->kind != Kind::Edit) return Fail(c.line, "\"" + arg + "\" is not an edit box");
  std::string rest;
  std::getline(c.in, rest);
  if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
  f.dialog->FocusNode(f.node);
  for (uint32_t cp : DecodeUtf8(rest)) {
    std::string one;
    AppendUtf8(cp, &one);
    f.dialog->OnTextInput(one.c_str());
  }
  return Outcome::kDone;
}

// A key press and release for the topmost dialog, as the backend passes on the keyboard's.
Outcome KeyVerb(Command c) {
  static const struct {
    const char* name;
    Key key;
  } kKeys[] = {
      {"Tab", Key::Tab},       {"Shift+Tab", Key::ShiftTab}, {"Enter", Key::Enter},   {"Escape", Key::Escape},
      {"Space", Key::Space},   {"F5", Key::F5},              {"Up", Key::Up},         {"Down", Key::Down},
      {"Left", Key::Left},     {"Right", Key::Right},        {"PageUp", Key::PageUp}, {"PageDown", Key::PageDown},
      {"Home", Key::Home},     {"End", Key::End},            {"Backspace", Key::Backspace},
  };
  std::string name;
  c.in >> name;
  for (const auto& row : kKeys) {
    if (name != row.name) continue;
    SkinDialogImpl* d = PointTarget(c.line, "key", true);
    if (!d) return Outcome::kFailed;
    d->OnKey(row.key);
    return Outcome::kDone;
  }
  return Fail(c.line, "unknown key \"" + name + "\"");
}

Outcome Close(Command c) {
  std::string arg;
  c.in >> arg;
  SkinDialogImpl* d = nullptr;
  if (!arg.empty()) {
    Found f = Lookup(arg);
    if (!f.node) return Fail(c.line, "no control \"" + arg + "\"");
    d = f.dialog;
  } else {
    d = SkinDialogImpl::TopDialog();
  }
  if (!d || !d->WindowShown()) return Fail(c.line, "no open window to close");
  d->OnCloseRequest();
  return Outcome::kDone;
}

Outcome DumpVerb(Command c) {
  std::string arg;
  c.in >> arg;
  if (arg.empty()) return Fail(c.line, "dump needs a file");
  return Dump(c.line, arg);
}

Outcome Screenshot(Command c) {
  std::string arg;
  c.in >> arg;
  if (arg.empty()) return Fail(c.line, "screenshot needs a file");
  SkinDialogImpl* d = SkinDialogImpl::TopDialog();
  if (!d || !d->WindowShown()) return Fail(c.line, "no open window to take a picture of");
  std::string error;
  if (!WritePng(arg, d->RenderAll(), &error)) return Fail(c.line, error);
  return Outcome::kDone;
}

struct Verb {
  const char* name;
  Outcome (*run)(Command);
};

const Verb kVerbs[] = {
    {"wait-visible", WaitVisible}, {"sleep", Sleep}, {"stamp", Stamp},       {"click", Click},
    {"type", Type},                {"close", Close}, {"dump", DumpVerb}, {"screenshot", Screenshot},
    {"click-at", ClickAt},         {"wheel", WheelVerb}, {"key", KeyVerb},
};

// Runs (one step of) the current command.
Outcome RunCommand(int line, const std::string& text) {
  std::istringstream in(text);
  std::string verb;
  in >> verb;
  for (const Verb& v : kVerbs)
    if (verb == v.name) return v.run(Command{line, in});
  return Fail(line, "unknown command \"" + verb + "\"");
}

void Step() {
  Script& s = TheScript();
  s.stepPosted = false;
  if (!s.active) return;
  if (s.next >= s.commands.size()) {
    s.active = false;
    return;
  }
  const auto& cmd = s.commands[s.next];
  if (RunCommand(cmd.first, cmd.second) != Outcome::kWaiting) ++s.next;
  if (s.next >= s.commands.size()) s.active = false;
  // What the step changed is drawn, and the core asked again for the next step: a
  // backend without a hook in the wait (win32) comes round only when asked.
  if (const BackendOps* ops = ActiveBackend()) ops->request_attention();
}

UiDispatcher* Steps() {
  Script& s = TheScript();
  if (!s.steps) s.steps = new UiDispatcher();
  return s.steps;
}

}  // namespace

namespace {

void LoadScript(const std::string& file) {
  Script& s = TheScript();
  s.envChecked = true;
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    Fail(0, "cannot read the script \"" + file + "\"");
    return;
  }
  s.commands.clear();
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    s.commands.emplace_back(number, line.substr(first));
  }
  s.next = 0;
  s.waiting = false;
  s.wakeOnPresent = false;
  s.active = !s.commands.empty();
  if (!Steps()->Post([] {})) Fail(0, "cannot create the automation's message window");
}

}  // namespace

void StartAutomation(const std::string& file) {
  LoadScript(file);
  if (const BackendOps* ops = ActiveBackend()) ops->request_attention();
}

int AutomationIdle() {
  Script& s = TheScript();
  if (!s.envChecked) {
    s.envChecked = true;
    const char* file = getenv("CORVIO_AUTOMATION");
    if (file && *file) LoadScript(file);
  }
  if (!s.active || s.stepPosted) return -1;
  if (s.waiting && !(s.wakeOnPresent && Presents().count != s.presentsAtCheck)) {
    int32_t left = static_cast<int32_t>(s.nextCheck - GetTickCount());
    if (left > 0) return left;
  }
  s.stepPosted = Steps()->Post([] {
    if (!Guarded([] { return Step(), true; }, false)) Fail(0, "internal failure");
  });
  return s.stepPosted ? 0 : kRecheckMs;
}

void CoreDrawPending() {
  for (SkinDialogImpl* d : SkinDialogImpl::LiveDialogs()) {
    if (!d->DrawIfDirty()) continue;
    PresentLog& p = Presents();
    p.lastUs = SteadyMicros();
    if (p.count++ == 0) {
      p.firstUs = p.lastUs;
      MarkPhase("first_present");
    }
    FirstPaintDone();
  }
}

int CoreIdle() {
  FirstPaintDone();  // nothing more is on its way to the screen
  return AutomationIdle();
}

}  // namespace skin
}  // namespace corvio
