// The skin description reader: strict about kinds, attributes and values, so that every
// mistake in a skin names itself with file and line.
#include "corvio/skin/skin_loader.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <pugixml.hpp>
#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "corvio/report.h"
#include "corvio/skin/text_codec.h"
#include "corvio/skin/timeline.h"

namespace corvio {
namespace skin {

namespace {

struct DefaultAttr {
  std::string name, value;
  int line;
};

struct Context {
  std::string file;
  std::vector<char> text;
  std::vector<size_t> lineEnds;  // offsets of the text's line feeds, for LineAt
  std::vector<DefaultAttr> defaults[7];
  LoadedSkin* out = nullptr;
  std::string error;
};

// Every element asks for its line: counting from the start each time made the load
// quadratic in the file's size.
int LineAt(const Context& ctx, ptrdiff_t offset) {
  if (offset < 0) return 0;
  const size_t at = std::min(static_cast<size_t>(offset), ctx.text.size());
  return 1 + static_cast<int>(std::lower_bound(ctx.lineEnds.begin(), ctx.lineEnds.end(), at) -
                              ctx.lineEnds.begin());
}

bool Fail(Context* ctx, int line, const std::string& reason) {
  ctx->error = ctx->file + ":" + std::to_string(line) + ": " + reason;
  return false;
}

// Kinds as bits, for the table below.
constexpr unsigned Bit(Kind k) { return 1u << static_cast<int>(k); }
constexpr unsigned kDialog = Bit(Kind::Dialog), kContainer = Bit(Kind::Container),
                   kButton = Bit(Kind::Button), kStatic = Bit(Kind::Static), kEdit = Bit(Kind::Edit),
                   kImage = Bit(Kind::Image), kBrowser = Bit(Kind::Browser);
constexpr unsigned kAllKinds = kDialog | kContainer | kButton | kStatic | kEdit | kImage | kBrowser;

bool SetBool(const std::string& v, bool* out) { return ParseBool(v, out); }
bool SetColor(const std::string& v, Color* out) { return ParseColor(v, out); }
bool SetImage(const std::string& v, StateImage* out) {
  ImageRef ref;
  if (!ParseImageRef(v, &ref)) return false;
  out->ref = ref;
  out->pixels.reset();
  return true;
}

// The skin's whole vocabulary: each attribute, the kinds that take it, what a bad value is
// called in the reason, and how it is applied. Dialog-only attributes get a null dialog
// only from a caller outside the loader, and then change nothing.
struct Attribute {
  const char* name;
  unsigned kinds;
  const char* what;
  bool (*apply)(Node* n, DialogInfo* d, const std::string& v);
};

const Attribute kAttributes[] = {
    {"name", kAllKinds, "name",
     [](Node* n, DialogInfo*, const std::string& v) {
       if (v.empty() || v.find('\\') != std::string::npos) return false;
       n->name = Utf8ToGbk(v);
       return true;
     }},
    {"pos", kAllKinds, "rectangle",
     [](Node* n, DialogInfo* d, const std::string& v) {
       Rect r;
       if (!ParseRect(v, &r)) return false;
       (d ? d->pos : n->pos) = r;
       (d ? d->posGiven : n->posGiven) = true;
       return true;
     }},
    {"visible", kAllKinds, "boolean",
     [](Node* n, DialogInfo*, const std::string& v) { return SetBool(v, &n->visible); }},
    {"size", kDialog, "size",
     [](Node*, DialogInfo* d, const std::string& v) { return d && ParseSize(v, &d->width, &d->height); }},
    {"title", kDialog, "title",
     [](Node*, DialogInfo* d, const std::string& v) { return !d || (d->title = Utf8ToGbk(v), true); }},
    {"caption", kDialog, "rectangle",
     [](Node*, DialogInfo* d, const std::string& v) { return d && ParseRect(v, &d->caption); }},
    {"defaultbutton", kDialog, "name",
     [](Node*, DialogInfo* d, const std::string& v) { return !d || (d->defaultButton = Utf8ToGbk(v), true); }},
    {"cancelbutton", kDialog, "name",
     [](Node*, DialogInfo* d, const std::string& v) { return !d || (d->cancelButton = Utf8ToGbk(v), true); }},
    {"borderless", kDialog, "boolean",
     [](Node*, DialogInfo* d, const std::string& v) {
       bool b;
       if (!ParseBool(v, &b)) return false;
       if (d) d->borderless = b;
       return true;
     }},
    {"text", kButton | kStatic | kEdit, "text",
     [](Node* n, DialogInfo*, const std::string& v) {
       n->text = Utf8ToGbk(v);
       if (n->text.size() > 1023) n->text.resize(1023);
       return true;
     }},
    {"font", kDialog | kButton | kStatic | kEdit | kBrowser, "font",
     [](Node* n, DialogInfo*, const std::string& v) { return n->fontName = v, true; }},
    {"textcolor", kButton | kStatic | kEdit | kBrowser, "colour",
     [](Node* n, DialogInfo*, const std::string& v) { return SetColor(v, &n->textColor); }},
    {"hovertextcolor", kButton, "colour",
     [](Node* n, DialogInfo*, const std::string& v) { return SetColor(v, &n->hoverTextColor); }},
    {"bkcolor", kDialog | kContainer | kStatic | kEdit | kBrowser, "colour",
     [](Node* n, DialogInfo*, const std::string& v) { return SetColor(v, &n->bkColor); }},
    {"bordercolor", kEdit, "colour",
     [](Node* n, DialogInfo*, const std::string& v) { return SetColor(v, &n->borderColor); }},
    {"bkimage", kDialog | kContainer | kStatic, "image value",
     [](Node* n, DialogInfo*, const std::string& v) { return SetImage(v, &n->images[kNormalImage]); }},
    {"normalimage", kButton, "image value",
     [](Node* n, DialogInfo*, const std::string& v) { return SetImage(v, &n->images[kNormalImage]); }},
    {"hoverimage", kButton, "image value",
     [](Node* n, DialogInfo*, const std::string& v) { return SetImage(v, &n->images[kHoverImage]); }},
    {"pressedimage", kButton, "image value",
     [](Node* n, DialogInfo*, const std::string& v) { return SetImage(v, &n->images[kPressedImage]); }},
    {"image", kImage, "image value",
     [](Node* n, DialogInfo*, const std::string& v) { return SetImage(v, &n->images[kNormalImage]); }},
    {"align", kButton | kStatic | kEdit, "alignment",
     [](Node* n, DialogInfo*, const std::string& v) {
       if (v == "left") n->align = HAlign::Left;
       else if (v == "center") n->align = HAlign::Center;
       else if (v == "right") n->align = HAlign::Right;
       else return false;
       return true;
     }},
    {"valign", kStatic, "alignment",
     [](Node* n, DialogInfo*, const std::string& v) {
       if (v == "top") n->valign = VAlign::Top;
       else if (v == "center") n->valign = VAlign::Center;
       else if (v == "bottom") n->valign = VAlign::Bottom;
       else return false;
       return true;
     }},
    {"wordwrap", kStatic, "boolean",
     [](Node* n, DialogInfo*, const std::string& v) { return SetBool(v, &n->wordwrap); }},
    {"maxlength", kEdit, "length",
     [](Node* n, DialogInfo*, const std::string& v) {
       int len;
       if (!ParseInt(v, &len) || len < 0 || len > 1023) return false;
       n->maxLength = len;
       return true;
     }},
    {"readonly", kEdit, "boolean",
     [](Node* n, DialogInfo*, const std::string& v) { return SetBool(v, &n->readonly); }},
    {"url", kBrowser, "url", [](Node* n, DialogInfo*, const std::string& v) { return n->url = v, true; }},
    {"textpadding", kButton | kStatic | kEdit, "padding",
     [](Node* n, DialogInfo*, const std::string& v) { return ParsePair(v, 0, 1000, &n->padLeft, &n->padRight); }},
    {"tooltip", kButton, "text",
     [](Node* n, DialogInfo*, const std::string& v) {
       n->tooltip = Utf8ToGbk(v);
       if (n->tooltip.size() > 1023) n->tooltip.resize(1023);
       return true;
     }},
    {"shortcut", kButton, "key name",
     [](Node* n, DialogInfo*, const std::string& v) { return v == "F5" && (n->shortcut = v, true); }},
    {"ellipsis", kButton | kStatic | kEdit, "boolean",
     [](Node* n, DialogInfo*, const std::string& v) { return SetBool(v, &n->ellipsis); }},
    {"cornerradius", kButton | kEdit, "radius",
     [](Node* n, DialogInfo*, const std::string& v) {
       int r;
       if (!ParseInt(v, &r) || r < 0 || r > 100) return false;
       n->cornerRadius = r;
       return true;
     }},
    {"group", kButton, "group", [](Node* n, DialogInfo*, const std::string& v) { return n->group = v, true; }},
    {"selectedimage", kButton, "image value",
     [](Node* n, DialogInfo*, const std::string& v) { return SetImage(v, &n->images[kSelectedImage]); }},
};

const Attribute* FindAttribute(const std::string& name) {
  for (const Attribute& a : kAttributes)
    if (name == a.name) return &a;
  return nullptr;
}

bool Accepts(Kind kind, const std::string& attr) {
  const Attribute* a = FindAttribute(attr);
  return a && (a->kinds & Bit(kind));
}

void KindDefaults(Node* node) {
  switch (node->kind) {
    case Kind::Dialog:
      node->bkColor = Color{0x20, 0x20, 0x20, 0xFF};
      break;
    case Kind::Button:
      node->textColor = Color{255, 255, 255, 255};
      node->align = HAlign::Center;
      break;
    case Kind::Edit:
      node->padLeft = node->padRight = 4;
      node->bkColor = Color{255, 255, 255, 255};
      break;
    case Kind::Browser:
      node->bkColor = Color{255, 255, 255, 255};
      break;
    default:
      break;
  }
}

bool HasText(Kind kind) {
  return kind == Kind::Button || kind == Kind::Static || kind == Kind::Edit ||
         kind == Kind::Browser;
}

bool BuildNode(Context* ctx, const pugi::xml_node& element, Node* parent,
               std::unique_ptr<Node>* out);

bool BuildChildren(Context* ctx, const pugi::xml_node& element, Node* node) {
  std::set<std::string> names;
  for (pugi::xml_node child : element.children()) {
    int line = LineAt(*ctx, child.offset_debug());
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
      return Fail(ctx, line, "unexpected text inside " + std::string(KindName(node->kind)) +
                                 " \"" + node->name + "\"");
    if (child.type() != pugi::node_element) continue;
    if (node->kind != Kind::Container && node->kind != Kind::Dialog)
      return Fail(ctx, line, std::string(KindName(node->kind)) + " \"" + node->name +
                                 "\" cannot hold controls");
    std::unique_ptr<Node> built;
    if (!BuildNode(ctx, child, node, &built)) return false;
    if (!names.insert(built->name).second)
      return Fail(ctx, line, "duplicate name \"" + built->name + "\" inside \"" + node->name + "\"");
    node->children.push_back(std::move(built));
  }
  return true;
}

// The skin's defaults for the node's kind first, then the element's own attributes.
bool ApplyElementAttributes(Context* ctx, const pugi::xml_node& element, Node* node,
                            DialogInfo* dialog, const std::string& tag) {
  pugi::xml_attribute nameAttr = element.attribute("name");
  std::string label = tag + (nameAttr ? " \"" + std::string(nameAttr.value()) + "\"" : "");
  std::string reason;
  for (const DefaultAttr& d : ctx->defaults[static_cast<int>(node->kind)]) {
    if (!ApplyAttribute(node, dialog, d.name, d.value, &reason))
      return Fail(ctx, d.line, reason + " (default for " + tag + ")");
  }
  for (pugi::xml_attribute attr : element.attributes()) {
    std::string name = attr.name();
    if (!Accepts(node->kind, name))
      return Fail(ctx, node->line, "unknown attribute \"" + name + "\" on " + label);
    if (!ApplyAttribute(node, dialog, name, attr.value(), &reason))
      return Fail(ctx, node->line, reason + " on " + label);
  }
  if (node->name.empty()) return Fail(ctx, node->line, tag + " without a name");
  if (dialog && dialog->width == 0)
    return Fail(ctx, node->line, "Dialog \"" + node->name + "\" without a size");
  if (!node->fontName.empty() && node->fontName != "default" &&
      !ctx->out->resources->HasFont(node->fontName))
    return Fail(ctx, node->line, "unknown font \"" + node->fontName + "\" on " + label);
  return true;
}

bool BuildNode(Context* ctx, const pugi::xml_node& element, Node* parent,
               std::unique_ptr<Node>* out) {
  int line = LineAt(*ctx, element.offset_debug());
  Kind kind;
  std::string tag = element.name();
  if (!KindFromName(tag, &kind)) return Fail(ctx, line, "unknown control kind \"" + tag + "\"");
  if (kind == Kind::Dialog && parent)
    return Fail(ctx, line, "a Dialog can only be the outermost control");
  if (kind != Kind::Dialog && !parent)
    return Fail(ctx, line, "the outermost control must be a Dialog, not " + tag);
  auto node = std::make_unique<Node>();
  node->kind = kind;
  node->line = line;
  node->parent = parent;
  KindDefaults(node.get());
  DialogInfo* dialog = kind == Kind::Dialog ? &ctx->out->tree.dialog : nullptr;
  if (!ApplyElementAttributes(ctx, element, node.get(), dialog, tag)) return false;
  if (!BuildChildren(ctx, element, node.get())) return false;
  *out = std::move(node);
  return true;
}

bool LoadNodeResources(Context* ctx, Node* node) {
  Resources* res = ctx->out->resources.get();
  for (StateImage& image : node->images) {
    if (image.ref.file.empty()) continue;
    std::string error;
    image.pixels = res->ImageFor(image.ref.file, &error);
    if (!image.pixels) return Fail(ctx, node->line, error);
  }
  if (HasText(node->kind)) {
    std::string error;
    node->font = res->FontFor(node->fontName, &error);
    if (!node->font && !node->fontName.empty() && node->fontName != "default")
      return Fail(ctx, node->line, error);
    if (!node->font) {
      static bool warned = false;
      if (!warned) Report("", ctx->file + ": text is not drawn: " + error);
      warned = true;
    }
  }
  for (auto& child : node->children)
    if (!LoadNodeResources(ctx, child.get())) return false;
  return true;
}

bool ReadFont(Context* ctx, const pugi::xml_node& element, int line) {
  FontChoice choice;
  std::string name;
  for (pugi::xml_attribute attr : element.attributes()) {
    std::string a = attr.name();
    std::string v = attr.value();
    if (a == "name") {
      name = v;
    } else if (a == "face") {
      choice.face = v;
    } else if (a == "file") {
      choice.file = v;
    } else if (a == "size") {
      if (!ParseInt(v, &choice.size) || choice.size < 4 || choice.size > 200)
        return Fail(ctx, line, "bad font size \"" + v + "\"");
    } else {
      return Fail(ctx, line, "unknown attribute \"" + a + "\" on Font");
    }
  }
  if (name.empty()) return Fail(ctx, line, "Font without a name");
  if (!choice.file.empty()) {
    std::string path = ResolveSkinFile(ctx->out->resources->Folder(), choice.file);
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return Fail(ctx, line, "cannot read font file \"" + choice.file + "\"");
    fclose(f);
  }
  ctx->out->resources->DefineFont(name, choice);
  return true;
}

bool ReadDefault(Context* ctx, const pugi::xml_node& element, int line) {
  std::string kindName = element.attribute("kind").value();
  Kind kind;
  if (!KindFromName(kindName, &kind))
    return Fail(ctx, line, "Default for unknown control kind \"" + kindName + "\"");
  for (pugi::xml_attribute attr : element.attributes()) {
    std::string a = attr.name();
    if (a == "kind") continue;
    if (a == "name") return Fail(ctx, line, "a Default cannot give a name");
    if (!Accepts(kind, a))
      return Fail(ctx, line, "unknown attribute \"" + a + "\" on Default for " + kindName);
    ctx->defaults[static_cast<int>(kind)].push_back(DefaultAttr{a, attr.value(), line});
  }
  return true;
}

// <Theme name= background= imagesuffix=> with <Color control= textcolor=... /> children.
bool ReadTheme(Context* ctx, const pugi::xml_node& element, int line) {
  Theme theme;
  theme.line = line;
  for (pugi::xml_attribute attr : element.attributes()) {
    std::string a = attr.name();
    std::string v = attr.value();
    if (a == "name") theme.name = v;
    else if (a == "background") theme.background = v;
    else if (a == "imagesuffix") theme.imageSuffix = v;
    else return Fail(ctx, line, "unknown attribute \"" + a + "\" on Theme");
  }
  if (theme.background.empty()) return Fail(ctx, line, "Theme without a background");
  if (theme.imageSuffix.find_first_of("/\\") != std::string::npos)
    return Fail(ctx, line, "bad image suffix \"" + theme.imageSuffix + "\" on Theme");
  for (pugi::xml_node child : element.children()) {
    const int at = LineAt(*ctx, child.offset_debug());
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
      return Fail(ctx, at, "unexpected text inside Theme");
    if (child.type() != pugi::node_element) continue;
    if (std::string(child.name()) != "Color")
      return Fail(ctx, at, "a Theme holds Color elements, not <" + std::string(child.name()) + ">");
    std::string control = child.attribute("control").value();
    if (control.empty()) return Fail(ctx, at, "Color without a control");
    for (pugi::xml_attribute attr : child.attributes()) {
      std::string a = attr.name();
      if (a == "control") continue;
      Node probe;
      ThemeColor color;
      if (!ThemeColorField(&probe, a))
        return Fail(ctx, at, "a theme gives only colours, not \"" + a + "\"");
      if (!ParseColor(attr.value(), &color.value))
        return Fail(ctx, at, "bad colour \"" + std::string(attr.value()) + "\" for " + a);
      color.control = Utf8ToGbk(control);
      color.attr = a;
      color.line = at;
      theme.colors.push_back(color);
    }
  }
  ctx->out->themes.push_back(std::move(theme));
  return true;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

}  // namespace

bool ApplyAttribute(Node* node, DialogInfo* dialog, const std::string& attr,
                    const std::string& value, std::string* reason) {
  const Attribute* a = FindAttribute(attr);
  if (!a) {
    *reason = "unknown attribute \"" + attr + "\"";
    return false;
  }
  if (a->apply(node, dialog, value)) return true;
  *reason = std::string("bad ") + a->what + " \"" + value + "\" for " + attr;
  return false;
}

std::vector<std::string> AttributesOf(Kind kind) {
  std::vector<std::string> names;
  for (const Attribute& a : kAttributes)
    if (a.kinds & Bit(kind)) names.push_back(a.name);
  return names;
}

namespace {

bool ReadWholeFile(const std::string& path, std::vector<char>* text, std::string* error) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) {
    *error = path + ":0: cannot open the skin file: " + strerror(errno);
    return false;
  }
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) text->insert(text->end(), buf, buf + n);
  const bool failed = ferror(f) != 0;
  fclose(f);
  if (failed) *error = path + ":0: cannot read the skin file";
  return !failed;
}

// <Skin>: the Font elements, then the Defaults and Themes, then the one Dialog, in that order.
bool ReadSkinElement(Context* ctx, const pugi::xml_node& root) {
  if (!root || std::string(root.name()) != "Skin")
    return Fail(ctx, LineAt(*ctx, root.offset_debug()), "the outermost element must be <Skin>");
  if (root.first_attribute())
    return Fail(ctx, LineAt(*ctx, root.offset_debug()),
                std::string("unknown attribute \"") + root.first_attribute().name() + "\" on Skin");
  enum { kFonts, kDefaults, kDialogRead } stage = kFonts;
  for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
    int line = LineAt(*ctx, child.offset_debug());
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
      return Fail(ctx, line, "unexpected text inside Skin");
    if (child.type() != pugi::node_element) continue;
    std::string name = child.name();
    bool ok;
    if (stage == kDialogRead) {
      ok = Fail(ctx, line, "nothing may follow the Dialog, found <" + name + ">");
    } else if (name == "Font" && stage == kFonts) {
      ok = ReadFont(ctx, child, line);
    } else if (name == "Default") {
      stage = kDefaults;
      ok = ReadDefault(ctx, child, line);
    } else if (name == "Theme") {
      stage = kDefaults;
      ok = ReadTheme(ctx, child, line);
    } else if (name == "Font") {
      ok = Fail(ctx, line, "Font elements must come before the Defaults and Themes");
    } else {
      ok = BuildNode(ctx, child, nullptr, &ctx->out->tree.root);
      stage = kDialogRead;
    }
    if (!ok) return false;
  }
  if (!ctx->out->tree.root) return Fail(ctx, LineAt(*ctx, root.offset_debug()), "the skin has no Dialog");
  return true;
}

// Indexes and lays out the tree; the dialog's default and cancel buttons must exist.
bool FinishTree(Context* ctx) {
  ControlTree& tree = ctx->out->tree;
  tree.Index();
  tree.Layout();
  const std::string* names[2] = {&tree.dialog.defaultButton, &tree.dialog.cancelButton};
  for (const std::string* name : names) {
    if (name->empty()) continue;
    Node* button = tree.ByName(*name);
    if (!button || button->kind != Kind::Button)
      return Fail(ctx, tree.root->line, "no Button \"" + *name + "\" for the default or cancel button");
  }
  int line = 0;
  std::string reason;
  if (!ResolveThemeColors(tree, &ctx->out->themes, &line, &reason)) return Fail(ctx, line, reason);
  return true;
}

}  // namespace

bool LoadSkinFile(const std::string& path, LoadedSkin* out, std::string* error) {
  MarkPhase("skin_started");
  Context ctx;
  ctx.file = path;
  ctx.out = out;
  out->tree = ControlTree();
  out->resources.reset();
  out->themes.clear();
  if (!ReadWholeFile(path, &ctx.text, error)) return false;
  for (size_t i = 0; i < ctx.text.size(); ++i)
    if (ctx.text[i] == '\n') ctx.lineEnds.push_back(i);
  out->tree.folder = FolderOf(path);
  out->resources = std::make_unique<Resources>(out->tree.folder);

  pugi::xml_document doc;
  pugi::xml_parse_result parsed = doc.load_buffer(ctx.text.data(), ctx.text.size(),
                                                  pugi::parse_default, pugi::encoding_utf8);
  bool ok = parsed ? ReadSkinElement(&ctx, doc.document_element())
                   : Fail(&ctx, LineAt(ctx, parsed.offset),
                          std::string("malformed XML: ") + parsed.description());
  if (ok) {
    MarkPhase("skin_parsed");
    ok = LoadNodeResources(&ctx, out->tree.root.get()) && FinishTree(&ctx);
  }
  if (!ok) {
    *error = ctx.error;
    out->tree = ControlTree();
    out->resources.reset();  // a failed load leaves nothing half set up behind
    out->themes.clear();
  }
  return ok;
}

}  // namespace skin
}  // namespace corvio
