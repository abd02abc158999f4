#include "tests/persistence/TestClasses.h"

const TEnumInfo ShadeEnum{
    QStringLiteral("TShade"),
    {QStringLiteral("shLight"), QStringLiteral("shDark"), QStringLiteral("shVivid")}};

std::vector<QString> FreedNames;

TTestConfig::TTestConfig() {
    ProjName = QStringLiteral("Test");
    CreateSubObjects();
    Plain = std::make_unique<TTestPlain>();
}

void TTestConfig::DeclareProps(TPropDecl<TTestConfig>& p) {
    p.Integer("Count", &TTestConfig::FCount, &TTestConfig::SetCount)
        .Boolean("Enabled", &TTestConfig::Enabled)
        .Enumeration<TShade>("Shade", ShadeEnum, &TTestConfig::Shade)
        .Float("Ratio", &TTestConfig::Ratio)
        .String("Title", &TTestConfig::Title)
        .WideString("Note", &TTestConfig::Note)
        .Set("Shades", ShadeEnum, &TTestConfig::Shades)
        .Int64("Big", &TTestConfig::Big)
        .Object("Nested", &TTestConfig::Nested)
        .Object("Shapes", &TTestConfig::Shapes)
        .Object("Plain", &TTestConfig::Plain);
}

TTestNode::TTestNode(TPersistent* owner) : TProjObj(owner) {
    CreateSubObjects();
}

void TTestNode::DeclareProps(TPropDecl<TTestNode>& p) {
    p.Integer("Tag", &TTestNode::Tag).Object("Children", &TTestNode::Children);
}

void RegisterTestClasses() {
    RegisterProjClass(TTestShape::StaticClass());
    RegisterProjClass(TTestCircle::StaticClass());
    RegisterProjClass(TTestNode::StaticClass());
}

QString Names(const TBaseObjList& list) {
    QString names;
    for (int i = 0; i < list.Count(); ++i)
        names += list.ItemAs<TTestShape>(i)->Name;
    return names;
}
