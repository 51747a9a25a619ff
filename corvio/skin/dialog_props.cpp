// Property bags applied to controls: the named properties the program writes and the
// numbered text key.
#include "corvio/props/property_bag_impl.h"
#include "corvio/report.h"
#include "corvio/skin/skin_dialog_impl.h"
#include "corvio/skin/text_codec.h"

namespace corvio {
namespace skin {

int SkinDialogImpl::ApplyProperties(int controlId, PropertyBag* bag) {
  return Guarded([&] { return ApplyBag(controlId, bag); }, 0);
}

bool SkinDialogImpl::ApplyNamed(Node* node, const std::string& name, const std::string& value) {
  const char* kind = KindName(node->kind);
  auto report = [&](const std::string& why) {
    Report("", skinFile_ + ": " + kind + " \"" + node->name + "\": " + why);
    return false;
  };
  if (name == "Visible") {
    bool visible;
    if (!ParseBool(value, &visible)) return report("bad value \"" + value + "\" for Visible");
    return ShowControl(node->id, visible) != 0;
  }
  if (name == "Selected") {
    bool selected;
    if (node->kind != Kind::Button) return report("takes no Selected");
    if (!ParseBool(value, &selected)) return report("bad value \"" + value + "\" for Selected");
    Select(node, selected);
    return true;
  }
  if (name == "Caption") {
    if (node->kind == Kind::Dialog) {
      skin_.tree.dialog.title = value;
      const BackendOps* ops = ActiveBackend();
      if (window_ && ops && ops->set_title) ops->set_title(window_, GbkToUtf8(value).c_str());
      return true;
    }
    if (node->kind != Kind::Button && node->kind != Kind::Static && node->kind != Kind::Edit)
      return report("takes no Caption");
    return SetControlText(node->id, value.c_str()) != 0;
  }
  if (name == "Tooltip") {
    if (node->kind != Kind::Button) return report("takes no Tooltip");
    // A tip on screen is redrawn where it was and where the new text puts it.
    const bool showing = state_.tooltip == node;
    if (showing) Invalidate(TooltipRect(*node, canvas_.Width(), canvas_.Height()));
    node->tooltip = value.size() > 1023 ? value.substr(0, 1023) : value;
    if (showing) Invalidate(TooltipRect(*node, canvas_.Width(), canvas_.Height()));
    return true;
  }
  int slot = name == "Background" ? kNormalImage
             : name == "BackgroundHover" ? kHoverImage
             : name == "BackgroundPressed" ? kPressedImage : -1;
  if (slot < 0) return report("unknown property \"" + name + "\"");
  if (slot != kNormalImage && node->kind != Kind::Button) return report("takes no " + name);
  if (node->kind == Kind::Browser) return report("takes no " + name);
  ImageRef ref;
  if (!ParseImageRef(value, &ref)) return report("bad image value \"" + value + "\"");
  StateImage image;
  image.ref = ref;
  if (!ref.file.empty()) {
    std::string error;
    image.pixels = ThemedImage(ref.file, &error);
    if (!image.pixels) return report(error);
  }
  node->images[slot] = image;
  // A shown control's new picture is decoded from now on, ahead of the paint that needs it.
  if (slot == kNormalImage && image.pixels && ControlTree::Shown(node))
    skin_.resources->DecodeAhead({image.pixels});
  InvalidateNode(node);
  if (node->kind == Kind::Dialog) ChooseTheme();  // the background brings its theme
  return true;
}

void SkinDialogImpl::Select(Node* button, bool selected) {
  // One chosen button a group: choosing it clears the others of its group.
  if (selected && !button->group.empty())
    for (Node* other : skin_.tree.byId)
      if (other != button && other->selected && other->kind == Kind::Button &&
          other->group == button->group) {
        other->selected = false;
        InvalidateNode(other);
      }
  if (button->selected != selected) {
    button->selected = selected;
    InvalidateNode(button);
  }
}

int SkinDialogImpl::ApplyBag(int controlId, PropertyBag* bag) {
  Node* node = skin_.tree.ById(controlId);
  PropertyBagImpl* impl = AsBagImpl(bag);
  if (!node || !impl) return 0;
  bool ok = true;
  for (const NamedProperty& p : impl->Named()) ok = ApplyNamed(node, p.name, p.value) && ok;
  if (const std::string* text = impl->StringFor(PropText)) {
    if (node->kind == Kind::Button || node->kind == Kind::Static || node->kind == Kind::Edit) {
      SetControlText(node->id, text->c_str());
    } else {
      Report("", skinFile_ + ": " + KindName(node->kind) + " \"" + node->name + "\": takes no text");
      ok = false;
    }
  }
  return ok ? 1 : 0;
}

}  // namespace skin
}  // namespace corvio
