#pragma once
// The language file: texts of the user interface replaced from "Languages/<name>.xml" in the
// program folder. The root element carries the language's "Id"; every child element is one
// entry, its name the key and its text the translation.

#include <QString>
#include <memory>

class QByteArray;
class QDomDocument;

class TLanguage {
public:
    // `appPath` is the program folder ending in "/"; empty: the folder of the executable.
    explicit TLanguage(const QString& appPath = {});
    ~TLanguage();
    TLanguage(const TLanguage&) = delete;
    TLanguage& operator=(const TLanguage&) = delete;

    // Loads "Languages/<name>.xml". A missing file changes nothing but LoadTried; a file that
    // does not parse (or is too large or too deeply nested to be a language file) shows a
    // message box, sets LoadFailed for good and drops the document held.
    bool LoadLanguage(const QString& name);
    // Reads the bytes of a language file as LoadLanguage reads the file's, failures included;
    // the name and file stay as they were.
    bool LoadLanguageData(const QByteArray& data);
    // Whether a language file is active (tries the current name first when nothing was tried).
    bool IsLoaded();
    // The text of the first entry whose name equals `key` exactly; empty when there is none.
    QString GetText(const QString& key);

    // The path LoadLanguage reads for `name`.
    QString LanguagePath(const QString& name) const;

    QString LanguageName = QStringLiteral("Default");
    bool LoadTried = false;
    bool LoadFailed = false;
    QString LanguageId;
    QString LanguageFile;

private:
    QString FAppPath;
    std::unique_ptr<QDomDocument> FDocument;
};

// The one language object of the process: the application core sets it while it lives (from
// InitializeApp to its end), none before and after.
extern TLanguage* Language;

// GetText of the global language object; empty text when there is none.
QString GetLanguageText(const QString& key);

// The text of the box shown when a language file exists but cannot be read.
inline constexpr const char* LanguageLoadFailedText = "Load language failed, please check!";
