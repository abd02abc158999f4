#pragma once
// The installer's registry values, kept in "registry.ini" in the program folder.
//
// Each section is a key path below HKEY_LOCAL_MACHINE ("SOFTWARE\Classes\..."), each entry a text
// value. Key paths and value names are matched without regard to letter case, as the registry
// does. Only HKEY_LOCAL_MACHINE exists in this store.

#include <QString>
#include <QStringList>
#include <map>

enum class TRegRoot { LocalMachine, CurrentUser };

// One INI file of key paths and text values.
class TRegistryStore {
public:
    // Reads the file; a missing or unreadable file gives an empty store. Returns false then.
    bool LoadFromFile(const QString& fileName);
    // Writes the whole store atomically. Returns false when the file cannot be written.
    [[nodiscard]] bool SaveToFile(const QString& fileName) const;

    QString Value(const QString& keyPath, const QString& valueName) const;
    void SetValue(const QString& keyPath, const QString& valueName, const QString& value);
    bool HasValue(const QString& keyPath, const QString& valueName) const;

    void ParseText(const QString& text);
    QString ToText() const;

private:
    struct TEntry {
        QString Name;
        QString Value;
    };
    struct TSection {
        QString KeyPath;
        std::vector<TEntry> Entries;
    };
    TSection* FindSection(const QString& keyPath);
    const TSection* FindSection(const QString& keyPath) const;
    std::vector<TSection> FSections;
};

// The file the program reads: the program folder's "registry.ini" unless a test points elsewhere.
QString RegistryFileName();
void SetRegistryFileName(const QString& fileName); // empty restores the default

// The text of a value; empty text when the file, the key or the value is missing.
QString ReadRegString(TRegRoot root, const QString& keyPath, const QString& valueName);
