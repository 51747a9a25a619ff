// SkinDialog (component 186): loading, lookups, the window and its modal loop. Every
// operation catches whatever is thrown, so nothing unwinds into the program.
#include "corvio/skin/skin_dialog_impl.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "corvio/props/property_bag_impl.h"
#include "corvio/registry.h"
#include "corvio/report.h"
#include "corvio/runtime/first_paint.h"
#include "corvio/download/http_fetcher.h"
#include "corvio/guard/activation_message.h"
#include "corvio/skin/browser/page_load.h"
#include "corvio/skin/browser/page_view.h"
#include "corvio/skin/control_objects.h"
#include "corvio/skin/text_codec.h"
#include "corvio/skin/timeline.h"

namespace corvio {
namespace skin {

namespace {

std::vector<SkinDialogImpl*>& Live() {
  static std::vector<SkinDialogImpl*> live;
  return live;
}

std::vector<SkinDialogImpl*>& ModalStack() {
  static std::vector<SkinDialogImpl*> stack;
  return stack;
}

const char kWindowClass[] = "CorvioSkinDialog";

LRESULT CALLBACK DialogWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* dialog = reinterpret_cast<SkinDialogImpl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!dialog) return DefWindowProcA(window, message, wParam, lParam);
  return Guarded([&] { return dialog->HandleMessage(message, wParam, lParam); }, 0);
}

// What the next paint of node shows of its images: the normal state of it (when withOwn)
// and of its shown children.
void CollectShownImages(const Node* node, bool withOwn, std::vector<std::shared_ptr<Image>>* out) {
  if (!node->visible) return;
  if (withOwn && node->images[kNormalImage].pixels) out->push_back(node->images[kNormalImage].pixels);
  for (const auto& child : node->children) CollectShownImages(child.get(), true, out);
}

// A path as the program gives it: GBK, backslash separated.
std::string Text(const char* s) { return s ? std::string(s) : std::string(); }

}  // namespace

// Counts nested calls, so a dialog released from inside its own callback dies only
// once the outermost call is done.
struct BusyScope {
  explicit BusyScope(SkinDialogImpl* d) : dialog(d) { ++dialog->busy_; }
  ~BusyScope() {
    if (--dialog->busy_ == 0 && dialog->released_) delete dialog;
  }
  SkinDialogImpl* dialog;
};

int EventImpl::GetParam(int index, int) {
  switch (index) {
    case EventParamCode:
      return code;
    case EventParamMessage:
      return message;
    case 1:
      return sender;
    default:
      return 0;
  }
}

int EventImpl::GetStringParam(int key, char* buffer, int size, int) {
  if (!buffer || size <= 0) return 0;
  buffer[0] = '\0';
  if (key != BrowserUrlKey || url.empty()) return 0;
  size_t n = std::min(url.size(), static_cast<size_t>(size - 1));
  memcpy(buffer, url.data(), n);
  buffer[n] = '\0';
  return 1;
}

SkinDialogImpl::SkinDialogImpl() { Live().push_back(this); }

SkinDialogImpl::~SkinDialogImpl() {
  Unload();
  auto& live = Live();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
  for (SkinDialogImpl* other : live)
    if (other->owner_ == this) other->owner_ = nullptr;
}

const std::vector<SkinDialogImpl*>& SkinDialogImpl::LiveDialogs() { return Live(); }

SkinDialogImpl* SkinDialogImpl::TopDialog() {
  if (!ModalStack().empty()) return ModalStack().back();
  for (auto it = Live().rbegin(); it != Live().rend(); ++it)
    if ((*it)->WindowShown()) return *it;
  return nullptr;
}

bool SkinDialogImpl::AcceptsInput() const {
  return ModalStack().empty() || ModalStack().back() == this;
}

std::string SkinDialogImpl::Name() const {
  return skin_.tree.root ? skin_.tree.root->name : std::string();
}

int SkinDialogImpl::Release(int) {
  // Released while one of its own calls runs (a handler closing the dialog): the last
  // call out deletes it.
  if (busy_ > 0) {
    released_ = true;
    return 0;
  }
  Guarded([this] { delete this; });
  return 0;
}

int SkinDialogImpl::Initialize(int) { return 1; }

void SkinDialogImpl::Unload() {
  for (auto& pane : loads_) pane.load->Cancel();
  loads_.clear();
  browsersStarted_ = false;
  const BackendOps* ops = ActiveBackend();
  if (window_ && ops) ops->destroy_window(window_);
  window_ = nullptr;
  windowShown_ = false;
  if (hwnd_) {
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
    hwnd_ = nullptr;
  }
  objects_.clear();
  posts_.reset();  // events and page progress still queued are dropped with it
  state_ = InteractionState();
  pressed_ = nullptr;
  theme_ = nullptr;
  skin_ = LoadedSkin();
  loaded_ = false;
}

int SkinDialogImpl::LoadSkin(const char* skinFile, int) {
  const int loaded = Guarded([&] {
    BusyScope busy(this);
    Unload();
    std::string name = Text(skinFile);
    for (char& c : name)
      if (c == '\\') c = '/';
    std::string path = name.empty() ? name : ResolveSkinFile(".", name);
    if (path.compare(0, 2, "./") == 0 && name.compare(0, 2, "./") != 0) path = path.substr(2);
    std::string error;
    if (name.empty()) {
      Report("", "(no file):0: no skin file name given");
      return 0;
    }
    if (!LoadSkinFile(path, &skin_, &error)) {
      Report("", error);
      return 0;
    }
    MarkPhase("skin_loaded");
    const BackendOps* ops = ActiveBackend();
    if (!ops || !ops->init(&error)) {
      Report("", path + ":0: cannot open windows: " + (ops ? error : "no window backend"));
      skin_ = LoadedSkin();
      return 0;
    }
    MarkPhase("backend_ready");
    // Network work waits for the first present, or for the loop's first turn: asking for
    // attention makes sure that turn comes even when no window is shown.
    HoldUntilFirstPaint();
    ops->request_attention();
    posts_.reset(new UiDispatcher());
    if (!(hwnd_ = CreateHiddenWindow(kWindowClass, DialogWindowProc, this,
                                     skin_.tree.root->name.c_str(), skin_.tree.dialog.width,
                                     skin_.tree.dialog.height, nullptr))) {
      Report("", path + ":0: cannot create the dialog's window handle");
      posts_.reset();
      skin_ = LoadedSkin();
      return 0;
    }
    skinFile_ = path;
    for (Node* node : skin_.tree.byId) objects_.push_back(MakeControlObject(this, node->kind, node->id));
    // At one pixel per unit until the window tells its scale.
    canvas_.Resize(skin_.tree.dialog.width, skin_.tree.dialog.height);
    dirty_ = Rect{0, 0, canvas_.UnitsWide(), canvas_.UnitsHigh()};
    loaded_ = true;
    ChooseTheme();
    // The dialog's own background waits for the window: the program may replace it first.
    DecodeAhead(skin_.tree.root.get(), false);
    StartBrowsers();
    return 1;
  }, -1);
  if (loaded >= 0) return loaded;
  Guarded([&] { Report("", Text(skinFile) + ":0: the skin could not be loaded (out of memory)"); });
  return 0;
}

int SkinDialogImpl::GetControlPath(int controlId, char* buffer, int size) {
  return Guarded([&] {
    if (!buffer || size <= 0) return 0;
    buffer[0] = '\0';
    Node* node = skin_.tree.ById(controlId);
    if (!node) return 0;
    std::string path = ControlTree::PathOf(node);
    if (path.size() + 1 > static_cast<size_t>(size)) return 0;  // a cut path would name another control
    memcpy(buffer, path.c_str(), path.size() + 1);
    return 1;
  }, 0);
}

int SkinDialogImpl::FindControl(const char* name) {
  return Guarded([&] {
    Node* node = skin_.tree.ByName(Text(name));
    return node ? node->id : 0;
  }, 0);
}

int SkinDialogImpl::FindControlByPath(const char* path, int) {
  return Guarded([&] {
    Node* node = skin_.tree.ByPath(Text(path));
    return node ? node->id : 0;
  }, 0);
}

Control* SkinDialogImpl::GetControl(int controlId) {
  if (controlId <= 0 || controlId > static_cast<int>(objects_.size())) return nullptr;
  return objects_[controlId - 1]->AsControl();
}

WindowObject* SkinDialogImpl::GetMainWindow() {
  if (!loaded_ || objects_.empty()) return nullptr;
  return dynamic_cast<WindowObject*>(objects_[0]->AsControl());
}

int SkinDialogImpl::SetEventSink(int enable, UiEventSink* sink) {
  sink_ = enable ? sink : nullptr;
  return 1;
}

int SkinDialogImpl::QueryProperties(PropertyBag* bag, int key) {
  return Guarded([&] {
    PropertyBagImpl* impl = AsBagImpl(bag);
    if (!impl || key != PropWindowHandle || !hwnd_) return 0;
    impl->SetNumber(PropWindowHandle, static_cast<int>(reinterpret_cast<intptr_t>(hwnd_)));
    return 1;
  }, 0);
}

int SkinDialogImpl::SetOwnerDialog(SkinDialog* owner) {
  auto* impl = owner ? dynamic_cast<SkinDialogImpl*>(owner) : nullptr;
  owner_ = impl == this ? nullptr : impl;
  if (loaded_) Guarded([this] { ChooseTheme(); });
  return owner_ != nullptr || owner == nullptr;
}

int SkinDialogImpl::ShowControl(int controlId, bool show) {
  BusyScope busy(this);
  Node* node = skin_.tree.ById(controlId);
  if (!node) return 0;
  if (node->kind == Kind::Dialog) {
    node->visible = true;
    const BackendOps* ops = ActiveBackend();
    if (show) {
      if (!OpenWindow()) return 0;
      ops->show_window(window_, true);
      windowShown_ = true;
      MarkPhase("window_shown");
      Invalidate(node->abs);
    } else if (window_) {
      ops->show_window(window_, false);
      windowShown_ = false;
    }
    return 1;
  }
  if (node->visible != show) {
    node->visible = show;
    if (show && ControlTree::Shown(node)) DecodeAhead(node, true);
    if (!show && (state_.focus == node || state_.hover == node)) {
      SetTooltip(nullptr);
      state_ = InteractionState();
    }
    InvalidateNode(node);
  }
  return 1;
}

int SkinDialogImpl::SetControlText(int controlId, const char* gbk) {
  Node* node = skin_.tree.ById(controlId);
  if (!node) return 0;
  node->text = Text(gbk);
  if (node->text.size() > 1023) node->text.resize(1023);
  InvalidateNode(node);
  return 1;
}

const char* SkinDialogImpl::ControlText(int controlId) {
  Node* node = skin_.tree.ById(controlId);
  return node ? node->text.c_str() : "";
}

bool SkinDialogImpl::OpenWindow() {
  if (window_) return true;
  const BackendOps* ops = ActiveBackend();
  if (!ops || !loaded_) return false;
  WindowParams params;
  const DialogInfo& info = skin_.tree.dialog;
  params.titleUtf8 = GbkToUtf8(info.title.empty() ? skin_.tree.root->name : info.title);
  params.width = info.width;
  params.height = info.height;
  params.borderless = info.borderless;
  params.centered = !info.posGiven;
  params.x = info.pos.x;
  params.y = info.pos.y;
  int ox = 0, oy = 0;
  if (owner_ && owner_->window_ && ops->get_position &&
      ops->get_position(owner_->window_, &ox, &oy)) {
    // The offset in units, on the screen at the owner's scale.
    const DialogInfo& o = owner_->skin_.tree.dialog;
    const float scale = owner_->canvas_.Scale();
    params.centered = false;
    params.x = ox + static_cast<int>((o.width - info.width) * scale / 2);
    params.y = oy + static_cast<int>((o.height - info.height) * scale / 2);
  }
  std::string error;
  MarkPhase("window_asked");
  window_ = ops->create_window(this, params, &error);
  if (!window_) {
    Report("", skinFile_ + ": cannot open the window: " + error);
    return false;
  }
  MarkPhase("window_created");
  if (ops->scale_of && ops->scale_of(window_) != canvas_.Scale()) OnScaleChanged(ops->scale_of(window_));
  DecodeAhead(skin_.tree.root.get(), true);
  dirty_ = Rect{0, 0, canvas_.UnitsWide(), canvas_.UnitsHigh()};
  return true;
}

void SkinDialogImpl::DecodeAhead(const Node* node, bool withOwn) {
  if (!skin_.resources) return;
  std::vector<std::shared_ptr<Image>> images;
  if (withOwn && node->kind == Kind::Dialog) {
    if (node->images[kNormalImage].pixels) images.push_back(node->images[kNormalImage].pixels);
  } else {
    CollectShownImages(node, withOwn, &images);
  }
  // Above one pixel per unit the paint shows the skin's twice-as-large files instead.
  if (canvas_.Scale() > 1.0f)
    for (auto& image : images)
      if (image->Twice()) image = image->Twice();
  skin_.resources->DecodeAhead(std::move(images));
}

void SkinDialogImpl::Invalidate(const Rect& r) {
  Rect clipped = Intersect(r, Rect{0, 0, canvas_.UnitsWide(), canvas_.UnitsHigh()});
  if (clipped.Empty()) return;
  dirty_ = Union(dirty_, clipped);
  const BackendOps* ops = ActiveBackend();
  if (ops && window_) ops->request_attention();
}

void SkinDialogImpl::InvalidateNode(const Node* node) {
  if (node) Invalidate(node->abs);
}

bool SkinDialogImpl::DrawIfDirty() {
  if (!window_ || !windowShown_ || dirty_.Empty()) return false;
  Rect dirty = dirty_;
  dirty_ = Rect{};
  MarkPhase("render_started");
  RenderTree(skin_.tree, state_, dirty, &canvas_);
  MarkPhase("first_render");
  ActiveBackend()->present(window_, canvas_, canvas_.ToDevice(dirty));
  return true;
}

void SkinDialogImpl::OnScaleChanged(float scale) {
  if (scale <= 0 || scale == canvas_.Scale()) return;
  canvas_.Resize(skin_.tree.dialog.width, skin_.tree.dialog.height, scale);
  Invalidate(Rect{0, 0, canvas_.UnitsWide(), canvas_.UnitsHigh()});
}

const Canvas& SkinDialogImpl::RenderAll() {
  RenderTree(skin_.tree, state_, Rect{0, 0, canvas_.UnitsWide(), canvas_.UnitsHigh()}, &canvas_);
  return canvas_;
}

int SkinDialogImpl::RunModal() {
  BusyScope busy(this);
  if (!loaded_) return 0;
  if (std::find(ModalStack().begin(), ModalStack().end(), this) != ModalStack().end()) {
    Report("", skinFile_ + ": RunModal while its modal loop already runs");
    return 0;
  }
  if (!OpenWindow()) return 0;
  const BackendOps* ops = ActiveBackend();
  // The window it blocks: the owner given, else the one in front until now.
  SkinDialogImpl* blocked = owner_ ? owner_ : TopDialog();
  BackendWindow* blockedWindow = blocked && blocked != this ? blocked->window_ : nullptr;
  if (ops->set_modal_for && blockedWindow) ops->set_modal_for(window_, blockedWindow);
  ops->show_window(window_, true);
  if (ops->raise) ops->raise(window_);
  windowShown_ = true;
  Invalidate(Rect{0, 0, canvas_.UnitsWide(), canvas_.UnitsHigh()});
  ModalFrame frame;
  modalFrames_.push_back(&frame);
  ModalStack().push_back(this);
  // Input that was in progress in the owner must not finish there later.
  for (SkinDialogImpl* other : Live())
    if (other != this) {
      other->pressed_ = nullptr;
      other->state_.pressed = nullptr;
      other->state_.hover = nullptr;
      other->state_.tooltip = nullptr;
      other->Invalidate(Rect{0, 0, other->canvas_.UnitsWide(), other->canvas_.UnitsHigh()});
    }
  MSG msg;
  while (!frame.ended) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      // The program is quitting: the quit belongs to the outer loop.
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got < 0) break;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  modalFrames_.pop_back();
  auto& stack = ModalStack();
  stack.erase(std::remove(stack.begin(), stack.end(), this), stack.end());
  // The owner takes input again before the box goes, so that the focus returns to it.
  if (window_ && ops->set_modal_for && blockedWindow) ops->set_modal_for(window_, nullptr);
  if (window_) ops->show_window(window_, false);
  windowShown_ = false;
  state_ = InteractionState();
  pressed_ = nullptr;
  for (SkinDialogImpl* other : Live())
    if (other != this) other->Invalidate(Rect{0, 0, other->canvas_.UnitsWide(), other->canvas_.UnitsHigh()});
  return frame.result;
}

int SkinDialogImpl::EndModal(int result) {
  if (modalFrames_.empty()) return 0;
  ModalFrame* frame = modalFrames_.back();
  frame->ended = true;
  frame->result = result;
  Poster()([] {});  // the loop checks its frame after a message
  return 1;
}

UiDispatcher::PostFn SkinDialogImpl::Poster() {
  if (!posts_) return [](std::function<void()>) { return false; };
  const UiDispatcher::PostFn post = posts_->Poster();
  return [this, post](std::function<void()> work) {
    return post([this, work] {
      BusyScope busy(this);
      work();
    });
  };
}

void SkinDialogImpl::PostNotify(int code, int message, int sender) {
  EventImpl event;
  event.code = code;
  event.message = message;
  event.sender = sender;
  Poster()([this, event]() mutable { Deliver(&event); });
}

void SkinDialogImpl::Deliver(EventImpl* event) {
  if (!sink_) return;
  // The program's handler must not unwind through the message loop.
  Guarded([&] {
    if (sink_->IsSinkEnabled()) sink_->OnUiEvent(event->sender, event);
  });
}

LRESULT SkinDialogImpl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  BusyScope busy(this);
  switch (message) {
    case kMsgBringToFront: {
      // A later start of the program asks for this window. A hidden window stays hidden:
      // the program decides when it is shown.
      const BackendOps* ops = ActiveBackend();
      if (!ops || !ops->raise || !WindowShown()) return 0;
      ops->raise(window_);
      // A modal dialog open over this one must stay in front of it.
      SkinDialogImpl* modal = ModalStack().empty() ? nullptr : ModalStack().back();
      if (modal && modal != this && modal->WindowShown()) ops->raise(modal->window_);
      return 0;
    }
    case WM_CLOSE:
      OnCloseRequest();
      return 0;
    default:
      return DefWindowProcA(hwnd_, message, wParam, lParam);
  }
}

// The pages are asked for once the first picture is on the screen, with the pane's colours
// as they are then (the program picks the background, and so the theme, before it).
void SkinDialogImpl::StartBrowsers() {
  const UiDispatcher::PostFn post = Poster();
  AfterFirstPaint([this, post] { post([this] { LaunchBrowsers(); }); });
}

void SkinDialogImpl::LaunchBrowsers() {
  if (browsersStarted_) return;
  browsersStarted_ = true;
  for (Node* node : skin_.tree.byId) {
    if (node->kind != Kind::Browser || node->url.empty()) continue;
    auto load = std::make_shared<PageLoad>(node->url, node->font, node->textColor);
    loads_.push_back(PaneLoad{node->id, load});
    const UiDispatcher::PostFn post = Poster();
    PageLoad::Start(load, SystemFetcher(), [this, post] { post([this] { OnBrowserProgress(); }); });
  }
}

// A page read is laid out and drawn, then the program hears that the pane shows its URL;
// each image that arrives lays the page out again.
void SkinDialogImpl::OnBrowserProgress() {
  for (auto it = loads_.begin(); it != loads_.end();) {
    Node* node = skin_.tree.ById(it->nodeId);
    const PageLoad::Stage stage = it->load->CurrentStage();
    if (!node || stage == PageLoad::Stage::kFailed) {
      it = loads_.erase(it);
      continue;
    }
    if (stage == PageLoad::Stage::kRead) {
      const bool first = !node->page;
      if (first) node->page = std::make_shared<PageView>(it->load);
      if (node->page->NeedsLayout() && node->page->Layout(node->abs.w, node->abs.h)) {
        InvalidateNode(node);
        if (first) {
          node->browserText = node->page->Text();
          EventImpl event;
          event.code = NotifyBrowserUrl;
          event.sender = node->id;
          event.url = it->load->Url();
          Deliver(&event);
        }
      }
    }
    ++it;
  }
}

namespace {

Component* MakeSkinDialog() { return new SkinDialogImpl(); }

}  // namespace

CORVIO_REGISTER_COMPONENT(186, MakeSkinDialog);

}  // namespace skin
}  // namespace corvio
