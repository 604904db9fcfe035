// The component base (ownership, unique names) and the string list's index errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "component/Component.h"
#include "platform/Exceptions.h"
#include "platform/StringList.h"
#include "tests/ErrorOf.h"

namespace vorlane {
namespace {

class TCounted : public TComponent {
public:
    TCounted(TComponent* owner, int* freed) : TComponent(owner), freed_(freed) {}
    ~TCounted() override { ++*freed_; }

private:
    int* freed_;
};

bool Alive(const TComponent* component)
{
    const auto& all = TComponent::AllComponents();
    return std::find(all.begin(), all.end(), component) != all.end();
}

std::string IndexError(const std::function<void()>& action)
{
    return test::ErrorOf<EStringListError>(action);
}

} // namespace

TEST(Component, OwnedComponentsAreFreedWithTheirOwner)
{
    int freed = 0;
    auto* owner = new TComponent;
    auto* a = TComponent::Create<TCounted>(owner, &freed);
    auto* b = TComponent::Create<TCounted>(owner, &freed);
    auto* grandchild = TComponent::Create<TCounted>(a, &freed);
    EXPECT_EQ(owner->Components(), (std::vector<TComponent*>{a, b}));
    EXPECT_EQ(grandchild->Owner(), a);
    delete b; // an owned component freed early leaves its owner's list
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(owner->Components(), std::vector<TComponent*>{a});
    delete owner;
    EXPECT_EQ(freed, 3);
    EXPECT_FALSE(Alive(owner));
    EXPECT_FALSE(Alive(grandchild));
}

TEST(Component, UniqueNameAppendsTheFirstFreeNumber)
{
    TComponent a, b, c, probe;
    a.SetName("Main");
    b.SetName("main_1");
    EXPECT_EQ(probe.UniqueName("MAIN"), "MAIN_2");
    EXPECT_EQ(probe.UniqueName("Other"), "Other");
    EXPECT_EQ(probe.UniqueName(""), "");
    c.SetName("MAIN_2");
    EXPECT_EQ(probe.UniqueName("Main"), "Main_3");
    EXPECT_EQ(c.UniqueName("MAIN_2"), "MAIN_2"); // its own name does not count
    // A name from a stream may hold any byte, a zero byte too: all of them stay.
    const std::string zero("a\0b", 3);
    a.SetName(zero);
    EXPECT_EQ(probe.UniqueName(zero), zero + "_1");
}

TEST(Component, NamesCompareIgnoringAsciiCaseOnly)
{
    EXPECT_TRUE(SameName("FormTop", "formtop"));
    EXPECT_FALSE(SameName("FormTop", "FormTo"));
    EXPECT_FALSE(SameName("\xC3\xA9", "\xC3\x89")); // non-ASCII bytes compare exactly
}

TEST(StringList, KeepsOrderAndDuplicates)
{
    TStringList list;
    EXPECT_EQ(list.Add("b"), 0);
    EXPECT_EQ(list.Add("a"), 1);
    EXPECT_EQ(list.Add("b"), 2);
    list.Insert(0, "c");
    list.Insert(4, "z");
    EXPECT_EQ(list.Items(), (std::vector<std::string>{"c", "b", "a", "b", "z"}));
    list.Delete(1);
    list.Put(0, "C");
    EXPECT_EQ(list.Items(), (std::vector<std::string>{"C", "a", "b", "z"}));
    EXPECT_EQ(list.IndexOf("b"), 2);
    EXPECT_EQ(list.IndexOf("x"), -1);
}

TEST(StringList, IndexOutsideTheListIsAnError)
{
    TStringList list{"a", "b"};
    EXPECT_EQ(IndexError([&] { list.Get(2); }), "リストのインデックスが範囲を超えています (2)");
    EXPECT_EQ(IndexError([&] { list.Get(-1); }), "リストのインデックスが範囲を超えています (-1)");
    EXPECT_EQ(IndexError([&] { list.Delete(5); }), "リストのインデックスが範囲を超えています (5)");
    EXPECT_EQ(IndexError([&] { list.Insert(3, "x"); }), "リストのインデックスが範囲を超えています (3)");
    EXPECT_EQ(IndexError([&] { list.Put(2, "x"); }), "リストのインデックスが範囲を超えています (2)");
    EXPECT_EQ(list.Items(), (std::vector<std::string>{"a", "b"}));
}

} // namespace vorlane
