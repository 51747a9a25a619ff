// The property bag and writer: named values, the image bracket, numbered texts.
#include <gtest/gtest.h>

#include <string>

#include "components/interfaces.h"
#include "corvio/props/property_bag_impl.h"

extern "C" ComponentFactory* CreateComponent(uint32_t id, uint32_t reserved);

namespace {

template <class T>
T* Make() {
  Component* c = CreateComponent(361, 0)->NewComponent(T::kId, nullptr);
  if (c) c->Initialize(0);
  return static_cast<T*>(c);
}

// A bag that is not the framework's own.
class ForeignBag final : public PropertyBag {
 public:
  int Release(int) override { return 0; }
  int Initialize(int) override { return 0; }
  int SetString(int, const char*) override { return 1; }
  int GetValue(int, int) override { return 0; }
  int Clear() override { return 1; }
};

class PropsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bag = Make<PropertyBag>();
    writer = Make<PropertyWriter>();
    ASSERT_NE(bag, nullptr);
    ASSERT_NE(writer, nullptr);
    impl = corvio::AsBagImpl(bag);
    ASSERT_NE(impl, nullptr);
  }
  void TearDown() override {
    if (writer) writer->Release(0);
    if (bag) bag->Release(0);
  }
  PropertyBag* bag = nullptr;
  PropertyWriter* writer = nullptr;
  corvio::PropertyBagImpl* impl = nullptr;
};

TEST_F(PropsTest, value_between_begin_and_end_is_an_image) {
  EXPECT_EQ(writer->BeginValue(ValueKindImage), 1);
  EXPECT_EQ(writer->SetProperty("Background", "ONEIMAGE:bg.png;Tile", bag), 1);
  EXPECT_EQ(writer->EndValue(), 1);
  EXPECT_EQ(writer->SetProperty("Visible", "true", bag), 1);
  ASSERT_EQ(impl->Named().size(), 2u);
  EXPECT_EQ(impl->Named()[0].name, "Background");
  EXPECT_EQ(impl->Named()[0].value, "ONEIMAGE:bg.png;Tile");
  EXPECT_TRUE(impl->Named()[0].image);
  EXPECT_EQ(impl->Named()[1].name, "Visible");
  EXPECT_FALSE(impl->Named()[1].image);
}

TEST_F(PropsTest, begin_value_of_another_kind_is_refused_and_writes_text) {
  EXPECT_EQ(writer->BeginValue(291), 0);
  EXPECT_EQ(writer->SetProperty("Caption", "ONEIMAGE:x.png;Tile", bag), 1);
  ASSERT_EQ(impl->Named().size(), 1u);
  EXPECT_FALSE(impl->Named()[0].image);
}

TEST_F(PropsTest, later_value_of_the_same_name_replaces_the_earlier) {
  writer->SetProperty("Caption", "one", bag);
  writer->BeginValue(ValueKindImage);
  writer->SetProperty("Caption", "ONEIMAGE:two.png;Tile", bag);
  writer->EndValue();
  ASSERT_EQ(impl->Named().size(), 1u);
  EXPECT_EQ(impl->Named()[0].value, "ONEIMAGE:two.png;Tile");
  EXPECT_TRUE(impl->Named()[0].image);
}

TEST_F(PropsTest, set_property_refuses_foreign_bag_and_missing_name) {
  ForeignBag foreign;
  EXPECT_EQ(writer->SetProperty("Visible", "true", &foreign), 0);
  EXPECT_EQ(writer->SetProperty("Visible", "true", nullptr), 0);
  EXPECT_EQ(writer->SetProperty(nullptr, "true", bag), 0);
  EXPECT_EQ(writer->SetProperty("", "true", bag), 0);
  EXPECT_TRUE(impl->Named().empty());
}

TEST_F(PropsTest, null_value_is_stored_as_empty_text) {
  EXPECT_EQ(writer->SetProperty("Caption", nullptr, bag), 1);
  ASSERT_EQ(impl->Named().size(), 1u);
  EXPECT_EQ(impl->Named()[0].value, "");
}

TEST_F(PropsTest, bag_keeps_numbered_texts_and_clear_empties_everything) {
  const char gbk[] = "\xb4\xf3\xc7\xf8";  // 大区
  EXPECT_EQ(bag->SetString(PropText, gbk), 1);
  impl->SetNumber(PropWindowHandle, 42);
  writer->SetProperty("Visible", "true", bag);
  ASSERT_NE(impl->StringFor(PropText), nullptr);
  EXPECT_EQ(*impl->StringFor(PropText), gbk);
  EXPECT_EQ(bag->GetValue(PropWindowHandle, 1), 42);
  EXPECT_EQ(bag->GetValue(0x123456, 1), 0);
  EXPECT_EQ(bag->Clear(), 1);
  EXPECT_EQ(impl->StringFor(PropText), nullptr);
  EXPECT_EQ(bag->GetValue(PropWindowHandle, 1), 0);
  EXPECT_TRUE(impl->Named().empty());
}

}  // namespace
