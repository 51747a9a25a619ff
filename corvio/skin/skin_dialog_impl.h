// The SkinDialog component: one skin, its window, its control objects and the events it
// sends to the program's sink.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "components/interfaces.h"
#include "corvio/runtime/ui_dispatcher.h"
#include "corvio/skin/backend.h"
#include "corvio/skin/renderer.h"
#include "corvio/skin/skin_loader.h"
#include "platform/win32.h"

namespace corvio {
namespace skin {

class SkinDialogImpl;
class PageLoad;

// Owns a control object whatever its interface.
class ControlHolder {
 public:
  virtual ~ControlHolder() = default;
  virtual Control* AsControl() = 0;
};

// What a control event carries; GetParam(1) is the sender's id.
class EventImpl final : public UiEvent {
 public:
  int GetParam(int index, int reserved) override;
  int GetStringParam(int key, char* buffer, int size, int reserved) override;
  int code = 0;
  int message = 0;
  int sender = 0;
  std::string url;
};

class SkinDialogImpl final : public SkinDialog, public WindowHost {
 public:
  SkinDialogImpl();
  // Component
  int Release(int reserved) override;
  int Initialize(int reserved) override;
  // SkinDialog
  int LoadSkin(const char* skinFile, int reserved) override;
  int ApplyProperties(int controlId, PropertyBag* bag) override;
  int GetControlPath(int controlId, char* buffer, int size) override;
  int FindControl(const char* name) override;
  int FindControlByPath(const char* path, int reserved) override;
  Control* GetControl(int controlId) override;
  WindowObject* GetMainWindow() override;
  int SetEventSink(int enable, UiEventSink* sink) override;
  int QueryProperties(PropertyBag* bag, int key) override;
  int SetOwnerDialog(SkinDialog* owner) override;
  // WindowHost
  void OnMouseMove(int x, int y) override;
  void OnMouseDown(int x, int y) override;
  void OnMouseUp(int x, int y) override;
  void OnMouseLeave() override;
  void OnMouseWheel(int x, int y, int notches) override;
  void OnKey(Key key) override;
  void OnTextInput(const char* utf8) override;
  void OnCloseRequest() override;
  void OnExposed() override;
  bool IsDragArea(int x, int y) override;
  void OnScaleChanged(float scale) override;

  // Used by the control objects.
  int ApplyBag(int controlId, PropertyBag* bag);
  int ShowControl(int controlId, bool show);
  int SetControlText(int controlId, const char* gbk);
  const char* ControlText(int controlId);
  int RunModal();
  int EndModal(int result);

  // Used by the loop integration and automation.
  static const std::vector<SkinDialogImpl*>& LiveDialogs();
  static SkinDialogImpl* TopDialog();  // the innermost modal dialog, else the newest shown
  bool DrawIfDirty();  // true when it presented something
  bool WindowShown() const { return window_ != nullptr && windowShown_; }
  bool AcceptsInput() const;
  const ControlTree& Tree() const { return skin_.tree; }
  Node* NodeByName(const std::string& nameOrPath) const { return skin_.tree.ByName(nameOrPath); }
  const Canvas& RenderAll();
  void FocusNode(Node* node);
  std::string Name() const;

  // Messages the window procedure handles.
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  ~SkinDialogImpl();
  void Unload();
  bool OpenWindow();
  void Invalidate(const Rect& r);
  void InvalidateNode(const Node* node);
  // Starts decoding what the next paint of node shows (the dialog: its background only).
  void DecodeAhead(const Node* node, bool withOwn);
  Node* HitTest(int x, int y) const;
  void SetTooltip(const Node* node);  // null: none
  void SetLinkTip(Node* pane, int x, int y);  // the pane's link under the pointer, if any
  bool PaneMouseMove(Node* hit, int x, int y);
  void Select(Node* button, bool selected);
  std::vector<Node*> FocusOrder() const;
  // Work for this dialog's message loop, from any thread, run under a BusyScope; what is
  // still queued when the dialog unloads is dropped.
  UiDispatcher::PostFn Poster();
  void PostNotify(int code, int message, int sender);
  void Deliver(EventImpl* event);
  void Activate(Node* button);
  void StartBrowsers();
  void LaunchBrowsers();
  void OnBrowserProgress();
  bool ApplyNamed(Node* node, const std::string& name, const std::string& value);
  // The theme whose background this dialog shows, else the one its owner's shows.
  void ChooseTheme();
  void UseTheme(Theme* theme);
  std::shared_ptr<Image> ThemedImage(const std::string& file, std::string* error);

  LoadedSkin skin_;
  bool loaded_ = false;
  std::string skinFile_;
  std::vector<std::unique_ptr<ControlHolder>> objects_;  // index id - 1
  UiEventSink* sink_ = nullptr;
  SkinDialogImpl* owner_ = nullptr;
  Theme* theme_ = nullptr;  // one of skin_.themes, or none
  HWND hwnd_ = nullptr;
  BackendWindow* window_ = nullptr;
  bool windowShown_ = false;
  Canvas canvas_;
  Rect dirty_;
  InteractionState state_;
  Node* pressed_ = nullptr;
  struct ModalFrame {
    bool ended = false;
    int result = 0;
  };
  std::vector<ModalFrame*> modalFrames_;
  int busy_ = 0;
  bool released_ = false;
  struct PaneLoad {
    int nodeId;
    std::shared_ptr<PageLoad> load;
  };
  std::vector<PaneLoad> loads_;
  bool browsersStarted_ = false;
  std::unique_ptr<UiDispatcher> posts_;  // this dialog's work for its message loop
  friend struct BusyScope;
};

}  // namespace skin
}  // namespace corvio
