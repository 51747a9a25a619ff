// Events of a shown dialog: clicks through the automation path, keyboard defaults and
// focus, typing, the window-close message, and modal loops inside modal loops.
#include <SDL2/SDL.h>

#include <algorithm>
#include <map>

#include "tests/corvio/skin_test_support.h"

using namespace skintest;
using corvio::skin::Node;

namespace {

OffscreenVideo offscreen;

class SkinEventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    dialog = Make<SkinDialog>();
    ASSERT_NE(dialog, nullptr);
    ASSERT_NE(dialog->LoadSkin((Skins() + "/main.xml").c_str(), 0), 0);
    dialog->SetEventSink(1, &sink);
    ASSERT_NE(dialog->GetMainWindow()->Show(1), 0);
  }
  void TearDown() override { dialog->Release(0); }

  int Id(const char* name) { return dialog->FindControl(name); }
  bool WaitEvents(size_t n, int ms = 5000) {
    return RunLoopUntil([&] { return sink.events.size() >= n; }, ms);
  }
  // The SDL window of a dialog, found by its title.
  static Uint32 WindowIdOf(const char* title) {
    for (Uint32 id = 1; id < 200; ++id) {
      SDL_Window* w = SDL_GetWindowFromID(id);
      if (w && strcmp(SDL_GetWindowTitle(w), title) == 0) return id;
    }
    return 0;
  }
  static void PushKey(Uint32 window, SDL_Keycode key, Uint16 mod = 0) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = window;
    e.key.state = SDL_PRESSED;
    e.key.keysym.sym = key;
    e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
  }

  SkinDialog* dialog = nullptr;
  RecordingSink sink;
};

}  // namespace

TEST_F(SkinEventsTest, ScriptedClickGivesNotifyClickWithTheButtonsId) {
  RunScript("wait-visible Button_ok 2000\nclick Button_ok\n");
  ASSERT_TRUE(WaitEvents(1));
  EXPECT_EQ(sink.events[0].sender, Id("Button_ok"));
  EXPECT_EQ(sink.events[0].code, NotifyClick);
  EXPECT_EQ(sink.events[0].message, 0);
}

TEST_F(SkinEventsTest, ScriptedClickByPathReachesTheNestedButton) {
  RunScript("click Dialog_Test\\Container_dx\\server2\\Button\n");
  ASSERT_TRUE(WaitEvents(1));
  EXPECT_EQ(sink.events[0].sender,
            dialog->FindControlByPath("Dialog_Test\\Container_dx\\server2\\Button", 0));
  char path[1024] = {0};
  EXPECT_NE(dialog->GetControlPath(sink.events[0].sender, path, 1023), 0);
  EXPECT_STREQ(path, "Dialog_Test\\Container_dx\\server2\\Button");
}

TEST_F(SkinEventsTest, PressOnOneButtonAndReleaseOnAnotherIsNoClick) {
  auto* host = Impl(dialog);
  Node* ok = host->NodeByName("Button_ok");
  Node* other = host->NodeByName("Button_other");
  host->OnMouseDown(ok->abs.x + 2, ok->abs.y + 2);
  host->OnMouseUp(other->abs.x + 2, other->abs.y + 2);
  host->OnMouseDown(5, 100);  // the background is no button
  host->OnMouseUp(5, 100);
  EXPECT_FALSE(WaitEvents(1, 300));
  host->OnMouseDown(other->abs.x + 2, other->abs.y + 2);
  host->OnMouseUp(other->abs.x + 3, other->abs.y + 3);
  ASSERT_TRUE(WaitEvents(1));
  EXPECT_EQ(sink.events[0].sender, Id("Button_other"));
}

TEST_F(SkinEventsTest, HiddenButtonTakesNoClick) {
  auto* host = Impl(dialog);
  Node* hidden = host->NodeByName("Dialog_Test\\Container_dx\\server1\\Button");
  ASSERT_FALSE(hidden->visible);
  host->OnMouseDown(hidden->abs.x + 2, hidden->abs.y + 2);
  host->OnMouseUp(hidden->abs.x + 2, hidden->abs.y + 2);
  EXPECT_FALSE(WaitEvents(1, 300));
}

TEST_F(SkinEventsTest, ScriptedCloseSendsWindowMessage16FromTheDialog) {
  RunScript("close\n");
  ASSERT_TRUE(WaitEvents(1));
  EXPECT_EQ(sink.events[0].message, WindowMessageClose);
  EXPECT_EQ(sink.events[0].sender, 1);
  EXPECT_NE(sink.events[0].code, NotifyClick);
}

TEST_F(SkinEventsTest, WindowManagerCloseAndAltF4SendTheCloseMessage) {
  Uint32 window = WindowIdOf("skin-test-main");
  ASSERT_NE(window, 0u);
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = window;
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  SDL_PushEvent(&e);
  PushKey(window, SDLK_F4, KMOD_LALT);
  ASSERT_TRUE(WaitEvents(2));
  EXPECT_EQ(sink.events[0].message, WindowMessageClose);
  EXPECT_EQ(sink.events[1].message, WindowMessageClose);
}

TEST_F(SkinEventsTest, EnterClicksTheDefaultButtonAndEscapeTheCancelButton) {
  Uint32 window = WindowIdOf("skin-test-main");
  ASSERT_NE(window, 0u);
  PushKey(window, SDLK_RETURN);
  PushKey(window, SDLK_ESCAPE);
  ASSERT_TRUE(WaitEvents(2));
  EXPECT_EQ(sink.events[0].sender, Id("Button_ok"));
  EXPECT_EQ(sink.events[0].code, NotifyClick);
  EXPECT_EQ(sink.events[1].sender, Id("Button_close"));
  EXPECT_EQ(sink.events[1].code, NotifyClick);
}

TEST_F(SkinEventsTest, TabMovesTheFocusAndEnterThenClicksTheFocusedButton) {
  Uint32 window = WindowIdOf("skin-test-main");
  PushKey(window, SDLK_TAB);  // Button_close
  PushKey(window, SDLK_TAB);  // server2's button (server1's is hidden)
  PushKey(window, SDLK_RETURN);
  PushKey(window, SDLK_TAB, KMOD_LSHIFT);  // back to Button_close
  PushKey(window, SDLK_SPACE);
  ASSERT_TRUE(WaitEvents(2));
  EXPECT_EQ(sink.events[0].sender,
            dialog->FindControlByPath("Dialog_Test\\Container_dx\\server2\\Button", 0));
  EXPECT_EQ(sink.events[1].sender, Id("Button_close"));
}

TEST_F(SkinEventsTest, TypedTextLandsInTheEditBoxAsGbk) {
  // 大区 typed as UTF-8 keystrokes, then a backspace removes one whole character.
  RunScript("type Edit_select a\xE5\xA4\xA7\xE5\x8C\xBA\n");
  auto* edit = dynamic_cast<EditControl*>(dialog->GetControl(Id("Edit_select")));
  ASSERT_TRUE(RunLoopUntil([&] { return strlen(edit->GetText()) == 5; }));
  EXPECT_STREQ(edit->GetText(), "a\xB4\xF3\xC7\xF8");
  Uint32 window = WindowIdOf("skin-test-main");
  PushKey(window, SDLK_BACKSPACE);
  ASSERT_TRUE(RunLoopUntil([&] { return strlen(edit->GetText()) == 3; }));
  EXPECT_STREQ(edit->GetText(), "a\xB4\xF3");
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  e.text.windowID = window;
  strcpy(e.text.text, "z");
  SDL_PushEvent(&e);
  ASSERT_TRUE(RunLoopUntil([&] { return strlen(edit->GetText()) == 4; }));
  EXPECT_STREQ(edit->GetText(), "a\xB4\xF3z");
}

TEST_F(SkinEventsTest, ModalBoxInsideModalBoxEndsInnerFirstAndBlocksTheOthers) {
  SkinDialog* box = Make<SkinDialog>();
  SkinDialog* inner = Make<SkinDialog>();
  ASSERT_NE(box->LoadSkin((Skins() + "/box.xml").c_str(), 0), 0);
  ASSERT_NE(inner->LoadSkin((Skins() + "/inner.xml").c_str(), 0), 0);
  box->SetOwnerDialog(dialog);
  inner->SetOwnerDialog(box);
  RecordingSink boxSink, innerSink;
  box->SetEventSink(1, &boxSink);
  inner->SetEventSink(1, &innerSink);
  std::vector<std::string> order;
  int boxResult = -1, innerResult = -1;
  bool mainBlocked = false, boxBlocked = false;
  sink.then = [&](const Recorded& r) {
    if (r.sender != Id("Button_ok")) return;
    order.push_back("box opens");
    boxResult = box->GetMainWindow()->RunModal();
    order.push_back("box closed");
  };
  boxSink.then = [&](const Recorded& r) {
    if (r.sender == box->FindControl("Button_Open")) {
      order.push_back("inner opens");
      innerResult = inner->GetMainWindow()->RunModal();
      order.push_back("inner closed");
    } else if (r.sender == box->FindControl("Button_MsgOk")) {
      box->GetMainWindow()->EndModal(r.sender);
    }
  };
  innerSink.then = [&](const Recorded& r) {
    mainBlocked = !Impl(dialog)->AcceptsInput();
    boxBlocked = !Impl(box)->AcceptsInput();
    inner->GetMainWindow()->EndModal(77);
  };
  RunScript(
      "click Button_ok\n"
      "wait-visible Button_Open\n"
      "click Button_Open\n"
      "wait-visible Button_InnerOk\n"
      "click Button_InnerOk\n"
      "click Button_MsgOk\n");
  ASSERT_TRUE(RunLoopUntil([&] { return order.size() == 4; }, 8000));
  EXPECT_EQ(order, (std::vector<std::string>{"box opens", "inner opens", "inner closed", "box closed"}));
  EXPECT_EQ(innerResult, 77);
  EXPECT_EQ(boxResult, box->FindControl("Button_MsgOk"));
  EXPECT_TRUE(mainBlocked);
  EXPECT_TRUE(boxBlocked);
  EXPECT_TRUE(Impl(dialog)->AcceptsInput()) << "input returns to the main window";
  EXPECT_FALSE(Impl(box)->WindowShown());
  inner->Release(0);
  box->Release(0);
}

TEST_F(SkinEventsTest, QuitInsideAModalLoopEndsItAndReachesTheOuterLoop) {
  SkinDialog* box = Make<SkinDialog>();
  ASSERT_NE(box->LoadSkin((Skins() + "/box.xml").c_str(), 0), 0);
  box->SetOwnerDialog(dialog);
  RecordingSink boxSink;
  box->SetEventSink(1, &boxSink);
  int boxResult = -1;
  bool returned = false;
  sink.then = [&](const Recorded&) {
    boxResult = box->GetMainWindow()->RunModal();
    returned = true;
  };
  boxSink.then = [&](const Recorded&) { PostQuitMessage(9); };
  RunScript("click Button_ok\nwait-visible Button_MsgOk\nclick Button_MsgOk\n");
  int quitCode = -1;
  RunLoopUntil([&] { return false; }, 5000, &quitCode);
  EXPECT_TRUE(returned);
  EXPECT_EQ(boxResult, 0);
  EXPECT_EQ(quitCode, 9) << "the quit is passed on to the outer loop";
  box->Release(0);
}

TEST_F(SkinEventsTest, CloseOfAModalBoxGoesToTheBoxNotToTheMainWindow) {
  SkinDialog* box = Make<SkinDialog>();
  ASSERT_NE(box->LoadSkin((Skins() + "/box.xml").c_str(), 0), 0);
  box->SetOwnerDialog(dialog);
  RecordingSink boxSink;
  box->SetEventSink(1, &boxSink);
  int result = -1;
  sink.then = [&](const Recorded& r) {
    if (r.code == NotifyClick) result = box->GetMainWindow()->RunModal();
  };
  boxSink.then = [&](const Recorded& r) {
    if (r.message == WindowMessageClose) box->GetMainWindow()->EndModal(5);
  };
  RunScript("click Button_ok\nwait-visible Button_MsgOk\nclose\n");
  ASSERT_TRUE(RunLoopUntil([&] { return result != -1; }));
  EXPECT_EQ(result, 5);
  ASSERT_EQ(boxSink.events.size(), 1u);
  EXPECT_EQ(boxSink.events[0].sender, 1);
  EXPECT_EQ(sink.events.size(), 1u) << "only the click reached the main window";
  box->Release(0);
}

TEST_F(SkinEventsTest, ExceptionsInTheSinkDoNotEscapeIntoTheLoop) {
  sink.then = [](const Recorded&) { throw std::runtime_error("handler failed"); };
  RunScript("click Button_ok\nclick Button_other\n");
  EXPECT_TRUE(WaitEvents(2));
}

TEST_F(SkinEventsTest, DumpListsEveryControlAndScreenshotWritesAPng) {
  char dir[] = "/tmp/skin_dump_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string dump = std::string(dir) + "/dump.txt", shot = std::string(dir) + "/shot.png";
  dynamic_cast<StaticControl*>(dialog->GetControl(Id("Static_text")))->SetText("\xB4\xF3\xC7\xF8");
  RunScript("dump " + dump + "\nscreenshot " + shot + "\nclick Button_ok\n");
  ASSERT_TRUE(WaitEvents(1));
  std::ifstream in(dump);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("Dialog_Test\\Container_dx\\server2\\Button\tid=8\tkind=Button\tvisible=true\tshown=true"),
            std::string::npos) << text;
  EXPECT_NE(text.find("Dialog_Test\\Container_dx\\server1\\Button\tid=5\tkind=Button\tvisible=false\tshown=false"),
            std::string::npos);
  EXPECT_NE(text.find("text=\xE5\xA4\xA7\xE5\x8C\xBA"), std::string::npos) << "texts in UTF-8";
  EXPECT_NE(text.find("image=blue.png"), std::string::npos);
  std::ifstream png(shot, std::ios::binary);
  char magic[8] = {0};
  png.read(magic, 8);
  EXPECT_EQ(std::string(magic + 1, 3), "PNG");
  unlink(dump.c_str());
  unlink(shot.c_str());
  rmdir(dir);
}

namespace {

std::map<std::string, long long> ReadStamp(const std::string& file) {
  std::map<std::string, long long> values;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = std::stoll(line.substr(eq + 1));
  }
  return values;
}

long long SteadyMicrosNow() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

TEST_F(SkinEventsTest, StampRecordsTheFirstAndLatestPresentOnTheSteadyClock) {
  char dir[] = "/tmp/skin_stamp_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string one = std::string(dir) + "/one", two = std::string(dir) + "/two";
  const long long before = SteadyMicrosNow();
  RunScript("wait-visible Button_ok\nstamp " + one + "\nclick Button_ok\n");
  ASSERT_TRUE(WaitEvents(1));
  // A new caption is drawn, so the second stamp has a later present and the same first.
  dynamic_cast<StaticControl*>(dialog->GetControl(Id("Static_text")))->SetText("changed");
  RunScript("sleep 30\nstamp " + two + "\nclick Button_ok\n");
  ASSERT_TRUE(WaitEvents(2));
  const long long after = SteadyMicrosNow();
  auto a = ReadStamp(one), b = ReadStamp(two);
  ASSERT_EQ(a.size(), 4u);
  ASSERT_EQ(b.size(), 4u);
  EXPECT_GE(a["presents"], 1);
  EXPECT_LE(a["first_present_us"], a["last_present_us"]);
  EXPECT_LE(a["last_present_us"], a["now_us"]);
  EXPECT_GE(a["now_us"], before);
  EXPECT_EQ(b["first_present_us"], a["first_present_us"]);
  EXPECT_GT(b["presents"], a["presents"]);
  EXPECT_GT(b["last_present_us"], a["now_us"]) << "the changed caption was presented after the first stamp";
  EXPECT_LE(b["now_us"], after);
  EXPECT_FALSE(std::ifstream(one + ".partial").good());
  unlink(one.c_str());
  unlink(two.c_str());
  rmdir(dir);
}

TEST_F(SkinEventsTest, SleepHoldsTheNextCommandForItsTime) {
  const auto start = std::chrono::steady_clock::now();
  RunScript("sleep 150\nclick Button_ok\n");
  ASSERT_TRUE(WaitEvents(1));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
}

TEST_F(SkinEventsTest, ScriptFailuresEndTheProgramWithAClearLine) {
  struct Row {
    const char* script;
    const char* message;
  } rows[] = {
      {"click Button_none\n", "automation: line 1: no control \"Button_none\""},
      {"\n# comment\nclick Button\n", "automation: line 3: \"Button\" is not shown"},
      {"wait-visible Button 100\n", "did not become visible in time"},
      {"jump Button_ok\n", "unknown command \"jump\""},
      {"type Button_ok abc\n", "is not an edit box"},
      {"sleep\n", "automation: line 1: bad time \"\""},
      {"sleep -5\n", "bad time \"-5\""},
      {"sleep 1e3\n", "bad time \"1e3\""},
      {"stamp\n", "stamp needs a file"},
      {"stamp /nonexistent-folder/stamp.txt\n", "cannot write \"/nonexistent-folder/stamp.txt\""},
  };
  for (size_t i = 0; i < sizeof rows / sizeof *rows; ++i) {
    std::string script = rows[i].script;
    EXPECT_EXIT(
        {
          RunScript(script);
          RunLoopUntil([] { return false; }, 3000);
          _exit(0);
        },
        ::testing::ExitedWithCode(3), rows[i].message)
        << "row " << i;
  }
}

TEST_F(SkinEventsTest, ProgramEndingBeforeTheScriptIsDoneFails) {
  EXPECT_EXIT(
      {
        RunScript("click Button_ok\nwait-visible Button_none 60000\n");
        RunLoopUntil([&] { return !sink.events.empty(); }, 3000);
        exit(0);
      },
      ::testing::ExitedWithCode(3), "automation: line 2: the program ended before this command was done");
}
