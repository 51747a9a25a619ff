// Events of a shown dialog: clicks through the automation path, keyboard defaults and
// focus, typing, the window-close message, and modal loops inside modal loops. Input the
// window system delivers comes from SDL's queue on Linux and as window messages on Windows.
#ifndef _WIN32
#include <SDL2/SDL.h>
#endif

#include <algorithm>
#include <map>

#include "bench/common/stamp_file.h"
#include "tests/corvio/skin_test_support.h"

using namespace skintest;
using corvio::skin::Node;

namespace {

OffscreenVideo offscreen;

enum class TestKey { Enter, Escape, Tab, ShiftTab, Space, Backspace, AltF4, F5 };

#ifdef _WIN32
using TestWindow = HWND;

// The backend's window of a dialog, found by its title.
TestWindow WindowOf(const char* title) { return FindWindowA("CorvioSkinWindow", title); }

// Keys are sent, so each is handled before the next one and Shift can be held for one:
// the window procedure takes them as it takes the keyboard's.
void PushKey(TestWindow window, TestKey key) {
  static const struct {
    TestKey key;
    UINT message;
    WPARAM vk;
  } table[] = {
      {TestKey::Enter, WM_KEYDOWN, VK_RETURN},   {TestKey::Escape, WM_KEYDOWN, VK_ESCAPE},
      {TestKey::Tab, WM_KEYDOWN, VK_TAB},        {TestKey::ShiftTab, WM_KEYDOWN, VK_TAB},
      {TestKey::Space, WM_KEYDOWN, VK_SPACE},    {TestKey::Backspace, WM_KEYDOWN, VK_BACK},
      {TestKey::AltF4, WM_SYSKEYDOWN, VK_F4},    {TestKey::F5, WM_KEYDOWN, VK_F5},
  };
  for (const auto& row : table) {
    if (row.key != key) continue;
    BYTE keys[256] = {0};
    GetKeyboardState(keys);
    const BYTE shift = keys[VK_SHIFT];
    if (key == TestKey::ShiftTab) {
      keys[VK_SHIFT] = 0x80;
      SetKeyboardState(keys);
    }
    const LPARAM context = key == TestKey::AltF4 ? (1 | (1 << 29)) : 1;  // bit 29: Alt held
    SendMessageW(window, row.message, row.vk, context);
    if (key == TestKey::ShiftTab) {
      keys[VK_SHIFT] = shift;
      SetKeyboardState(keys);
    }
  }
}

// What the close box does.
void PushClose(TestWindow window) { PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

// Typed characters as TranslateMessage posts them, one WM_CHAR per UTF-16 unit.
void PushText(TestWindow window, const char* utf8) {
  wchar_t wide[64] = {0};
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 63);
  for (const wchar_t* p = wide; *p; ++p) PostMessageW(window, WM_CHAR, *p, 1);
}
#else
using TestWindow = Uint32;

// The SDL window of a dialog, found by its title.
TestWindow WindowOf(const char* title) {
  for (Uint32 id = 1; id < 200; ++id) {
    SDL_Window* w = SDL_GetWindowFromID(id);
    if (w && strcmp(SDL_GetWindowTitle(w), title) == 0) return id;
  }
  return 0;
}

void PushKey(TestWindow window, TestKey key) {
  static const struct {
    TestKey key;
    SDL_Keycode sym;
    Uint16 mod;
  } table[] = {
      {TestKey::Enter, SDLK_RETURN, 0}, {TestKey::Escape, SDLK_ESCAPE, 0},
      {TestKey::Tab, SDLK_TAB, 0},      {TestKey::ShiftTab, SDLK_TAB, KMOD_LSHIFT},
      {TestKey::Space, SDLK_SPACE, 0},  {TestKey::Backspace, SDLK_BACKSPACE, 0},
      {TestKey::AltF4, SDLK_F4, KMOD_LALT},     {TestKey::F5, SDLK_F5, 0},
  };
  for (const auto& row : table) {
    if (row.key != key) continue;
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = window;
    e.key.state = SDL_PRESSED;
    e.key.keysym.sym = row.sym;
    e.key.keysym.mod = row.mod;
    SDL_PushEvent(&e);
  }
}

void PushClose(TestWindow window) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = window;
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  SDL_PushEvent(&e);
}

void PushText(TestWindow window, const char* utf8) {
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  e.text.windowID = window;
  strncpy(e.text.text, utf8, sizeof e.text.text - 1);
  SDL_PushEvent(&e);
}
#endif

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
  // A dialog of `skin` owned by `owner` and reporting to `events`; null when it does not load.
  SkinDialog* OwnedDialog(const char* skin, SkinDialog* owner, RecordingSink* events) {
    SkinDialog* d = Make<SkinDialog>();
    if (!d || d->LoadSkin((Skins() + "/" + skin).c_str(), 0) == 0) return nullptr;
    d->SetOwnerDialog(owner);
    d->SetEventSink(1, events);
    return d;
  }

  SkinDialog* dialog = nullptr;
  RecordingSink sink;
};

// With the message box skin, owned by the main dialog, to show modal over it.
class SkinEventsBoxTest : public SkinEventsTest {
 protected:
  void SetUp() override {
    SkinEventsTest::SetUp();
    if (HasFatalFailure()) return;
    box = OwnedDialog("box.xml", dialog, &boxSink);
    ASSERT_NE(box, nullptr);
  }
  void TearDown() override {
    if (box) box->Release(0);
    SkinEventsTest::TearDown();
  }

  RecordingSink boxSink;
  SkinDialog* box = nullptr;
};

}  // namespace

TEST_F(SkinEventsTest, scripted_click_gives_notify_click_with_the_buttons_id) {
  RunScript("wait-visible Button_ok 2000\nclick Button_ok\n");
  ASSERT_TRUE(WaitEvents(1));
  EXPECT_EQ(sink.events[0].sender, Id("Button_ok"));
  EXPECT_EQ(sink.events[0].code, NotifyClick);
  EXPECT_EQ(sink.events[0].message, 0);
}

TEST_F(SkinEventsTest, scripted_click_by_path_reaches_the_nested_button) {
  RunScript("click Dialog_Test\\Container_dx\\server2\\Button\n");
  ASSERT_TRUE(WaitEvents(1));
  EXPECT_EQ(sink.events[0].sender,
            dialog->FindControlByPath("Dialog_Test\\Container_dx\\server2\\Button", 0));
  char path[1024] = {0};
  EXPECT_NE(dialog->GetControlPath(sink.events[0].sender, path, 1023), 0);
  EXPECT_STREQ(path, "Dialog_Test\\Container_dx\\server2\\Button");
}

TEST_F(SkinEventsTest, press_on_one_button_and_release_on_another_is_no_click) {
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

TEST_F(SkinEventsTest, hidden_button_takes_no_click) {
  auto* host = Impl(dialog);
  Node* hidden = host->NodeByName("Dialog_Test\\Container_dx\\server1\\Button");
  ASSERT_FALSE(hidden->visible);
  host->OnMouseDown(hidden->abs.x + 2, hidden->abs.y + 2);
  host->OnMouseUp(hidden->abs.x + 2, hidden->abs.y + 2);
  EXPECT_FALSE(WaitEvents(1, 300));
}

TEST_F(SkinEventsTest, scripted_close_sends_window_message_16_from_the_dialog) {
  RunScript("close\n");
  ASSERT_TRUE(WaitEvents(1));
  EXPECT_EQ(sink.events[0].message, WindowMessageClose);
  EXPECT_EQ(sink.events[0].sender, 1);
  EXPECT_NE(sink.events[0].code, NotifyClick);
}

TEST_F(SkinEventsTest, window_manager_close_and_alt_f4_send_the_close_message) {
  TestWindow window = WindowOf("skin-test-main");
  ASSERT_TRUE(window);
  PushClose(window);
  PushKey(window, TestKey::AltF4);
  ASSERT_TRUE(WaitEvents(2));
  EXPECT_EQ(sink.events[0].message, WindowMessageClose);
  EXPECT_EQ(sink.events[1].message, WindowMessageClose);
}

TEST_F(SkinEventsTest, enter_clicks_the_default_button_and_escape_the_cancel_button) {
  TestWindow window = WindowOf("skin-test-main");
  ASSERT_TRUE(window);
  PushKey(window, TestKey::Enter);
  PushKey(window, TestKey::Escape);
  ASSERT_TRUE(WaitEvents(2));
  EXPECT_EQ(sink.events[0].sender, Id("Button_ok"));
  EXPECT_EQ(sink.events[0].code, NotifyClick);
  EXPECT_EQ(sink.events[1].sender, Id("Button_close"));
  EXPECT_EQ(sink.events[1].code, NotifyClick);
}

// F5 clicks its button wherever the focus is, and only while that button is shown.
TEST_F(SkinEventsTest, f5_clicks_the_button_it_is_the_shortcut_of) {
  TestWindow window = WindowOf("skin-test-main");
  ASSERT_TRUE(window);
  PushKey(window, TestKey::Tab);  // the focus elsewhere
  PushKey(window, TestKey::F5);
  ASSERT_TRUE(WaitEvents(1));
  EXPECT_EQ(sink.events[0].sender, Id("Button_other"));
  dialog->GetControl(Id("Button_other"))->Show(0);
  PushKey(window, TestKey::F5);
  PushKey(window, TestKey::Escape);
  ASSERT_TRUE(WaitEvents(2));
  EXPECT_EQ(sink.events[1].sender, Id("Button_close")) << "a hidden shortcut button took F5";
}

TEST_F(SkinEventsTest, tab_moves_the_focus_and_enter_still_clicks_the_default_button) {
  TestWindow window = WindowOf("skin-test-main");
  ASSERT_TRUE(window);
  PushKey(window, TestKey::Tab);  // Button_close
  PushKey(window, TestKey::Tab);  // server2's button (server1's is hidden)
  PushKey(window, TestKey::Enter);
  PushKey(window, TestKey::ShiftTab);  // back to Button_close
  PushKey(window, TestKey::Space);
  ASSERT_TRUE(WaitEvents(2));
  EXPECT_EQ(sink.events[0].sender, Id("Button_ok"));
  EXPECT_EQ(sink.events[1].sender, Id("Button_close"));
}

TEST_F(SkinEventsTest, typed_text_lands_in_the_edit_box_as_gbk) {
  // 大区 typed as UTF-8 keystrokes, then a backspace removes one whole character.
  RunScript("type Edit_select a\xE5\xA4\xA7\xE5\x8C\xBA\n");
  auto* edit = dynamic_cast<EditControl*>(dialog->GetControl(Id("Edit_select")));
  ASSERT_TRUE(RunLoopUntil([&] { return strlen(edit->GetText()) == 5; }));
  EXPECT_STREQ(edit->GetText(), "a\xB4\xF3\xC7\xF8");
  TestWindow window = WindowOf("skin-test-main");
  ASSERT_TRUE(window);
  PushKey(window, TestKey::Backspace);
  ASSERT_TRUE(RunLoopUntil([&] { return strlen(edit->GetText()) == 3; }));
  EXPECT_STREQ(edit->GetText(), "a\xB4\xF3");
  PushText(window, "z");
  ASSERT_TRUE(RunLoopUntil([&] { return strlen(edit->GetText()) == 4; }));
  EXPECT_STREQ(edit->GetText(), "a\xB4\xF3z");
  // A Chinese character from the keyboard (an input method) arrives the same way.
  PushText(window, "\xE5\x8C\xBA");  // 区
  ASSERT_TRUE(RunLoopUntil([&] { return strlen(edit->GetText()) == 6; }));
  EXPECT_STREQ(edit->GetText(), "a\xB4\xF3z\xC7\xF8");
}

TEST_F(SkinEventsBoxTest, modal_box_inside_modal_box_ends_inner_first_and_blocks_the_others) {
  RecordingSink innerSink;
  SkinDialog* inner = OwnedDialog("inner.xml", box, &innerSink);
  ASSERT_NE(inner, nullptr);
  std::vector<std::string> order;
  int boxResult = -1, innerResult = -1;
  bool mainBlocked = false, boxBlocked = false;
  bool mainEnabled = true, boxEnabled = true;  // as the window system sees them
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
#ifdef _WIN32
    mainEnabled = IsWindowEnabled(WindowOf("skin-test-main")) != FALSE;
    boxEnabled = IsWindowEnabled(WindowOf("skin-test-box")) != FALSE;
#endif
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
#ifdef _WIN32
  // Each owner is disabled under its box and takes the focus back when the box closes.
  EXPECT_FALSE(mainEnabled);
  EXPECT_FALSE(boxEnabled);
  HWND main = WindowOf("skin-test-main");
  EXPECT_TRUE(IsWindowEnabled(main));
  EXPECT_EQ(GetFocus(), main);
#else
  (void)mainEnabled;
  (void)boxEnabled;
#endif
  inner->Release(0);
}

TEST_F(SkinEventsBoxTest, quit_inside_a_modal_loop_ends_it_and_reaches_the_outer_loop) {
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
}

TEST_F(SkinEventsBoxTest, close_of_a_modal_box_goes_to_the_box_not_to_the_main_window) {
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
}

TEST_F(SkinEventsTest, exceptions_in_the_sink_do_not_escape_into_the_loop) {
  sink.then = [](const Recorded&) { throw std::runtime_error("handler failed"); };
  RunScript("click Button_ok\nclick Button_other\n");
  EXPECT_TRUE(WaitEvents(2));
}

TEST_F(SkinEventsTest, dump_lists_every_control_and_screenshot_writes_a_png) {
  TempDir dir;
  std::string dump = dir.File("dump.txt"), shot = dir.File("shot.png");
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
  EXPECT_NE(text.find("\ttooltip=\xE5\x86\x8D\xE8\xAF\x95\n"), std::string::npos) << "the skin's tooltip, UTF-8";
  std::ifstream png(shot, std::ios::binary);
  char magic[8] = {0};
  png.read(magic, 8);
  EXPECT_EQ(std::string(magic + 1, 3), "PNG");
}

TEST_F(SkinEventsTest, stamp_records_the_first_and_latest_present_on_the_steady_clock) {
  TempDir dir;
  const std::string one = dir.File("one"), two = dir.File("two");
  const long long before = bench::SteadyMicros();
  RunScript("wait-visible Button_ok\nstamp " + one + "\nclick Button_ok\n");
  ASSERT_TRUE(WaitEvents(1));
  // A new caption is drawn, so the second stamp has a later present and the same first.
  dynamic_cast<StaticControl*>(dialog->GetControl(Id("Static_text")))->SetText("changed");
  RunScript("sleep 30\nstamp " + two + "\nclick Button_ok\n");
  ASSERT_TRUE(WaitEvents(2));
  const long long after = bench::SteadyMicros();
  auto a = bench::ReadStamp(one), b = bench::ReadStamp(two);
  for (const char* key : {"first_present_us", "last_present_us", "presents", "now_us"}) {
    ASSERT_EQ(a.count(key), 1u) << key;
    ASSERT_EQ(b.count(key), 1u) << key;
  }
  EXPECT_GE(a["presents"], 1);
  // The start-up timeline: its phases in the order a dialog passes them, the first present last.
  const char* phases[] = {"phase.skin_parsed_us", "phase.skin_loaded_us", "phase.window_shown_us",
                          "phase.first_render_us", "phase.first_present_us"};
  for (size_t i = 1; i < sizeof phases / sizeof *phases; ++i)
    EXPECT_LE(a.at(phases[i - 1]), a.at(phases[i])) << phases[i];
  EXPECT_GE(a["phase.first_present_us"], a["first_present_us"]);
  EXPECT_EQ(b["phase.first_present_us"], a["phase.first_present_us"]) << "only the first is kept";
  EXPECT_LE(a["first_present_us"], a["last_present_us"]);
  EXPECT_LE(a["last_present_us"], a["now_us"]);
  EXPECT_GE(a["now_us"], before);
  EXPECT_EQ(b["first_present_us"], a["first_present_us"]);
  EXPECT_GT(b["presents"], a["presents"]);
  EXPECT_GT(b["last_present_us"], a["now_us"]) << "the changed caption was presented after the first stamp";
  EXPECT_LE(b["now_us"], after);
  EXPECT_FALSE(std::ifstream(one + ".partial").good());
}

TEST_F(SkinEventsTest, sleep_holds_the_next_command_for_its_time) {
  const auto start = std::chrono::steady_clock::now();
  RunScript("sleep 150\nclick Button_ok\n");
  ASSERT_TRUE(WaitEvents(1));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
}

TEST_F(SkinEventsTest, script_failures_end_the_program_with_a_clear_line) {
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
          // As the program's own loop: the quit's code is the exit code.
          int code = 0;
          RunScript(script);
          RunLoopUntil([] { return false; }, 3000, &code);
          _exit(code);
        },
        ::testing::ExitedWithCode(3), rows[i].message)
        << "row " << i;
  }
}

TEST_F(SkinEventsTest, program_ending_before_the_script_is_done_fails) {
  EXPECT_EXIT(
      {
        RunScript("click Button_ok\nwait-visible Button_none 60000\n");
        RunLoopUntil([&] { return !sink.events.empty(); }, 3000);
        exit(0);
      },
      ::testing::ExitedWithCode(3), "automation: line 2: the program ended before this command was done");
}

#ifdef _WIN32
// What only the win32 backend does itself: mouse messages with capture, the caption as the
// system's drag area, and the pixels the window shows.

TEST_F(SkinEventsTest, mouse_messages_click_a_button_and_a_release_outside_is_no_click) {
  HWND window = WindowOf("skin-test-main");
  ASSERT_TRUE(window);
  Node* ok = Impl(dialog)->NodeByName("Button_ok");
  const int x = ok->abs.x + 5, y = ok->abs.y + 5;
  PostMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  // Captured: the release reaches the window with coordinates outside it.
  PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(-20, y));
  EXPECT_FALSE(WaitEvents(1, 300));
  PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x + 1, y + 1));
  ASSERT_TRUE(WaitEvents(1));
  EXPECT_EQ(sink.events[0].sender, Id("Button_ok"));
  EXPECT_EQ(sink.events[0].code, NotifyClick);
  EXPECT_EQ(GetCapture(), nullptr) << "the capture ends with the release";
}

TEST_F(SkinEventsTest, caption_outside_its_buttons_is_where_the_system_drags_the_window) {
  HWND window = WindowOf("skin-test-main");
  ASSERT_TRUE(window);
  struct Row {
    int x, y;
    LRESULT hit;
  } rows[] = {{5, 5, HTCAPTION}, {380, 10, HTCLIENT}, {5, 100, HTCLIENT}};
  for (size_t i = 0; i < sizeof rows / sizeof *rows; ++i) {
    POINT p = {rows[i].x, rows[i].y};
    ClientToScreen(window, &p);
    EXPECT_EQ(SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y)), rows[i].hit) << "row " << i;
  }
}

TEST_F(SkinEventsTest, the_window_shows_the_presented_canvas_and_then_only_what_changed) {
  HWND window = WindowOf("skin-test-main");
  ASSERT_TRUE(window);
  Node* ok = Impl(dialog)->NodeByName("Button_ok");
  Node* other = Impl(dialog)->NodeByName("Button_other");
  HDC dc = GetDC(window);
  ASSERT_TRUE(dc);
  auto shown = [&](const Node* n) { return GetPixel(dc, n->abs.x + 3, n->abs.y + 3); };
  const COLORREF green = RGB(0, 255, 0), red = RGB(255, 0, 0);
  RunLoopUntil([&] { return shown(ok) == green; }, 2000);
  if (shown(ok) == CLR_INVALID) {
    ReleaseDC(window, dc);
    GTEST_SKIP() << "Wine: GetPixel cannot read this window's pixels back here";
  }
  EXPECT_EQ(shown(ok), green);
  EXPECT_EQ(shown(other), green);
  // A change to one button presents only its rectangle, which lands where it belongs.
  SetNamed(dialog, other->id, "Background", "ONEIMAGE:red.png;Tile", true);
  EXPECT_TRUE(RunLoopUntil([&] { return shown(other) == red; }, 2000)) << std::hex << shown(other);
  EXPECT_EQ(shown(ok), green);
  EXPECT_EQ(GetPixel(dc, 5, 290), RGB(0, 0, 0)) << "the background below stays";
  ReleaseDC(window, dc);
}
#endif
