// Control objects forward to their dialog, which owns the state; every call is guarded
// so that nothing unwinds into the program.
#include "corvio/skin/control_objects.h"

#include "corvio/report.h"

namespace corvio {
namespace skin {

namespace {

template <class Interface>
class ControlObject : public Interface, public ControlHolder {
 public:
  ControlObject(SkinDialogImpl* dialog, int id) : dialog_(dialog), id_(id) {}
  Control* AsControl() override { return this; }
  int SetProperties(PropertyBag* bag) override {
    return Guarded([&] { return dialog_->ApplyBag(id_, bag); }, 0);
  }
  int Show(int show) override {
    return Guarded([&] { return dialog_->ShowControl(id_, show != 0); }, 0);
  }

 protected:
  SkinDialogImpl* dialog_;
  int id_;
};

class PlainObject final : public ControlObject<Control> {
 public:
  using ControlObject::ControlObject;
};

class StaticObject final : public ControlObject<StaticControl> {
 public:
  using ControlObject::ControlObject;
  int SetText(const char* text) override {
    return Guarded([&] { return dialog_->SetControlText(id_, text); }, 0);
  }
};

class EditObject final : public ControlObject<EditControl> {
 public:
  using ControlObject::ControlObject;
  const char* GetText() override {
    return Guarded([&] { return dialog_->ControlText(id_); }, "");
  }
};

class WindowObjectImpl final : public ControlObject<WindowObject> {
 public:
  using ControlObject::ControlObject;
  int RunModal() override {
    return Guarded([&] { return dialog_->RunModal(); }, 0);
  }
  int EndModal(int result) override {
    return Guarded([&] { return dialog_->EndModal(result); }, 0);
  }
};

}  // namespace

std::unique_ptr<ControlHolder> MakeControlObject(SkinDialogImpl* dialog, Kind kind, int id) {
  switch (kind) {
    case Kind::Dialog:
      return std::make_unique<WindowObjectImpl>(dialog, id);
    case Kind::Static:
    case Kind::Button:
      return std::make_unique<StaticObject>(dialog, id);
    case Kind::Edit:
      return std::make_unique<EditObject>(dialog, id);
    default:
      return std::make_unique<PlainObject>(dialog, id);
  }
}

}  // namespace skin
}  // namespace corvio
