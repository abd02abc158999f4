#include "common/Folders.h"
#include "common/Guid.h"
#include "common/MsgBox.h"
#include "common/SysInfo.h"
#include "tests/support/TestUtils.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QThread>
#include <gtest/gtest.h>

TEST(MsgBox, AHandlerAnswersAndWithoutOneTheDefaultButtonIsTaken) {
    TMsgBoxRequest seen;
    auto old = SetMsgBoxHandler([&](const TMsgBoxRequest& request) {
        seen = request;
        return int(mrNo);
    });
    EXPECT_EQ(MsgBox(QStringLiteral("Sure?"), mbYesNo, miQuestion, 2), mrNo);
    EXPECT_EQ(seen.Text, QStringLiteral("Sure?"));
    EXPECT_EQ(seen.Buttons, mbYesNo);
    EXPECT_EQ(seen.Icon, miQuestion);
    EXPECT_EQ(seen.DefaultButton, 2);
    SetMsgBoxHandler({});
    EXPECT_EQ(MsgBox(QStringLiteral("a"), mbOK, miError, 1), mrOK);
    EXPECT_EQ(MsgBox(QStringLiteral("b"), mbOKCancel, miWarning, 2), mrCancel);
    EXPECT_EQ(MsgBox(QStringLiteral("c"), mbOKCancel, miWarning, 1), mrOK);
    EXPECT_EQ(MsgBox(QStringLiteral("d"), mbYesNo, miQuestion, 1), mrYes);
    SetMsgBoxHandler(old);
}

TEST(Guid, IsBracedUpperCaseAndNeverRepeats) {
    const QRegularExpression form(
        QStringLiteral("^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$"));
    QSet<QString> seen;
    for (int i = 0; i < 1000; ++i) {
        const QString guid = CreateNewGUID();
        ASSERT_TRUE(form.match(guid).hasMatch()) << guid.toStdString();
        seen.insert(guid);
    }
    EXPECT_EQ(seen.size(), 1000);
}

TEST(Folders, ForceDirectoriesCreatesParentsAndRefusesAFileInTheWay) {
    TScopedUserFolders folders;
    bool created = false;
    const QString deep = folders.Root() + QLatin1String("a/b/c/");
    EXPECT_TRUE(ForceDirectories(deep, &created));
    EXPECT_TRUE(created);
    EXPECT_TRUE(ForceDirectories(deep, &created));
    EXPECT_FALSE(created);
    ASSERT_TRUE(WriteFile(folders.Root() + QLatin1String("file"), "x"));
    EXPECT_FALSE(ForceDirectories(folders.Root() + QLatin1String("file"), &created));
    EXPECT_FALSE(ForceDirectories(folders.Root() + QLatin1String("file/sub")));
    EXPECT_FALSE(ForceDirectories(QString()));
}

TEST(Folders, DataAndRuntimePathsFollowTheEnvironmentAndEndInASlash) {
    TScopedUserFolders folders;
    EXPECT_EQ(GetAppDataPath(), folders.DataHome());
    EXPECT_EQ(GetRuntimePath(), folders.RuntimeDir());
    EXPECT_EQ(IncludeTrailingPathDelimiter(QStringLiteral("/x")), QStringLiteral("/x/"));
    EXPECT_EQ(IncludeTrailingPathDelimiter(QStringLiteral("/x/")), QStringLiteral("/x/"));
}

TEST(Folders, DeleteFolderFilesRemovesFilesButKeepsFoldersAndWritabilityIsProbed) {
    TScopedUserFolders folders;
    const QString dir = folders.Root() + QLatin1String("work/");
    ASSERT_TRUE(ForceDirectories(dir + QLatin1String("sub")));
    ASSERT_TRUE(WriteFile(dir + QLatin1String("a.bmp"), "a"));
    ASSERT_TRUE(WriteFile(dir + QLatin1String(".hidden"), "b"));
    ASSERT_TRUE(WriteFile(dir + QLatin1String("preview.gif"), "c"));
    EXPECT_TRUE(IsFolderWritable(dir));
    EXPECT_EQ(DeleteFolderFiles(dir), 3);
    EXPECT_TRUE(QDir(dir).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_TRUE(QFileInfo(dir + QLatin1String("sub")).isDir());
    EXPECT_EQ(DeleteFolderFiles(folders.Root() + QLatin1String("missing/")), 0);
    EXPECT_FALSE(IsFolderWritable(folders.Root() + QLatin1String("missing/")));
}

TEST(SysInfo, LanguageIdentifiersFollowTheLocaleTable) {
    EXPECT_EQ(LangIDFromLocaleName(QStringLiteral("en_US")), 0x409);
    EXPECT_EQ(LangIDFromLocaleName(QStringLiteral("en_US.UTF-8")), 0x409);
    EXPECT_EQ(LangIDFromLocaleName(QStringLiteral("en-GB")), 0x809);
    EXPECT_EQ(LangIDFromLocaleName(QStringLiteral("zh_CN")), 0x804);
    EXPECT_EQ(LangIDFromLocaleName(QStringLiteral("de_AT")), 0xC07);
    // A territory we do not know: the language's main territory.
    EXPECT_EQ(LangIDFromLocaleName(QStringLiteral("fr_LU")), 0x40C);
    EXPECT_EQ(LangIDFromLocaleName(QStringLiteral("C")), 0x409);
    EXPECT_EQ(LangIDFromLocaleName(QString()), 0x409);
}

TEST(SysInfo, VersionTextsCarryTheFileVersion) {
    EXPECT_EQ(GetProVersion(QString(), true), QStringLiteral("3.4.0.0"));
    EXPECT_TRUE(GetProVersion(QString(), false).startsWith(QStringLiteral("3.4.0.0 (")));
    EXPECT_FALSE(GetWindowsVersion().isEmpty());
}

TEST(SysInfo, TickCountAdvancesInMilliseconds) {
    const quint32 start = GetTickCount();
    QThread::msleep(30);
    const quint32 elapsed = GetTickCount() - start; // wrap-safe
    EXPECT_GE(elapsed, 25u);
    EXPECT_LT(elapsed, 2000u);
}
