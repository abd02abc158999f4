// Property tables and the text forms of the property kinds.

#include "tests/persistence/TestClasses.h"

#include <QLocale>
#include <gtest/gtest.h>
#include <limits>

namespace {
QStringList PropNames(const TClassInfo& info) {
    QStringList names;
    for (const TPropInfo& p : info.Props)
        names.append(p.Name);
    return names;
}
} // namespace

TEST(PropTable, InheritedEntriesComeFirstInDeclarationOrder) {
    EXPECT_EQ(PropNames(TTestShape::StaticClass()),
              QStringList({QStringLiteral("Width"), QStringLiteral("Name")}));
    EXPECT_EQ(
        PropNames(TTestCircle::StaticClass()),
        QStringList({QStringLiteral("Width"), QStringLiteral("Name"), QStringLiteral("Radius")}));
    // A class without a table of its own has exactly its base's entries.
    EXPECT_EQ(TTestShapes::StaticClass().Props.size(), 0u);
    EXPECT_EQ(TBaseConfig::StaticClass().Props.size(), 0u);
    EXPECT_EQ(PropNames(TTestConfig::StaticClass()).size(), 11);
    EXPECT_EQ(TTestConfig::StaticClass().Parent, &TBaseConfig::StaticClass());
}

TEST(PropTable, ClassInformationNamesKindsAndMakesInstances) {
    const TClassInfo& circle = TTestCircle::StaticClass();
    EXPECT_EQ(circle.Name, QStringLiteral("TTestCircle"));
    EXPECT_TRUE(circle.InheritsFrom(TTestShape::StaticClass()));
    EXPECT_TRUE(circle.InheritsFrom(TProjObj::StaticClass()));
    EXPECT_FALSE(circle.InheritsFrom(TBaseObjList::StaticClass()));
    EXPECT_FALSE(TTestShape::StaticClass().InheritsFrom(circle));

    // The virtual constructor makes the class itself, with the owner given.
    TTestShapes owner;
    std::unique_ptr<TPersistent> made = circle.Create(&owner);
    auto* asCircle = dynamic_cast<TTestCircle*>(made.get());
    ASSERT_NE(asCircle, nullptr);
    EXPECT_EQ(asCircle->Owner, &owner);
    EXPECT_EQ(made->ClassName(), QStringLiteral("TTestCircle"));

    const TPropInfo* radius = circle.FindProp(QStringLiteral("rADIUS"));
    ASSERT_NE(radius, nullptr);
    EXPECT_EQ(radius->Kind, TPropKind::Float);
    EXPECT_EQ(circle.FindProp(QStringLiteral("Radius2")), nullptr);
}

TEST(PropTable, RegistryFindsClassesByNameInAnyLetterCase) {
    RegisterTestClasses();
    EXPECT_EQ(FindProjClass(QStringLiteral("TTestCircle")), &TTestCircle::StaticClass());
    EXPECT_EQ(FindProjClass(QStringLiteral("ttestshape")), &TTestShape::StaticClass());
    EXPECT_EQ(FindProjClass(QStringLiteral("TTestNested")), nullptr); // never registered
}

TEST(PropText, IntegersAreDecimalAndAnythingElseFails) {
    int value = 42;
    EXPECT_TRUE(PropText::ToInt32(QStringLiteral(" -17 "), value));
    EXPECT_EQ(value, -17);
    EXPECT_TRUE(PropText::ToInt32(QStringLiteral("2147483647"), value));
    EXPECT_EQ(value, std::numeric_limits<int>::max());
    for (const char* bad : {"", "   ", "2147483648", "12abc", "1.0", "0x10", "$FF"}) {
        value = 42;
        EXPECT_FALSE(PropText::ToInt32(QString::fromLatin1(bad), value)) << bad;
        EXPECT_EQ(value, 42) << bad;
    }
    qint64 big = 0;
    EXPECT_TRUE(PropText::ToInt64(QStringLiteral("-9223372036854775808"), big));
    EXPECT_EQ(big, std::numeric_limits<qint64>::min());
    EXPECT_FALSE(PropText::ToInt64(QStringLiteral("9223372036854775808"), big));
    EXPECT_EQ(PropText::FromInt(-255), QStringLiteral("-255"));
    EXPECT_EQ(PropText::FromInt(16777215), QStringLiteral("16777215"));
}

TEST(PropText, FloatsAreWrittenWithAPointWhateverTheLocale) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(PropText::FromFloat(1.0), QStringLiteral("1"));
    EXPECT_EQ(PropText::FromFloat(0.5), QStringLiteral("0.5"));
    EXPECT_EQ(PropText::FromFloat(1234567.25), QStringLiteral("1234567.25"));
    EXPECT_EQ(PropText::FromFloat(-0.2), QStringLiteral("-0.2"));
    // 15 significant digits: 0.1 + 0.2 is written as 0.3.
    EXPECT_EQ(PropText::FromFloat(0.1 + 0.2), QStringLiteral("0.3"));
    QLocale::setDefault(saved);
}

TEST(PropText, FloatsAreReadWithAPointOrAComma) {
    double value = 0;
    EXPECT_TRUE(PropText::ToFloat(QStringLiteral("1.5"), value));
    EXPECT_DOUBLE_EQ(value, 1.5);
    EXPECT_TRUE(PropText::ToFloat(QStringLiteral("1,5"), value));
    EXPECT_DOUBLE_EQ(value, 1.5);
    EXPECT_TRUE(PropText::ToFloat(QStringLiteral(" 2e3 "), value));
    EXPECT_DOUBLE_EQ(value, 2000);
    for (const char* bad : {"", "abc", "1,000.5", "1.2.3", "1,2,3", "nan", "inf", "1e999"}) {
        value = 7;
        EXPECT_FALSE(PropText::ToFloat(QString::fromLatin1(bad), value)) << bad;
        EXPECT_EQ(value, 7) << bad;
    }
}

TEST(PropText, SetsAreWrittenInOrdinalOrderAndReadInEverySpelling) {
    EXPECT_EQ(PropText::FromSet(TShades{shVivid, shLight}.Bits(), ShadeEnum),
              QStringLiteral("shLight,shVivid"));
    EXPECT_EQ(PropText::FromSet(0, ShadeEnum), QString());

    const quint32 expected = TShades{shLight, shDark}.Bits();
    for (const char* spelling : {"shLight,shDark", "[shLight, shDark]", "shDark shLight",
                                 "SHLIGHT,shdark", " [ shDark ,shLight ] "}) {
        quint32 bits = 0;
        EXPECT_TRUE(PropText::ToSet(QString::fromLatin1(spelling), ShadeEnum, bits)) << spelling;
        EXPECT_EQ(bits, expected) << spelling;
    }
    quint32 bits = 99;
    EXPECT_TRUE(PropText::ToSet(QStringLiteral("[]"), ShadeEnum, bits));
    EXPECT_EQ(bits, 0u);
    bits = 99;
    EXPECT_FALSE(PropText::ToSet(QStringLiteral("shLight,shPale"), ShadeEnum, bits));
    EXPECT_EQ(bits, 99u);
}

TEST(PropText, EnumerationIdentifiersIgnoreLetterCase) {
    EXPECT_EQ(BooleanEnum.OrdinalOf(QStringLiteral("tRUE")), 1);
    EXPECT_EQ(BooleanEnum.OrdinalOf(QStringLiteral("false")), 0);
    EXPECT_EQ(BooleanEnum.OrdinalOf(QStringLiteral("1")), -1);
    EXPECT_EQ(ShadeEnum.NameOf(2), QStringLiteral("shVivid"));
    EXPECT_EQ(ShadeEnum.NameOf(3), QString());
    EXPECT_EQ(ShadeEnum.NameOf(-1), QString());
}
