// Fuzz target for the skin loader: a fuzzed skin description with a fuzzed PNG/TGA beside
// it, loaded as the framework loads a skin, and the tree it gives held to its invariants.
//
// Input: the skin's XML, a NUL, then the image's bytes, written as both i.png and i.tga in
// a scratch folder. Only skins whose file names are bare names are loaded, so the loader
// reads no file but this input's; font files are left out too (fonts are installed with
// the program and are not this target's to fuzz).
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <pugixml.hpp>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/fuzz_support.h"
#include "corvio/skin/font.h"
#include "corvio/skin/skin_loader.h"

namespace {

using corvio::skin::ControlTree;
using corvio::skin::Image;
using corvio::skin::Kind;
using corvio::skin::Node;

// The limits a skin's images are held to: the skin's largest image is 900x560.
constexpr int kMaxImageSide = 4096;
constexpr size_t kMaxPixelBytes = size_t{64} << 20;

const std::string& Folder() { return zentfuzz::ScratchFolder::Get("skin"); }

void PutFile(const std::string& name, const char* data, size_t size) {
  const std::string path = Folder() + "/" + name;
  FILE* f = fopen(path.c_str(), "wb");
  FUZZ_CHECK(f != nullptr, "cannot write " + path);
  const bool written = fwrite(data, 1, size, f) == size;
  FUZZ_CHECK(fclose(f) == 0 && written, "cannot write " + path);
}

// True when no attribute value holds a separator (a drive needs one too) and no Font names
// a file: then every file the loader opens is in the scratch folder.
bool StaysInFolder(const char* xml, size_t size) {
  pugi::xml_document doc;
  if (!doc.load_buffer(xml, size, pugi::parse_default, pugi::encoding_utf8)) return true;  // refused unread
  struct Walker : pugi::xml_tree_walker {
    bool ok = true;
    bool for_each(pugi::xml_node& node) override {
      if (node.type() != pugi::node_element) return true;
      for (pugi::xml_attribute a : node.attributes()) {
        if (strpbrk(a.value(), "/\\") != nullptr) ok = false;
        if (strcmp(node.name(), "Font") == 0 && strcmp(a.name(), "file") == 0) ok = false;
      }
      return ok;
    }
  } walker;
  doc.traverse(walker);
  return walker.ok;
}

void CheckTree(const ControlTree& tree) {
  FUZZ_CHECK(tree.root != nullptr, "a loaded skin without a root");
  FUZZ_CHECK(tree.root->kind == Kind::Dialog, "the root is no Dialog");
  FUZZ_CHECK(tree.dialog.width > 0 && tree.dialog.height > 0, "a Dialog without a size");
  std::set<const Image*> images;
  size_t pixelBytes = 0;
  for (size_t i = 0; i < tree.byId.size(); ++i) {
    const Node* node = tree.byId[i];
    FUZZ_CHECK(node != nullptr && node->id == static_cast<int>(i) + 1, "ids are not 1, 2, ... in order");
    FUZZ_CHECK(tree.ById(node->id) == node, "ById does not find node " + std::to_string(node->id));
    FUZZ_CHECK(!node->name.empty(), "a control without a name");
    const std::string path = ControlTree::PathOf(node);
    FUZZ_CHECK(tree.ByPath(path) == node, "the path " + zentfuzz::Shown(path) + " leads elsewhere");
    for (const auto& state : node->images) {
      if (!state.pixels) continue;
      const Image& image = *state.pixels;
      image.WaitDecoded();
      FUZZ_CHECK(image.width > 0 && image.height > 0, "an image without a size");
      FUZZ_CHECK(image.rgba.empty() ||
                     image.rgba.size() == static_cast<size_t>(image.width) * image.height * 4,
                 "pixels do not match the size");
      FUZZ_CHECK(image.width <= kMaxImageSide && image.height <= kMaxImageSide,
                 "a " + std::to_string(image.width) + "x" + std::to_string(image.height) +
                     " image was accepted");
      if (images.insert(&image).second) pixelBytes += static_cast<size_t>(image.width) * image.height * 4;
    }
  }
  FUZZ_CHECK(pixelBytes <= kMaxPixelBytes,
             "images of " + std::to_string(pixelBytes) + " bytes of pixels in all were accepted");
  size_t count = 0;
  std::vector<const Node*> pending = {tree.root.get()};
  while (!pending.empty()) {
    const Node* node = pending.back();
    pending.pop_back();
    ++count;
    for (const auto& child : node->children) {
      FUZZ_CHECK(child->parent == node, "a control whose parent is another");
      pending.push_back(child.get());
    }
  }
  FUZZ_CHECK(count == tree.byId.size(), "the index misses controls");
}

// Loads the skin and holds the result to the loader's promises.
void LoadAndCheck() {
  const std::string path = Folder() + "/skin.xml";
  corvio::skin::LoadedSkin skin;
  std::string error;
  const bool loaded = corvio::skin::LoadSkinFile(path, &skin, &error);
  // When an input is replayed, what the loader made of it.
  static const bool verbose = getenv("ZENT_FUZZ_VERBOSE") != nullptr;
  if (verbose) fprintf(stderr, "skin fuzzer: %s\n", loaded ? "loaded" : error.c_str());
  if (loaded) {
    FUZZ_CHECK(skin.resources != nullptr, "a loaded skin without its resources");
    CheckTree(skin.tree);
    return;
  }
  // One line "file:line: reason", and no tree left behind.
  const std::string prefix = path + ":";
  FUZZ_CHECK(error.compare(0, prefix.size(), prefix) == 0, "the error names no file: " + zentfuzz::Shown(error));
  size_t at = prefix.size();
  while (at < error.size() && error[at] >= '0' && error[at] <= '9') ++at;
  FUZZ_CHECK(at > prefix.size() && error.compare(at, 2, ": ") == 0 && error.size() > at + 2,
             "the error is not file:line: reason: " + zentfuzz::Shown(error));
  FUZZ_CHECK(error.find('\n') == std::string::npos, "the error is more than one line: " + zentfuzz::Shown(error));
  FUZZ_CHECK(!skin.tree.root, "a refused skin leaves a tree behind");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Held for the whole run: otherwise every input would look the system font up again.
  static std::shared_ptr<corvio::skin::Font> font;
  std::string error;
  font = corvio::skin::Font::LoadSystem("", 12, &error);
  if (!font) fprintf(stderr, "skin fuzzer: no system font (%s): text controls load without one\n", error.c_str());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  const char* nul = static_cast<const char*>(memchr(bytes, 0, size));
  const size_t xmlSize = nul ? static_cast<size_t>(nul - bytes) : size;
  const char* image = nul ? nul + 1 : bytes + size;
  const size_t imageSize = size - xmlSize - (nul ? 1 : 0);
  if (!StaysInFolder(bytes, xmlSize)) return 0;

  PutFile("skin.xml", bytes, xmlSize);
  PutFile("i.png", image, imageSize);
  PutFile("i.tga", image, imageSize);
  // On a thread of its own, as at a fresh start and on each decoding thread: the image
  // decoder keeps its failure reason per thread, and a new thread has none yet.
  bool ran = false;
  try {
    std::thread loader(LoadAndCheck);
    loader.join();
    ran = true;
  } catch (...) {
  }
  if (!ran) LoadAndCheck();
  return 0;
}
