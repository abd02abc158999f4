// The language file reader on any bytes: a file it refuses leaves no texts; of one it accepts,
// every entry's name finds the text of the first entry with that name.

#include "common/MsgBox.h"
#include "common/XmlBuffer.h"
#include "localisation/Language.h"
#include "tests/fuzz/FuzzCheck.h"

#include <QDomDocument>
#include <QSet>

namespace {

// Enough names to look at in one input: the lookup walks the entries one after the other.
constexpr int NamesChecked = 64;

int boxes = 0;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetMsgBoxHandler([](const TMsgBoxRequest& request) {
        ++boxes;
        return DefaultMsgBoxResult(request.Buttons, request.DefaultButton);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = FuzzBytes(data, size);
    TLanguage language(QStringLiteral("/nonexistent/"));
    const int boxesBefore = boxes;
    if (!language.LoadLanguageData(bytes)) {
        FUZZ_CHECK(language.LoadFailed && boxes == boxesBefore + 1);
        FUZZ_CHECK(!language.IsLoaded());
        FUZZ_CHECK(language.GetText(QStringLiteral("CUI_TBaseUI3Form_btnOkMe")).isEmpty());
        return 0;
    }
    FUZZ_CHECK(language.IsLoaded() && !language.LoadFailed && boxes == boxesBefore);

    QDomDocument document;
    FUZZ_CHECK(ParseXMLBuffer(bytes, document));
    const QDomElement root = document.documentElement();
    FUZZ_CHECK(language.LanguageId == root.attribute(QStringLiteral("Id")));
    QSet<QString> seen;
    for (QDomElement entry = root.firstChildElement();
         !entry.isNull() && seen.size() < NamesChecked; entry = entry.nextSiblingElement()) {
        if (seen.contains(entry.tagName()))
            continue;
        seen.insert(entry.tagName());
        FUZZ_CHECK(language.GetText(entry.tagName()) == entry.text());
    }
    return 0;
}
