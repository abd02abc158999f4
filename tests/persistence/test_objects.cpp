// Change notification, owning lists and Assign.

#include "tests/persistence/TestClasses.h"

#include <gtest/gtest.h>

namespace {
TTestShape* NewShape(const QString& name, int width) {
    auto* shape = new TTestShape;
    shape->Name = name;
    shape->SetWidth(width);
    return shape;
}
TTestCircle* NewCircle(const QString& name, double radius) {
    auto* circle = new TTestCircle;
    circle->Name = name;
    circle->Radius = radius;
    return circle;
}
} // namespace

TEST(ProjObj, SubObjectsExistAndBelongToTheirHolder) {
    TTestConfig config;
    ASSERT_NE(config.Nested, nullptr);
    ASSERT_NE(config.Shapes, nullptr);
    EXPECT_EQ(config.Nested->Owner, &config);
    EXPECT_EQ(config.Shapes->Owner, &config);
    EXPECT_EQ(config.Owner, nullptr);
    EXPECT_FALSE(config.Modified);
    EXPECT_FALSE(config.Nested->Modified);
}

TEST(ProjObj, SettersNotifyOnlyOnChangeAndDirectFieldsNever) {
    TTestConfig config;
    std::vector<TProjObj*> senders;
    config.OnChange = [&senders](TProjObj* sender) { senders.push_back(sender); };

    config.SetCount(config.Count()); // same value: nothing
    EXPECT_TRUE(senders.empty());
    EXPECT_FALSE(config.Modified);

    config.SetPropText(QStringLiteral("Enabled"), QStringLiteral("False"),
                       TPropKind::Enumeration); // direct field: never notifies
    EXPECT_FALSE(config.Enabled);
    EXPECT_TRUE(senders.empty());

    config.SetCount(8);
    ASSERT_EQ(senders.size(), 1u);
    EXPECT_EQ(senders[0], &config);
    EXPECT_TRUE(config.Modified);
}

TEST(ProjObj, ChangesClimbFromItemsThroughListsToTheTop) {
    TTestConfig config;
    TTestShape* shape = NewShape(QStringLiteral("a"), 1);
    config.Shapes->Add(shape);
    EXPECT_EQ(shape->Owner, config.Shapes.get());
    EXPECT_TRUE(config.Modified); // Add notified through the list

    config.Modified = false;
    config.Shapes->Modified = false;
    int topCalls = 0;
    TProjObj* lastSender = nullptr;
    config.OnChange = [&](TProjObj* sender) {
        ++topCalls;
        lastSender = sender;
    };
    shape->SetWidth(5);
    EXPECT_TRUE(shape->Modified);
    EXPECT_TRUE(config.Shapes->Modified);
    EXPECT_TRUE(config.Modified);
    EXPECT_EQ(topCalls, 1);
    EXPECT_EQ(lastSender, &config);

    // A nested object's change reaches its holder as well.
    config.Modified = false;
    config.Nested->Changed();
    EXPECT_TRUE(config.Modified);
    EXPECT_EQ(topCalls, 2);

    // While the holder loads, changes stop there.
    config.Modified = false;
    config.Loading = true;
    shape->SetWidth(6);
    config.Loading = false;
    EXPECT_FALSE(config.Modified);
    EXPECT_EQ(topCalls, 2);
}

TEST(BaseObjList, DeletingFreesExtractingDoesNotAndDestructionFreesLastFirst) {
    FreedNames.clear();
    auto list = std::make_unique<TTestShapes>();
    list->Add(NewShape(QStringLiteral("a"), 1));
    list->Add(NewCircle(QStringLiteral("b"), 2));
    list->Insert(1, NewShape(QStringLiteral("c"), 3));
    ASSERT_EQ(list->Count(), 3);
    EXPECT_EQ(list->ItemAs<TTestShape>(1)->Name, QStringLiteral("c"));
    EXPECT_EQ(list->Items(2)->IndexInOwner(), 2);

    list->Delete(1);
    EXPECT_EQ(FreedNames, std::vector<QString>({QStringLiteral("c")}));
    ASSERT_EQ(list->Count(), 2);

    TPersistent* extracted = list->List.Extract(list->Items(0));
    ASSERT_NE(extracted, nullptr);
    EXPECT_EQ(list->Count(), 1);
    EXPECT_EQ(FreedNames.size(), 1u); // extracted, not freed
    std::unique_ptr<TPersistent> keep(extracted);

    list->Add(NewShape(QStringLiteral("d"), 4));
    list->Add(NewShape(QStringLiteral("e"), 5));
    list.reset();
    EXPECT_EQ(FreedNames, std::vector<QString>({QStringLiteral("c"), QStringLiteral("e"),
                                                QStringLiteral("d"), QStringLiteral("b")}));
    keep.reset();
    EXPECT_EQ(FreedNames.back(), QStringLiteral("a"));
}

TEST(BaseObjList, ReorderingRemovingAndBadIndicesNotify) {
    TTestConfig config;
    TTestShapes& list = *config.Shapes;
    for (const char* name : {"a", "b", "c"})
        list.Add(NewShape(QString::fromLatin1(name), 0));
    auto names = [&list] {
        QString s;
        for (int i = 0; i < list.Count(); ++i)
            s += list.ItemAs<TTestShape>(i)->Name;
        return s;
    };
    int changes = 0;
    config.OnChange = [&changes](TProjObj*) { ++changes; };

    list.Move(0, 2);
    EXPECT_EQ(names(), QStringLiteral("bca"));
    list.Exchange(0, 2);
    EXPECT_EQ(names(), QStringLiteral("acb"));
    EXPECT_EQ(changes, 2);

    // Indices outside the list change nothing and notify nothing.
    list.Delete(3);
    list.Delete(-1);
    list.Move(0, 3);
    list.Exchange(-1, 0);
    EXPECT_EQ(names(), QStringLiteral("acb"));
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(list.Items(3), nullptr);

    FreedNames.clear();
    list.Items(1)->RemoveFromOwner();
    EXPECT_EQ(names(), QStringLiteral("ab"));
    EXPECT_EQ(FreedNames, std::vector<QString>({QStringLiteral("c")}));
    EXPECT_EQ(changes, 3);

    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(FreedNames.size(), 3u);
    EXPECT_EQ(changes, 4);

    // An object outside any list is not removed by anyone.
    TTestShape loose;
    loose.RemoveFromOwner();
    EXPECT_EQ(loose.IndexInOwner(), -1);
}

TEST(Assign, CopiesEveryKindNestedObjectsAndListItemsByTheirClass) {
    TTestConfig source;
    source.SetCount(-3);
    source.Enabled = false;
    source.Shade = shVivid;
    source.Ratio = 0.25;
    source.Title = QStringLiteral("Größe");
    source.Note = QStringLiteral("日本語 😀");
    source.Shades = TShades{shDark};
    source.Big = -9000000000LL;
    source.Nested->Depth = 4;
    source.Nested->Label = QStringLiteral("inner");
    source.Shapes->Add(NewShape(QStringLiteral("s"), 10));
    source.Shapes->Add(NewCircle(QStringLiteral("c"), 2.5));
    int sourceChanges = 0;
    source.OnChange = [&sourceChanges](TProjObj*) { ++sourceChanges; };

    TTestConfig target;
    target.Shapes->Add(NewShape(QStringLiteral("old"), 1));
    target.Assign(source);

    EXPECT_EQ(target.Count(), -3);
    EXPECT_FALSE(target.Enabled);
    EXPECT_EQ(target.Shade, shVivid);
    EXPECT_DOUBLE_EQ(target.Ratio, 0.25);
    EXPECT_EQ(target.Title, source.Title);
    EXPECT_EQ(target.Note, source.Note);
    EXPECT_EQ(target.Shades, TShades{shDark});
    EXPECT_EQ(target.Big, -9000000000LL);
    EXPECT_EQ(target.Nested->Depth, 4);
    EXPECT_EQ(target.Nested->Label, QStringLiteral("inner"));
    EXPECT_NE(target.Nested.get(), source.Nested.get());
    ASSERT_EQ(target.Shapes->Count(), 2);
    EXPECT_EQ(target.Shapes->Items(0)->ClassName(), QStringLiteral("TTestShape"));
    EXPECT_EQ(target.Shapes->ItemAs<TTestShape>(0)->Width(), 10);
    auto* circle = target.Shapes->ItemAs<TTestCircle>(1);
    ASSERT_NE(circle, nullptr);
    EXPECT_DOUBLE_EQ(circle->Radius, 2.5);
    EXPECT_EQ(circle->Owner, target.Shapes.get());
    EXPECT_NE(target.Shapes->Items(0), source.Shapes->Items(0));

    // The handler was copied and Assign ends with a change notification.
    ASSERT_TRUE(static_cast<bool>(target.OnChange));
    EXPECT_TRUE(target.Modified);
    const int before = sourceChanges;
    target.SetCount(99);
    EXPECT_EQ(sourceChanges, before + 1);
    EXPECT_EQ(source.Count(), -3);
}

TEST(Assign, MatchesPropertiesByNameAcrossClasses) {
    TTestCircle circle;
    circle.Name = QStringLiteral("round");
    circle.SetWidth(12);
    circle.Radius = 3;
    TTestShape shape;
    shape.Assign(circle); // Radius has no counterpart: skipped
    EXPECT_EQ(shape.Name, QStringLiteral("round"));
    EXPECT_EQ(shape.Width(), 12);

    TTestCircle back;
    back.Radius = 9;
    back.Assign(shape);
    EXPECT_DOUBLE_EQ(back.Radius, 9); // no Radius in the source: kept
    EXPECT_EQ(back.Width(), 12);
}
