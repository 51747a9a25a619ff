// The factory export: every kind by its id, null for anything else.
#include <gtest/gtest.h>

#include "components/interfaces.h"
#include "platform/win32.h"

extern "C" ComponentFactory* CreateComponent(uint32_t id, uint32_t reserved);

namespace {

struct KindRow {
  ComponentId id;
  const char* kind;
};

// Checks that a new component of the row's kind answers as that interface.
bool HasInterface(ComponentId id, Component* c) {
  switch (id) {
    case 1: return dynamic_cast<XmlReader*>(c) != nullptr;
    case 140: return dynamic_cast<DownloadSettings*>(c) != nullptr;
    case 148: return dynamic_cast<Downloader*>(c) != nullptr &&
                     NotifierOf(dynamic_cast<Downloader*>(c)) != nullptr;
    case 282: return dynamic_cast<PropertyBag*>(c) != nullptr;
    case 336: return dynamic_cast<PropertyWriter*>(c) != nullptr;
    case 777: return dynamic_cast<InstanceGuard*>(c) != nullptr;
    default: return false;
  }
}

TEST(CorvioFactory, create_component_361_gives_the_same_factory_each_time) {
  ComponentFactory* first = CreateComponent(361, 0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(CreateComponent(361, 0), first);
}

TEST(CorvioFactory, create_component_with_another_id_gives_null) {
  const uint32_t ids[] = {0, 1, 186, 360, 362, 777, 0xFFFFFFFFu};
  for (size_t row = 0; row < sizeof ids / sizeof ids[0]; ++row) {
    EXPECT_EQ(CreateComponent(ids[row], 0), nullptr) << "row " << row << " id " << ids[row];
  }
}

TEST(CorvioFactory, every_base_kind_is_made_by_its_id) {
  const KindRow rows[] = {{1, "XmlReader"},       {140, "DownloadSettings"},
                          {148, "Downloader"},     {282, "PropertyBag"},
                          {336, "PropertyWriter"}, {777, "InstanceGuard"}};
  ComponentFactory* factory = CreateComponent(361, 0);
  ASSERT_NE(factory, nullptr);
  for (size_t row = 0; row < sizeof rows / sizeof rows[0]; ++row) {
    Component* c = factory->NewComponent(rows[row].id, nullptr);
    ASSERT_NE(c, nullptr) << "row " << row << " " << rows[row].kind;
    EXPECT_TRUE(HasInterface(rows[row].id, c)) << "row " << row << " " << rows[row].kind;
    c->Initialize(0);
    c->Release(0);
  }
}

TEST(CorvioFactory, each_call_makes_a_new_component) {
  ComponentFactory* factory = CreateComponent(361, 0);
  ASSERT_NE(factory, nullptr);
  Component* a = factory->NewComponent(282, nullptr);
  Component* b = factory->NewComponent(282, nullptr);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  a->Release(0);
  b->Release(0);
}

TEST(CorvioFactory, unknown_ids_give_null) {
  const ComponentId ids[] = {0, 2, 139, 361, 999, 0xFFFFFFFFu};
  ComponentFactory* factory = CreateComponent(361, 0);
  ASSERT_NE(factory, nullptr);
  for (size_t row = 0; row < sizeof ids / sizeof ids[0]; ++row) {
    EXPECT_EQ(factory->NewComponent(ids[row], "ignored.ini"), nullptr)
        << "row " << row << " id " << ids[row];
  }
}

TEST(CorvioFactory, the_library_exports_create_component_by_name) {
  // By its Windows name on both systems: the platform finds the .so of that name on Linux.
  HMODULE library = LoadLibraryA(ZENT_DIST_DIR "/CorvFact.dll");
  ASSERT_NE(library, nullptr) << GetLastError();
  auto create = reinterpret_cast<CreateComponentFn>(
      reinterpret_cast<void (*)(void)>(GetProcAddress(library, "CreateComponent")));
  ASSERT_NE(create, nullptr);
  ComponentFactory* factory = create(361, 0);
  ASSERT_NE(factory, nullptr);
  Component* reader = factory->NewComponent(XmlReader::kId, nullptr);
  ASSERT_NE(reader, nullptr);
  reader->Release(0);
  EXPECT_EQ(create(186 + 1, 0), nullptr);
}

}  // namespace
