// The language file: loading, lookup rules, the broken-file box and the start hook.

#include "app/VGApp.h"
#include "common/MsgBox.h"
#include "localisation/Language.h"
#include "tests/support/TestUtils.h"

#include <QDir>
#include <QElapsedTimer>
#include <QStringConverter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A program folder with a "Languages" folder, and a message box handler that counts boxes.
class LanguageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FDir.isValid());
        QDir().mkpath(AppPath() + QLatin1String("Languages"));
        FOldHandler = SetMsgBoxHandler([this](const TMsgBoxRequest& request) {
            Boxes.append(request);
            return int(mrOK);
        });
    }
    void TearDown() override { SetMsgBoxHandler(FOldHandler); }

    QString AppPath() const { return FDir.path() + QLatin1Char('/'); }
    void WriteLanguage(const QString& name, const QByteArray& xml) {
        ASSERT_TRUE(WriteFile(AppPath() + QLatin1String("Languages/") + name + ".xml", xml));
    }

    QList<TMsgBoxRequest> Boxes;

private:
    QTemporaryDir FDir;
    TMsgBoxHandler FOldHandler;
};

const QByteArray GermanXml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<Lang Id=\"1031\">\n"
                             "  <CUI_TBaseUI3Form_btnOkMe>Gut</CUI_TBaseUI3Form_btnOkMe>\n"
                             "  <CUI_TBaseUI3Form_btnCancelMe></CUI_TBaseUI3Form_btnCancelMe>\n"
                             "  <Twice>first</Twice>\n"
                             "  <Twice>second</Twice>\n"
                             "</Lang>\n";

} // namespace

TEST_F(LanguageTest, NewObjectHasDefaultNameAndLoadsLazilyOnFirstQuestion) {
    TLanguage language(AppPath());
    EXPECT_EQ(language.LanguageName, "Default");
    EXPECT_FALSE(language.LoadTried);
    // There is no "Default.xml": the first question tries it and finds nothing.
    EXPECT_FALSE(language.IsLoaded());
    EXPECT_TRUE(language.LoadTried);
    EXPECT_FALSE(language.LoadFailed);
    EXPECT_TRUE(language.GetText(QStringLiteral("CUI_TBaseUI3Form_btnOkMe")).isEmpty());
    EXPECT_TRUE(Boxes.isEmpty());

    // With a "Default.xml" present, GetText on a fresh object loads it by itself.
    WriteLanguage(QStringLiteral("Default"), GermanXml);
    TLanguage fresh(AppPath());
    EXPECT_EQ(fresh.GetText(QStringLiteral("CUI_TBaseUI3Form_btnOkMe")), "Gut");
    EXPECT_TRUE(fresh.IsLoaded());
}

TEST_F(LanguageTest, LoadedFileAnswersKeysExactlyAndTheFirstOfTwoWins) {
    WriteLanguage(QStringLiteral("German"), GermanXml);
    TLanguage language(AppPath());
    ASSERT_TRUE(language.LoadLanguage(QStringLiteral("German")));
    EXPECT_TRUE(language.IsLoaded());
    EXPECT_EQ(language.LanguageName, "German");
    EXPECT_EQ(language.LanguageId, "1031");
    EXPECT_EQ(language.LanguageFile, AppPath() + "Languages/German.xml");

    EXPECT_EQ(language.GetText(QStringLiteral("CUI_TBaseUI3Form_btnOkMe")), "Gut");
    EXPECT_EQ(language.GetText(QStringLiteral("Twice")), "first");
    // Present but empty, absent, and present in another letter case: all empty.
    EXPECT_TRUE(language.GetText(QStringLiteral("CUI_TBaseUI3Form_btnCancelMe")).isEmpty());
    EXPECT_TRUE(language.GetText(QStringLiteral("CUI_Nothing_here")).isEmpty());
    EXPECT_TRUE(language.GetText(QStringLiteral("cui_tbaseui3form_btnokme")).isEmpty());
}

TEST_F(LanguageTest, RootWithoutIdAndUtf16FileWithNonLatinTexts) {
    QByteArray utf16;
    auto encode = QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    utf16 = encode(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
                                  "<Root><CUI_A_b>\u786e\u5b9a</CUI_A_b></Root>"));
    WriteLanguage(QStringLiteral("Chinese"), utf16);
    TLanguage language(AppPath());
    ASSERT_TRUE(language.LoadLanguage(QStringLiteral("Chinese")));
    EXPECT_TRUE(language.LanguageId.isEmpty());
    EXPECT_EQ(language.GetText(QStringLiteral("CUI_A_b")), QStringLiteral("\u786e\u5b9a"));
}

TEST_F(LanguageTest, MissingFileKeepsThePreviousLanguage) {
    WriteLanguage(QStringLiteral("German"), GermanXml);
    TLanguage language(AppPath());
    ASSERT_TRUE(language.LoadLanguage(QStringLiteral("German")));
    EXPECT_FALSE(language.LoadLanguage(QStringLiteral("Klingon")));
    EXPECT_EQ(language.LanguageName, "German");
    EXPECT_EQ(language.LanguageFile, AppPath() + "Languages/German.xml");
    EXPECT_TRUE(language.IsLoaded());
    EXPECT_EQ(language.GetText(QStringLiteral("CUI_TBaseUI3Form_btnOkMe")), "Gut");
    EXPECT_TRUE(Boxes.isEmpty());
}

TEST_F(LanguageTest, BrokenFileShowsOneBoxAndStaysFailed) {
    WriteLanguage(QStringLiteral("German"), GermanXml);
    WriteLanguage(QStringLiteral("Broken"), "<?xml version=\"1.0\"?><Lang Id=\"1\"><A>x</B>");
    TLanguage language(AppPath());
    ASSERT_TRUE(language.LoadLanguage(QStringLiteral("German")));

    EXPECT_FALSE(language.LoadLanguage(QStringLiteral("Broken")));
    ASSERT_EQ(Boxes.size(), 1);
    EXPECT_EQ(Boxes[0].Text, "Load language failed, please check!");
    EXPECT_EQ(Boxes[0].Buttons, int(mbOK));
    EXPECT_EQ(Boxes[0].Icon, int(miNone));
    EXPECT_TRUE(language.LoadFailed);
    EXPECT_FALSE(language.IsLoaded());
    EXPECT_TRUE(language.GetText(QStringLiteral("CUI_TBaseUI3Form_btnOkMe")).isEmpty());
    // Asking again does not load again, so no second box.
    EXPECT_EQ(Boxes.size(), 1);

    // A later good load succeeds, but the failure mark stays for the life of the object.
    EXPECT_TRUE(language.LoadLanguage(QStringLiteral("German")));
    EXPECT_TRUE(language.LoadFailed);
    EXPECT_FALSE(language.IsLoaded());
    EXPECT_TRUE(language.GetText(QStringLiteral("CUI_TBaseUI3Form_btnOkMe")).isEmpty());
}

// A file nested far deeper or far larger than any language file is a bad language file, told
// before it is parsed: the built-in texts stay, at once rather than after minutes of parsing.
TEST_F(LanguageTest, TooDeepOrTooLargeFilesAreRefusedLikeBrokenOnes) {
    const QByteArray head = "<?xml version=\"1.0\"?><Lang Id=\"1\">";
    WriteLanguage(QStringLiteral("Deep"),
                  head + QByteArray("<a>").repeated(100000) + QByteArray("</a>").repeated(100000) +
                      "<CUI_TBaseUI3Form_btnOkMe>Gut</CUI_TBaseUI3Form_btnOkMe></Lang>");
    WriteLanguage(QStringLiteral("Large"),
                  head + "<CUI_TBaseUI3Form_btnOkMe>Gut</CUI_TBaseUI3Form_btnOkMe><Pad>" +
                      QByteArray(17 * 1024 * 1024, 'x') + "</Pad></Lang>");
    for (const char* name : {"Deep", "Large"}) {
        TLanguage language(AppPath());
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(language.LoadLanguage(QLatin1String(name))) << name;
        EXPECT_LT(timer.elapsed(), 20000) << name;
        EXPECT_TRUE(language.LoadFailed) << name;
        EXPECT_TRUE(language.GetText(QStringLiteral("CUI_TBaseUI3Form_btnOkMe")).isEmpty());
    }
    EXPECT_EQ(Boxes.size(), 2);
}

TEST_F(LanguageTest, EmptyFileAndFolderNamedLikeTheFileAreHandled) {
    WriteLanguage(QStringLiteral("Empty"), QByteArray());
    TLanguage language(AppPath());
    EXPECT_FALSE(language.LoadLanguage(QStringLiteral("Empty")));
    EXPECT_EQ(Boxes.size(), 1);
    EXPECT_TRUE(language.LoadFailed);

    // A folder where the file should be is no file: nothing happens.
    QDir().mkpath(AppPath() + QLatin1String("Languages/Folder.xml"));
    TLanguage other(AppPath());
    EXPECT_FALSE(other.LoadLanguage(QStringLiteral("Folder")));
    EXPECT_FALSE(other.LoadFailed);
    EXPECT_EQ(Boxes.size(), 1);
}

TEST_F(LanguageTest, GlobalObjectLivesFromInitializeAppToTheEndOfTheCore) {
    TScopedUserFolders folders;
    WriteLanguage(QStringLiteral("English"), GermanXml);
    EXPECT_TRUE(GetLanguageText(QStringLiteral("CUI_TBaseUI3Form_btnOkMe")).isEmpty());
    {
        TApp app(AppPath());
        App = &app;
        EXPECT_EQ(Language, nullptr);
        app.InitializeApp();
        ASSERT_NE(Language, nullptr);
        EXPECT_EQ(Language->LanguageName, "English");
        EXPECT_TRUE(Language->IsLoaded());
        EXPECT_EQ(GetLanguageText(QStringLiteral("CUI_TBaseUI3Form_btnOkMe")), "Gut");
        App = nullptr;
    }
    EXPECT_EQ(Language, nullptr);
    EXPECT_TRUE(GetLanguageText(QStringLiteral("CUI_TBaseUI3Form_btnOkMe")).isEmpty());
}

TEST(ShippedLanguage, EnglishFileInTheProgramFolderCarriesTheButtonCaptions) {
    TLanguage language(QStringLiteral(VG_PROGRAM_DIR) + QLatin1Char('/'));
    ASSERT_TRUE(language.LoadLanguage(QStringLiteral("English")));
    EXPECT_EQ(language.GetText(QStringLiteral("CUI_TBaseUI3Form_btnOkMe")), "OK");
    EXPECT_EQ(language.GetText(QStringLiteral("CUI_TBaseUI3Form_btnCancelMe")), "Cancel");
}

// The bytes of a language file read as the file does: the texts and identifier are taken, and
// the name and file stay; bytes that do not parse fail as a broken file does, with one box.
TEST_F(LanguageTest, BytesReadAsTheFileAndFailAsABrokenOne) {
    TLanguage language(AppPath());
    ASSERT_TRUE(language.LoadLanguageData(GermanXml));
    EXPECT_TRUE(language.IsLoaded());
    EXPECT_EQ(language.LanguageId, "1031");
    EXPECT_EQ(language.GetText(QStringLiteral("Twice")), "first");
    EXPECT_EQ(language.LanguageName, "Default");
    EXPECT_TRUE(language.LanguageFile.isEmpty());
    EXPECT_TRUE(Boxes.isEmpty());

    EXPECT_FALSE(language.LoadLanguageData("<?xml version=\"1.0\"?><Lang Id=\"1\"><A>x</B>"));
    EXPECT_TRUE(language.LoadFailed);
    EXPECT_FALSE(language.IsLoaded());
    EXPECT_TRUE(language.GetText(QStringLiteral("Twice")).isEmpty());
    ASSERT_EQ(Boxes.size(), 1);
    EXPECT_EQ(Boxes[0].Text, QString::fromLatin1(LanguageLoadFailedText));
}
