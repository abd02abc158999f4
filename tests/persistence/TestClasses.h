#pragma once
// Small persisted classes that exercise every part of the layer: every property kind, setters
// that notify, a nested object, a list of two item classes, an object of a class that is not
// persisted, and a class that holds a list of itself.

#include "persistence/BaseProj.h"

#include <QString>
#include <vector>

enum TShade { shLight, shDark, shVivid };
extern const TEnumInfo ShadeEnum;
using TShades = TSet<TShade>;

// Counts destructions so tests can see which objects were freed.
extern std::vector<QString> FreedNames;

class TTestNested : public TProjObj {
    VG_PERSISTENT(TTestNested, TProjObj)
public:
    explicit TTestNested(TPersistent* owner = nullptr) : TProjObj(owner) {}
    int Depth = 0;
    QString Label;
    static void DeclareProps(TPropDecl<TTestNested>& p) {
        p.Integer("Depth", &TTestNested::Depth).WideString("Label", &TTestNested::Label);
    }
};

// First list item class: a width behind a setter that notifies, and a direct name.
class TTestShape : public TProjObj {
    VG_PERSISTENT(TTestShape, TProjObj)
public:
    explicit TTestShape(TPersistent* owner = nullptr) : TProjObj(owner) {}
    ~TTestShape() override { FreedNames.push_back(Name); }
    int Width() const { return FWidth; }
    void SetWidth(int value) {
        if (value == FWidth)
            return;
        FWidth = value;
        Changed();
    }
    QString Name;
    static void DeclareProps(TPropDecl<TTestShape>& p) {
        p.Integer("Width", &TTestShape::FWidth, &TTestShape::SetWidth)
            .String("Name", &TTestShape::Name);
    }

private:
    int FWidth = 0;
};

// Second item class, derived from the first: its table starts with the inherited entries.
class TTestCircle : public TTestShape {
    VG_PERSISTENT(TTestCircle, TTestShape)
public:
    explicit TTestCircle(TPersistent* owner = nullptr) : TTestShape(owner) {}
    double Radius = 0;
    static void DeclareProps(TPropDecl<TTestCircle>& p) { p.Float("Radius", &TTestCircle::Radius); }
};

class TTestShapes : public TBaseObjList {
    VG_PERSISTENT(TTestShapes, TBaseObjList)
public:
    explicit TTestShapes(TPersistent* owner = nullptr) : TBaseObjList(owner) {}
};

// A class of the root kind that is neither a persisted object nor a list: never written.
class TTestPlain : public TPersistent {
    VG_PERSISTENT(TTestPlain, TPersistent)
public:
    int Value = 0;
};

// Every property kind, as a settings file.
class TTestConfig : public TBaseConfig {
    VG_PERSISTENT(TTestConfig, TBaseConfig)
public:
    TTestConfig();
    int Count() const { return FCount; }
    void SetCount(int value) {
        if (value == FCount)
            return;
        FCount = value;
        Changed();
    }
    bool Enabled = true;
    TShade Shade = shDark;
    double Ratio = 1.5;
    QString Title = QStringLiteral("title");
    QString Note;
    TShades Shades{shLight, shVivid};
    qint64 Big = 5000000000LL;
    std::unique_ptr<TTestNested> Nested;
    std::unique_ptr<TTestShapes> Shapes;
    std::unique_ptr<TTestPlain> Plain;
    static void DeclareProps(TPropDecl<TTestConfig>& p);

private:
    int FCount = 7;
};

// A tree: each node holds a list of nodes.
class TTestNode : public TProjObj {
    VG_PERSISTENT(TTestNode, TProjObj)
public:
    explicit TTestNode(TPersistent* owner = nullptr);
    int Tag = 0;
    std::unique_ptr<TBaseObjList> Children;
    static void DeclareProps(TPropDecl<TTestNode>& p);
};

// Registers the item classes (TTestShape, TTestCircle, TTestNode).
void RegisterTestClasses();

// A new item with a name and a width.
template <class T> T* New(const QString& name, int width) {
    auto* item = new T;
    item->Name = name;
    item->SetWidth(width);
    return item;
}
// The names of a list's items, joined.
QString Names(const TBaseObjList& list);
