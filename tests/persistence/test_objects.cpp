// Change notification, owning lists and Assign.

#include "tests/persistence/TestClasses.h"

#include <gtest/gtest.h>

TEST(ProjObj, ChangesNotifyOnlyOnRealChangesAndClimbToTheTop) {
    TTestConfig config;
    ASSERT_EQ(config.Nested->Owner, &config);
    ASSERT_EQ(config.Shapes->Owner, &config);
    std::vector<TProjObj*> senders;
    config.OnChange = [&senders](TProjObj* sender) { senders.push_back(sender); };

    config.SetCount(config.Count());                                // same value: nothing
    config.SetPropText("Enabled", "False", TPropKind::Enumeration); // direct field: never
    EXPECT_FALSE(config.Enabled);
    EXPECT_TRUE(senders.empty());
    EXPECT_FALSE(config.Modified);

    // From an item through its list to the top; from a nested object to its holder.
    TTestShape* shape = New<TTestShape>("a", 1);
    config.Shapes->Add(shape);
    EXPECT_EQ(shape->Owner, config.Shapes.get());
    config.Modified = config.Shapes->Modified = false;
    shape->SetWidth(5);
    EXPECT_TRUE(shape->Modified && config.Shapes->Modified && config.Modified);
    config.Nested->Changed();
    EXPECT_EQ(senders, std::vector<TProjObj*>(3, &config)); // Add, SetWidth, nested

    // While the top loads, changes stop there.
    config.Modified = false;
    config.Loading = true;
    shape->SetWidth(6);
    config.Loading = false;
    EXPECT_FALSE(config.Modified);
    EXPECT_EQ(senders.size(), 3u);
}

TEST(BaseObjList, ListsOwnTheirItemsExceptExtractedOnes) {
    FreedNames.clear();
    auto list = std::make_unique<TTestShapes>();
    list->Add(New<TTestShape>("a", 1));
    list->Add(New<TTestCircle>("b", 2));
    list->Insert(1, New<TTestShape>("c", 3));
    EXPECT_EQ(Names(*list), "acb");
    EXPECT_EQ(list->Items(2)->IndexInOwner(), 2);
    list->Delete(1);
    EXPECT_EQ(FreedNames, std::vector<QString>({"c"}));

    std::unique_ptr<TPersistent> kept(list->List.Extract(list->Items(0)));
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(FreedNames.size(), 1u); // extracted, not freed
    list->Add(New<TTestShape>("d", 4));
    list->Add(New<TTestShape>("e", 5));
    list.reset(); // frees the items, the last first
    EXPECT_EQ(FreedNames, std::vector<QString>({"c", "e", "d", "b"}));
}

TEST(BaseObjList, ReorderingAndRemovingNotifyAndBadIndicesDoNothing) {
    TTestConfig config;
    TTestShapes& list = *config.Shapes;
    for (const char* name : {"a", "b", "c"})
        list.Add(New<TTestShape>(name, 0));
    int changes = 0;
    config.OnChange = [&changes](TProjObj*) { ++changes; };
    list.Move(0, 2);
    list.Exchange(0, 2);
    list.Delete(3);
    list.Move(0, 3);
    list.Exchange(-1, 0);
    EXPECT_EQ(Names(list), "acb");
    EXPECT_EQ(changes, 2);
    FreedNames.clear();
    list.Items(1)->RemoveFromOwner();
    list.Clear();
    EXPECT_EQ(FreedNames, std::vector<QString>({"c", "b", "a"}));
    EXPECT_EQ(changes, 4);
}

TEST(Assign, CopiesEveryKindNestedObjectsAndListItemsByTheirClass) {
    TTestConfig source;
    source.SetCount(-3);
    source.Enabled = false;
    source.Shade = shVivid;
    source.Ratio = 0.25;
    source.Title = "Größe";
    source.Note = "日本語 😀";
    source.Shades = TShades{shDark};
    source.Big = -9000000000LL;
    source.Nested->Label = "inner";
    source.Shapes->Add(New<TTestShape>("s", 10));
    source.Shapes->Add(New<TTestCircle>("c", 0));
    source.Shapes->ItemAs<TTestCircle>(1)->Radius = 2.5;
    int sourceChanges = 0;
    source.OnChange = [&sourceChanges](TProjObj*) { ++sourceChanges; };

    TTestConfig target;
    target.Shapes->Add(New<TTestShape>("old", 1));
    target.Assign(source);
    EXPECT_EQ(target.Count(), -3);
    EXPECT_FALSE(target.Enabled);
    EXPECT_EQ(target.Shade, shVivid);
    EXPECT_EQ(target.Ratio, 0.25);
    EXPECT_EQ(target.Title, source.Title);
    EXPECT_EQ(target.Note, source.Note);
    EXPECT_EQ(target.Shades, TShades{shDark});
    EXPECT_EQ(target.Big, -9000000000LL);
    EXPECT_EQ(target.Nested->Label, "inner");
    EXPECT_EQ(Names(*target.Shapes), "sc");
    auto* circle = target.Shapes->ItemAs<TTestCircle>(1);
    ASSERT_NE(circle, nullptr);
    EXPECT_EQ(circle->Radius, 2.5);
    EXPECT_EQ(circle->Owner, target.Shapes.get());
    EXPECT_NE(circle, source.Shapes->Items(1));
    // The handler came along, and Assign ends with a change.
    EXPECT_TRUE(target.Modified);
    const int before = sourceChanges;
    target.SetCount(99);
    EXPECT_EQ(sourceChanges, before + 1);

    // Between classes, properties are matched by name; the rest stays.
    TTestCircle round;
    round.Radius = 9;
    round.Assign(*source.Shapes->Items(0));
    EXPECT_EQ(round.Name, "s");
    EXPECT_EQ(round.Width(), 10);
    EXPECT_EQ(round.Radius, 9);
}
