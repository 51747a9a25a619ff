// A dialog's theme: chosen by the background the dialog (or its owner) shows, it gives its
// colours to named controls and its files to every image drawn, and gives both back when
// another background comes.
#include "corvio/report.h"
#include "corvio/skin/skin_dialog_impl.h"

namespace corvio {
namespace skin {

namespace {

// Owners are set by the program; a loop of them must not hang the lookup.
constexpr int kMaxOwnerDepth = 8;

}  // namespace

void SkinDialogImpl::ChooseTheme() {
  Theme* chosen = nullptr;
  int depth = 0;
  for (const SkinDialogImpl* d = this; d && !chosen && depth < kMaxOwnerDepth; d = d->owner_, ++depth) {
    if (!d->loaded_ || !d->skin_.tree.root) continue;
    const std::string& background = d->skin_.tree.root->images[kNormalImage].ref.file;
    for (Theme& theme : skin_.themes)
      if (!background.empty() && SameImageName(theme.background, background)) {
        chosen = &theme;
        break;
      }
  }
  if (chosen != theme_) UseTheme(chosen);
}

void SkinDialogImpl::UseTheme(Theme* theme) {
  const bool imagesChange = (theme_ && !theme_->imageSuffix.empty()) ||
                            (theme && !theme->imageSuffix.empty());
  if (theme_)
    for (const ThemeColor& color : theme_->colors) *ThemeColorField(color.node, color.attr) = color.base;
  theme_ = theme;
  if (theme_)
    for (const ThemeColor& color : theme_->colors) *ThemeColorField(color.node, color.attr) = color.value;
  if (imagesChange) {
    // Names stay as written (the program and a dump see them); only the pixels change.
    for (Node* node : skin_.tree.byId)
      for (StateImage& image : node->images) {
        if (image.ref.file.empty()) continue;
        std::string error;
        std::shared_ptr<Image> pixels = ThemedImage(image.ref.file, &error);
        if (pixels) image.pixels = pixels;
        else Report("", skinFile_ + ": " + error);
      }
  }
  if (skin_.tree.root) InvalidateNode(skin_.tree.root.get());
}

std::shared_ptr<Image> SkinDialogImpl::ThemedImage(const std::string& file, std::string* error) {
  return skin_.resources->ImageFor(ThemedImageName(theme_, skin_.tree.folder, file), error);
}

}  // namespace skin
}  // namespace corvio
