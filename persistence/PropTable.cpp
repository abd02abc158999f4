#include "persistence/PropTable.h"

#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <cmath>

const TEnumInfo BooleanEnum{QStringLiteral("Boolean"),
                            {QStringLiteral("False"), QStringLiteral("True")}};

QString TEnumInfo::NameOf(qint64 ordinal) const {
    if (ordinal < 0 || ordinal >= Names.size())
        return {};
    return Names.at(static_cast<qsizetype>(ordinal));
}

int TEnumInfo::OrdinalOf(const QString& identifier) const {
    for (qsizetype i = 0; i < Names.size(); ++i)
        if (Names.at(i).compare(identifier, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

namespace PropText {

QString FromInt(qint64 value) {
    return QString::number(value);
}

QString FromFloat(double value) {
    // The C locale: "." whatever the user's locale is, no group separators. Up to 15 significant
    // digits, trailing zeros dropped ("1", "0.5").
    return QLocale::c().toString(value, 'g', 15);
}

QString FromSet(quint32 bits, const TEnumInfo& info) {
    QStringList members;
    for (qsizetype i = 0; i < info.Names.size() && i < 32; ++i)
        if (bits & (quint32(1) << i))
            members.append(info.Names.at(i));
    return members.join(QLatin1Char(','));
}

bool ToInt32(const QString& text, int& value) {
    bool ok = false;
    const int result = text.trimmed().toInt(&ok, 10);
    if (ok)
        value = result;
    return ok;
}

bool ToInt64(const QString& text, qint64& value) {
    bool ok = false;
    const qint64 result = text.trimmed().toLongLong(&ok, 10);
    if (ok)
        value = result;
    return ok;
}

bool ToFloat(const QString& text, double& value) {
    QString t = text.trimmed();
    // A file written where "," is the decimal separator: take it as the separator when the text
    // has no "." and exactly one ",".
    if (!t.contains(QLatin1Char('.')) && t.count(QLatin1Char(',')) == 1)
        t.replace(QLatin1Char(','), QLatin1Char('.'));
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double result = c.toDouble(t, &ok);
    if (!ok || !std::isfinite(result))
        return false;
    value = result;
    return true;
}

bool ToSet(const QString& text, const TEnumInfo& info, quint32& bits) {
    QString t = text.trimmed();
    if (t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']')))
        t = t.mid(1, t.size() - 2);
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    const QStringList parts = t.split(separators, Qt::SkipEmptyParts);
    quint32 result = 0;
    for (const QString& part : parts) {
        const int ordinal = info.OrdinalOf(part);
        if (ordinal < 0 || ordinal >= 32)
            return false;
        result |= quint32(1) << ordinal;
    }
    bits = result;
    return true;
}

} // namespace PropText

bool TClassInfo::InheritsFrom(const TClassInfo& other) const {
    for (const TClassInfo* c = this; c; c = c->Parent)
        if (c == &other)
            return true;
    return false;
}

const TPropInfo* TClassInfo::FindProp(const QString& name) const {
    for (const TPropInfo& p : Props)
        if (p.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

namespace {
QHash<QString, const TClassInfo*>& classRegistry() {
    static QHash<QString, const TClassInfo*> registry;
    return registry;
}
} // namespace

void RegisterProjClass(const TClassInfo& info) {
    classRegistry().insert(info.Name.toLower(), &info);
}

const TClassInfo* FindProjClass(const QString& name) {
    return classRegistry().value(name.toLower(), nullptr);
}

const TClassInfo& TPersistent::StaticClass() {
    static const TClassInfo info = [] {
        TClassInfo root;
        root.Name = QStringLiteral("TPersistent");
        return root;
    }();
    return info;
}

QString TPersistent::ClassName() const {
    return ClassInfo().Name;
}
