#include "localisation/Language.h"

#include "common/MsgBox.h"
#include "common/XmlBuffer.h"

#include <QCoreApplication>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>

TLanguage* Language = nullptr;

TLanguage::TLanguage(const QString& appPath) : FAppPath(appPath) {
    if (FAppPath.isEmpty())
        FAppPath = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    if (!FAppPath.endsWith(QLatin1Char('/')))
        FAppPath += QLatin1Char('/');
}

TLanguage::~TLanguage() = default;

QString TLanguage::LanguagePath(const QString& name) const {
    return FAppPath + QLatin1String("Languages/") + name + QLatin1String(".xml");
}

bool TLanguage::LoadLanguage(const QString& name) {
    LoadTried = true;
    const QString path = LanguagePath(name);
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return false;

    // A file that cannot be opened fails as one that does not parse.
    QFile file(path);
    const QByteArray data = file.open(QIODevice::ReadOnly) ? ReadXMLBytes(file) : QByteArray();
    if (!LoadLanguageData(data))
        return false;
    LanguageFile = path;
    LanguageName = name;
    return true;
}

bool TLanguage::LoadLanguageData(const QByteArray& data) {
    LoadTried = true;
    FDocument.reset();
    auto document = std::make_unique<QDomDocument>();
    if (!ParseXMLBuffer(data, *document) || document->documentElement().isNull()) {
        MsgBox(QString::fromLatin1(LanguageLoadFailedText), mbOK, miNone, 1);
        LoadFailed = true;
        return false;
    }
    FDocument = std::move(document);
    LanguageId = FDocument->documentElement().attribute(QStringLiteral("Id"));
    return true;
}

bool TLanguage::IsLoaded() {
    if (!LoadTried)
        LoadLanguage(LanguageName);
    return FDocument && !LoadFailed;
}

QString TLanguage::GetText(const QString& key) {
    if (!LoadTried)
        LoadLanguage(LanguageName);
    if (!FDocument || LoadFailed)
        return {};
    for (QDomElement entry = FDocument->documentElement().firstChildElement(); !entry.isNull();
         entry = entry.nextSiblingElement()) {
        if (entry.tagName() == key)
            return entry.text();
    }
    return {};
}

QString GetLanguageText(const QString& key) {
    return Language ? Language->GetText(key) : QString();
}
