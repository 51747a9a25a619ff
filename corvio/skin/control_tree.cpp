// Numbering, layout and lookups of the control tree.
#include "corvio/skin/control_tree.h"

namespace corvio {
namespace skin {

namespace {

const char* const kKindNames[] = {"Dialog", "Container", "Button", "Static",
                                  "Edit",   "Image",     "Browser"};

void Number(Node* node, std::vector<Node*>* byId) {
  byId->push_back(node);
  node->id = static_cast<int>(byId->size());
  for (auto& child : node->children) Number(child.get(), byId);
}

void LayoutNode(Node* node, const Rect& parent) {
  if (node->posGiven) {
    node->abs = Rect{parent.x + node->pos.x, parent.y + node->pos.y, node->pos.w, node->pos.h};
  } else {
    node->abs = parent;
  }
  for (auto& child : node->children) LayoutNode(child.get(), node->abs);
}

}  // namespace

const char* KindName(Kind kind) { return kKindNames[static_cast<int>(kind)]; }

bool KindFromName(const std::string& name, Kind* out) {
  for (int i = 0; i < 7; ++i) {
    if (name == kKindNames[i]) {
      *out = static_cast<Kind>(i);
      return true;
    }
  }
  return false;
}

void ControlTree::Index() {
  byId.clear();
  if (root) Number(root.get(), &byId);
}

void ControlTree::Layout() {
  if (!root) return;
  root->posGiven = false;
  LayoutNode(root.get(), Rect{0, 0, dialog.width, dialog.height});
}

Node* ControlTree::ById(int id) const {
  if (id <= 0 || id > static_cast<int>(byId.size())) return nullptr;
  return byId[id - 1];
}

Node* ControlTree::ByPath(const std::string& path) const {
  if (!root || path.empty()) return nullptr;
  Node* node = nullptr;
  size_t start = 0;
  while (start <= path.size()) {
    size_t sep = path.find('\\', start);
    std::string part = path.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
    if (!node) {
      if (part != root->name) return nullptr;
      node = root.get();
    } else {
      Node* next = nullptr;
      for (auto& child : node->children)
        if (child->name == part) next = child.get();
      if (!next) return nullptr;
      node = next;
    }
    if (sep == std::string::npos) break;
    start = sep + 1;
  }
  return node;
}

Node* ControlTree::ByName(const std::string& nameOrPath) const {
  if (nameOrPath.find('\\') != std::string::npos) return ByPath(nameOrPath);
  for (Node* node : byId)
    if (node->name == nameOrPath) return node;
  return nullptr;
}

std::string ControlTree::PathOf(const Node* node) {
  std::string path;
  for (const Node* n = node; n; n = n->parent) path = n->name + (path.empty() ? "" : "\\" + path);
  return path;
}

bool ControlTree::Shown(const Node* node) {
  for (const Node* n = node; n; n = n->parent)
    if (!n->visible) return false;
  return node != nullptr;
}

}  // namespace skin
}  // namespace corvio
