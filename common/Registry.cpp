#include "common/Registry.h"

#include <QCoreApplication>
#include <QFile>
#include <QMutex>
#include <QSaveFile>

namespace {
QMutex fileNameLock;
QString& overrideFileName() {
    static QString name;
    return name;
}
} // namespace

TRegistryStore::TSection* TRegistryStore::FindSection(const QString& keyPath) {
    for (auto& section : FSections)
        if (section.KeyPath.compare(keyPath, Qt::CaseInsensitive) == 0)
            return &section;
    return nullptr;
}

const TRegistryStore::TSection* TRegistryStore::FindSection(const QString& keyPath) const {
    return const_cast<TRegistryStore*>(this)->FindSection(keyPath);
}

void TRegistryStore::ParseText(const QString& text) {
    FSections.clear();
    TSection* current = nullptr;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) ||
            line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            const QString keyPath = line.mid(1, line.size() - 2).trimmed();
            current = FindSection(keyPath);
            if (!current) {
                FSections.push_back({keyPath, {}});
                current = &FSections.back();
            }
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!current || eq <= 0)
            continue;
        const QString name = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        bool replaced = false;
        for (auto& entry : current->Entries) {
            if (entry.Name.compare(name, Qt::CaseInsensitive) == 0) {
                entry.Value = value;
                replaced = true;
            }
        }
        if (!replaced)
            current->Entries.push_back({name, value});
    }
}

QString TRegistryStore::ToText() const {
    QString text;
    for (const auto& section : FSections) {
        text += QLatin1Char('[') + section.KeyPath + QLatin1String("]\n");
        for (const auto& entry : section.Entries)
            text += entry.Name + QLatin1Char('=') + entry.Value + QLatin1Char('\n');
        text += QLatin1Char('\n');
    }
    return text;
}

bool TRegistryStore::LoadFromFile(const QString& fileName) {
    FSections.clear();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // The file is small; anything larger than this is not ours.
    if (file.size() > 1024 * 1024)
        return false;
    ParseText(QString::fromUtf8(file.readAll()));
    return true;
}

bool TRegistryStore::SaveToFile(const QString& fileName) const {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(ToText().toUtf8());
    return file.commit();
}

QString TRegistryStore::Value(const QString& keyPath, const QString& valueName) const {
    if (const TSection* section = FindSection(keyPath))
        for (const auto& entry : section->Entries)
            if (entry.Name.compare(valueName, Qt::CaseInsensitive) == 0)
                return entry.Value;
    return {};
}

bool TRegistryStore::HasValue(const QString& keyPath, const QString& valueName) const {
    if (const TSection* section = FindSection(keyPath))
        for (const auto& entry : section->Entries)
            if (entry.Name.compare(valueName, Qt::CaseInsensitive) == 0)
                return true;
    return false;
}

void TRegistryStore::SetValue(const QString& keyPath, const QString& valueName,
                              const QString& value) {
    TSection* section = FindSection(keyPath);
    if (!section) {
        FSections.push_back({keyPath, {}});
        section = &FSections.back();
    }
    for (auto& entry : section->Entries) {
        if (entry.Name.compare(valueName, Qt::CaseInsensitive) == 0) {
            entry.Value = value;
            return;
        }
    }
    section->Entries.push_back({valueName, value});
}

QString RegistryFileName() {
    {
        QMutexLocker locker(&fileNameLock);
        if (!overrideFileName().isEmpty())
            return overrideFileName();
    }
    return QCoreApplication::applicationDirPath() + QLatin1String("/registry.ini");
}

void SetRegistryFileName(const QString& fileName) {
    QMutexLocker locker(&fileNameLock);
    overrideFileName() = fileName;
}

QString ReadRegString(TRegRoot root, const QString& keyPath, const QString& valueName) {
    if (root != TRegRoot::LocalMachine)
        return {};
    TRegistryStore store;
    if (!store.LoadFromFile(RegistryFileName()))
        return {};
    return store.Value(keyPath, valueName);
}
