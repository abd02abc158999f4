#pragma once
// Property tables of persisted classes.
//
// A persisted class names its persisted state once, as an ordered table of properties (name,
// kind, accessors). The table of a class starts with the entries of its base class. The XML
// layer (BaseProj.h) walks these tables generically; it knows nothing of what a property means.
//
// Declaring a class:
//
//     class TCaption : public TProjObj {
//         VG_PERSISTENT(TCaption, TProjObj)
//     public:
//         explicit TCaption(TPersistent* owner = nullptr) : TProjObj(owner) { CreateSubObjects(); }
//         static void DeclareProps(TPropDecl<TCaption>& p) {
//             p.Integer("Left", &TCaption::FLeft, &TCaption::SetLeft) // setter: notifies on change
//                 .WideString("Text", &TCaption::Text)                 // direct field: never
//                 notifies .Object("Font", &TCaption::Font);                    //
//                 std::unique_ptr<TFontObj>
//         }
//         ...
//     };
//
// A getter is a data member or a const member function; a setter is a member function taking the
// value. Without a setter the property writes the data member directly. A class whose table holds
// object properties calls CreateSubObjects() in its constructor, so that every persisted
// sub-object exists for the whole life of its holder.

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <vector>

class TPersistent;
class TClassInfo;

// The kinds of persisted properties.
enum class TPropKind {
    Integer,     // 32-bit signed (counts, colours 0x00BBGGRR)
    Enumeration, // an enumerated type, Boolean included; written as the value's identifier
    Float,       // 64-bit floating point
    String,      // text
    WideString,  // text (kept apart from String so tables say what the original field was)
    Set,         // a set of members of an enumeration
    Int64,       // 64-bit signed
    Object,      // a reference to another object
};

// The identifiers of an enumerated type, by ordinal.
struct TEnumInfo {
    QString TypeName;
    QStringList Names;

    // The identifier of an ordinal; empty text for an ordinal outside the type.
    QString NameOf(qint64 ordinal) const;
    // The ordinal of an identifier, letters compared without regard to case; -1 when unknown.
    int OrdinalOf(const QString& identifier) const;
};

// Boolean as an enumeration: "False" and "True".
extern const TEnumInfo BooleanEnum;

// A set of members of an enumeration with at most 32 members, kept as bits by ordinal.
template <class E> class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> members) {
        for (E member : members)
            Include(member);
    }
    static constexpr TSet FromBits(quint32 bits) {
        TSet set;
        set.FBits = bits;
        return set;
    }
    constexpr quint32 Bits() const { return FBits; }
    constexpr bool Contains(E member) const { return (FBits & Bit(member)) != 0; }
    constexpr bool IsEmpty() const { return FBits == 0; }
    constexpr TSet& Include(E member) {
        FBits |= Bit(member);
        return *this;
    }
    constexpr TSet& Exclude(E member) {
        FBits &= ~Bit(member);
        return *this;
    }
    friend constexpr bool operator==(TSet a, TSet b) { return a.FBits == b.FBits; }

private:
    static constexpr quint32 Bit(E member) { return quint32(1) << static_cast<int>(member); }
    quint32 FBits = 0;
};

// Text forms of the property kinds.
namespace PropText {
// Decimal with "-" before negatives.
QString FromInt(qint64 value);
// Decimal number with up to 15 significant digits, always with "." ("1", "0.5", "-2.25").
QString FromFloat(double value);
// Member identifiers in ascending ordinal order joined by "," ("fsBold,fsItalic"); empty set: "".
QString FromSet(quint32 bits, const TEnumInfo& info);

// A decimal 32-bit integer, blanks around it allowed. False for anything else (empty text too).
bool ToInt32(const QString& text, int& value);
bool ToInt64(const QString& text, qint64& value);
// A finite decimal number written with "." or "," as the decimal separator.
bool ToFloat(const QString& text, double& value);
// Identifiers separated by "," or blanks, optionally inside "[" and "]", any letter case. False
// when one of them is not a member of the type.
bool ToSet(const QString& text, const TEnumInfo& info, quint32& bits);
} // namespace PropText

// One entry of a property table. The accessors take the object whose table it is (or an object
// of a derived class).
struct TPropInfo {
    QString Name;
    TPropKind Kind = TPropKind::Integer;
    const TEnumInfo* Enum = nullptr;                  // enumeration and set kinds
    const TClassInfo& (*ObjectClass)() = nullptr;     // object kind: the declared class
    std::function<qint64(const TPersistent&)> GetOrd; // integer, enumeration, set bits, 64-bit
    std::function<void(TPersistent&, qint64)> SetOrd;
    std::function<double(const TPersistent&)> GetFloat;
    std::function<void(TPersistent&, double)> SetFloat;
    std::function<QString(const TPersistent&)> GetText;
    std::function<void(TPersistent&, const QString&)> SetText;
    std::function<TPersistent*(const TPersistent&)> GetObject;
    // Stores a new object in the property; the holder owns it from then on.
    std::function<void(TPersistent&, std::unique_ptr<TPersistent>)> SetObject;
};

// What the layer knows of a persisted class: its name, its base, its property table, and how to
// make an instance of it (the virtual constructor).
class TClassInfo {
public:
    QString Name;
    const TClassInfo* Parent = nullptr;
    std::vector<TPropInfo> Props; // inherited entries first
    // Makes an instance with the given owner; empty for classes that cannot be made.
    std::function<std::unique_ptr<TPersistent>(TPersistent* owner)> Create;

    bool InheritsFrom(const TClassInfo& other) const;
    // The property of that name, letters compared without regard to case; null when none.
    const TPropInfo* FindProp(const QString& name) const;

    template <class C, class B> static TClassInfo Make(const char* name);
};

// The process's registry of persisted classes by class name, used when a list reads its items.
void RegisterProjClass(const TClassInfo& info);
// The registered class of that name (letters compared without regard to case); null when none.
const TClassInfo* FindProjClass(const QString& name);

// Raised inside the layer when loading cannot go on (an unregistered item class, nesting deeper
// than any settings file needs); the settings file's Load catches it.
class EPersistError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Builds the property table of class T, in declaration order.
template <class T> class TPropDecl {
public:
    explicit TPropDecl(std::vector<TPropInfo>& props) : FProps(props) {}

    template <class G, class S = std::nullptr_t>
    TPropDecl& Integer(const char* name, G get, S set = nullptr) {
        return Ordinal<int>(name, TPropKind::Integer, nullptr, get, set);
    }
    template <class G, class S = std::nullptr_t>
    TPropDecl& Int64(const char* name, G get, S set = nullptr) {
        return Ordinal<qint64>(name, TPropKind::Int64, nullptr, get, set);
    }
    template <class G, class S = std::nullptr_t>
    TPropDecl& Boolean(const char* name, G get, S set = nullptr) {
        return Ordinal<bool>(name, TPropKind::Enumeration, &BooleanEnum, get, set);
    }
    // An enumerated type E with the identifiers of `info`.
    template <class E, class G, class S = std::nullptr_t>
    TPropDecl& Enumeration(const char* name, const TEnumInfo& info, G get, S set = nullptr) {
        return Ordinal<E>(name, TPropKind::Enumeration, &info, get, set);
    }
    // A TSet<E> with the member identifiers of `info`.
    template <class G, class S = std::nullptr_t>
    TPropDecl& Set(const char* name, const TEnumInfo& info, G get, S set = nullptr) {
        TPropInfo p = Entry(name, TPropKind::Set);
        p.Enum = &info;
        p.GetOrd = [get](const TPersistent& o) { return static_cast<qint64>(Read(get, o).Bits()); };
        p.SetOrd = [get, set](TPersistent& o, qint64 bits) {
            using TSetType = std::decay_t<decltype(Read(get, o))>;
            Write(get, set, o, TSetType::FromBits(static_cast<quint32>(bits)));
        };
        FProps.push_back(std::move(p));
        return *this;
    }
    template <class G, class S = std::nullptr_t>
    TPropDecl& Float(const char* name, G get, S set = nullptr) {
        TPropInfo p = Entry(name, TPropKind::Float);
        p.GetFloat = [get](const TPersistent& o) { return static_cast<double>(Read(get, o)); };
        p.SetFloat = [get, set](TPersistent& o, double v) { Write(get, set, o, v); };
        FProps.push_back(std::move(p));
        return *this;
    }
    template <class G, class S = std::nullptr_t>
    TPropDecl& String(const char* name, G get, S set = nullptr) {
        return Text(name, TPropKind::String, get, set);
    }
    template <class G, class S = std::nullptr_t>
    TPropDecl& WideString(const char* name, G get, S set = nullptr) {
        return Text(name, TPropKind::WideString, get, set);
    }
    // An owned object held in a std::unique_ptr<C> data member; C is a TPersistent class.
    template <class C> TPropDecl& Object(const char* name, std::unique_ptr<C> T::*field) {
        TPropInfo p = Entry(name, TPropKind::Object);
        p.ObjectClass = &C::StaticClass;
        p.GetObject = [field](const TPersistent& o) -> TPersistent* {
            return (static_cast<const T&>(o).*field).get();
        };
        p.SetObject = [field](TPersistent& o, std::unique_ptr<TPersistent> value) {
            C* typed = dynamic_cast<C*>(value.get());
            if (typed)
                value.release();
            (static_cast<T&>(o).*field).reset(typed);
        };
        FProps.push_back(std::move(p));
        return *this;
    }

private:
    static TPropInfo Entry(const char* name, TPropKind kind) {
        TPropInfo p;
        p.Name = QString::fromLatin1(name);
        p.Kind = kind;
        return p;
    }
    template <class G> static decltype(auto) Read(G get, const TPersistent& o) {
        return std::invoke(get, static_cast<const T&>(o));
    }
    template <class G, class S, class V> static void Write(G get, S set, TPersistent& o, V value) {
        T& obj = static_cast<T&>(o);
        if constexpr (std::is_null_pointer_v<S>) {
            static_assert(std::is_member_object_pointer_v<G>,
                          "a property without a setter needs a data member as its getter");
            std::invoke(get, obj) = value;
        } else {
            std::invoke(set, obj, value);
        }
    }
    template <class V, class G, class S>
    TPropDecl& Ordinal(const char* name, TPropKind kind, const TEnumInfo* info, G get, S set) {
        TPropInfo p = Entry(name, kind);
        p.Enum = info;
        p.GetOrd = [get](const TPersistent& o) {
            return static_cast<qint64>(static_cast<V>(Read(get, o)));
        };
        p.SetOrd = [get, set](TPersistent& o, qint64 v) { Write(get, set, o, static_cast<V>(v)); };
        FProps.push_back(std::move(p));
        return *this;
    }
    template <class G, class S> TPropDecl& Text(const char* name, TPropKind kind, G get, S set) {
        TPropInfo p = Entry(name, kind);
        p.GetText = [get](const TPersistent& o) { return QString(Read(get, o)); };
        p.SetText = [get, set](TPersistent& o, const QString& v) { Write(get, set, o, v); };
        FProps.push_back(std::move(p));
        return *this;
    }

    std::vector<TPropInfo>& FProps;
};

// The root of every persisted class: a class name, a property table and a virtual Assign.
class TPersistent {
public:
    TPersistent() = default;
    TPersistent(const TPersistent&) = delete;
    TPersistent& operator=(const TPersistent&) = delete;
    virtual ~TPersistent() = default;

    // Copies the state of another object; the root copies nothing.
    virtual void Assign(const TPersistent& source) {}

    static const TClassInfo& StaticClass();
    virtual const TClassInfo& ClassInfo() const { return StaticClass(); }
    QString ClassName() const;
    static void DeclareProps(TPropDecl<TPersistent>&) {}
};

// Declares a persisted class inside its body: its class information with the property table
// built from the base's table followed by the class's own DeclareProps (when it has one).
#define VG_PERSISTENT(ClassName, BaseName)                                                         \
public:                                                                                            \
    using inherited = BaseName;                                                                    \
    static const TClassInfo& StaticClass() {                                                       \
        static const TClassInfo info = TClassInfo::Make<ClassName, BaseName>(#ClassName);          \
        return info;                                                                               \
    }                                                                                              \
    const TClassInfo& ClassInfo() const override {                                                 \
        return StaticClass();                                                                      \
    }

template <class C, class B> TClassInfo TClassInfo::Make(const char* name) {
    static_assert(std::is_base_of_v<B, C>, "the base named must be the class's base");
    TClassInfo info;
    info.Name = QString::fromLatin1(name);
    info.Parent = &B::StaticClass();
    info.Props = B::StaticClass().Props;
    // A class without a DeclareProps of its own adds nothing to its base's table.
    if constexpr (!std::is_same_v<decltype(&C::DeclareProps), decltype(&B::DeclareProps)>) {
        TPropDecl<C> decl(info.Props);
        C::DeclareProps(decl);
    }
    if constexpr (!std::is_abstract_v<C>) {
        if constexpr (std::is_constructible_v<C, TPersistent*>)
            info.Create = [](TPersistent* owner) -> std::unique_ptr<TPersistent> {
                return std::make_unique<C>(owner);
            };
        else if constexpr (std::is_default_constructible_v<C>)
            info.Create = [](TPersistent*) -> std::unique_ptr<TPersistent> {
                return std::make_unique<C>();
            };
    }
    return info;
}
