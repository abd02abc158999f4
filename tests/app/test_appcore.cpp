#include "app/VGApp.h"
#include "app/VGUIApp.h"
#include "common/CommonFunctions.h"
#include "tests/support/TestUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {
// The text of a log line without its time stamp and process prefix.
QString LineText(const QString& line) {
    return line.section(QLatin1String("] "), 1);
}
QStringList LogTexts(const QString& file) {
    QStringList texts;
    for (const QString& line : ReadLines(file))
        texts << LineText(line);
    return texts;
}
mode_t ModeOf(const QString& path) {
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 0777;
}
} // namespace

TEST(AppCore, CreationTouchesNothingOnDisk) {
    TScopedUserFolders folders;
    TApp app;
    EXPECT_FALSE(app.Initialized);
    EXPECT_FALSE(QFileInfo::exists(TApp::GetDataPath()));
}

TEST(AppCore, AFirstRunWritesTheHeaderThenTheStartLinesAndOverAtTheEnd) {
    TScopedUserFolders folders;
    const QString log = TApp::GetDataPath() + QLatin1String("Log.txt");
    {
        TApp app;
        app.InitializeApp();
        EXPECT_TRUE(app.Initialized);
        EXPECT_EQ(LogObj()->FileName(), log);
        MsgOut(QStringLiteral("from elsewhere"));
    }
    EXPECT_EQ(LogObj(), nullptr);
    const QStringList texts = LogTexts(log);
    ASSERT_EQ(texts.size(), 11);
    EXPECT_TRUE(texts[0].startsWith(QLatin1String("OS: ")));
    EXPECT_TRUE(texts[0].endsWith(QLatin1String(")")) ||
                texts[0].endsWith(QLatin1String(" 64 bit")));
    EXPECT_EQ(texts[1], QStringLiteral("Language: $%1")
                            .arg(QString::number(GetSystemDefaultLangID(), 16).toUpper()));
    const QSize screen = GetScreenSize();
    EXPECT_GT(screen.width(), 0);
    EXPECT_EQ(texts[2],
              QStringLiteral("Screen size: %1 x %2").arg(screen.width()).arg(screen.height()));
    EXPECT_EQ(texts[3], QStringLiteral("Screen DPI: %1").arg(GetScreenDPI()));
    EXPECT_EQ(texts[4], QStringLiteral("Qopasoft GIF Clip Maker ") + GetProVersion({}, false));
    EXPECT_EQ(texts[5], QStringLiteral("==============="));
    EXPECT_EQ(texts[6], QStringLiteral("Qopasoft GIF Clip Maker"));
    EXPECT_EQ(texts[7], QStringLiteral("Start program"));
    EXPECT_EQ(texts[8], QStringLiteral("not Debug Version"));
    EXPECT_EQ(texts[9], QStringLiteral("from elsewhere"));
    EXPECT_EQ(texts[10], QStringLiteral("over"));

    // The next run appends without a header.
    {
        TApp app;
        app.InitializeApp();
    }
    const QStringList again = LogTexts(log);
    ASSERT_EQ(again.size(), 15);
    EXPECT_EQ(
        again.mid(11),
        (QStringList{QStringLiteral("Qopasoft GIF Clip Maker"), QStringLiteral("Start program"),
                     QStringLiteral("not Debug Version"), QStringLiteral("over")}));
}

TEST(AppCore, AnOversizedLogStartsTheNextFileWithAHeader) {
    TScopedUserFolders folders;
    ASSERT_TRUE(ForceDirectories(TApp::GetDataPath()));
    QFile big(TApp::GetDataPath() + QLatin1String("Log.txt"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(LogSizeLimit + 1));
    big.close();
    {
        TApp app;
        app.InitializeApp();
    }
    EXPECT_EQ(QFileInfo(big.fileName()).size(), LogSizeLimit + 1);
    const QStringList texts = LogTexts(TApp::GetDataPath() + QLatin1String("Log1.txt"));
    ASSERT_GE(texts.size(), 6);
    EXPECT_TRUE(texts[0].startsWith(QLatin1String("OS: ")));
    EXPECT_EQ(texts.last(), QStringLiteral("over"));
}

TEST(AppCore, TheWorkFolderTheStartCreatesIsPrivateAndAnExistingOneKeepsItsMode) {
    {
        TScopedUserFolders folders;
        TApp app;
        app.InitializeApp();
        EXPECT_TRUE(app.WorkFolderError().isEmpty());
        EXPECT_TRUE(QFileInfo(app.TempPath).isDir());
        EXPECT_EQ(ModeOf(app.TempPath), mode_t(0700));
    }
    {
        TScopedUserFolders folders;
        TApp app;
        ASSERT_TRUE(QDir().mkpath(app.TempPath));
        ASSERT_EQ(::chmod(QFile::encodeName(app.TempPath).constData(), 0755), 0);
        app.InitializeApp();
        EXPECT_EQ(ModeOf(app.TempPath), mode_t(0755));
    }
}

TEST(AppCore, AFileWhereTheDataFolderShouldBeIsReportedNamingTheFolder) {
    TScopedUserFolders folders;
    ASSERT_TRUE(QDir().mkpath(folders.DataHome()));
    ASSERT_TRUE(WriteFile(folders.DataHome() + QLatin1String("Qopasoft"), "not a folder"));
    TApp app;
    app.InitializeApp(); // the log cannot be written either: nothing else changes
    EXPECT_TRUE(app.Initialized);
    EXPECT_TRUE(app.WorkFolderError().contains(app.TempPath))
        << app.WorkFolderError().toStdString();
}

TEST(AppCore, NewTempFileNamesAreUniqueAndRecreateADeletedWorkFolder) {
    TScopedUserFolders folders;
    TApp app;
    app.InitializeApp();
    QSet<QString> names;
    for (int i = 0; i < 500; ++i) {
        const QString name = app.NewTempFileName(QStringLiteral(".bmp"));
        ASSERT_TRUE(name.startsWith(app.TempPath));
        ASSERT_TRUE(name.endsWith(QLatin1String(".bmp")));
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 500);
    ASSERT_TRUE(QDir(app.TempPath).removeRecursively());
    const QString name = app.NewTempFileName(QStringLiteral(".gif"));
    EXPECT_TRUE(QFileInfo(app.TempPath).isDir());
    EXPECT_TRUE(WriteFile(name, "GIF89a"));
}

TEST(AppCore, InstallationNeedsANonEmptyIdentifier) {
    TScopedUserFolders folders;
    const QString registry = folders.Root() + QLatin1String("registry.ini");
    SetRegistryFileName(registry);
    TApp app;
    EXPECT_FALSE(app.IsInstalled());
    ASSERT_TRUE(WriteFile(registry, "[SOFTWARE\\Classes\\QOPAVG.ProjFile]\ninsguid=\n"));
    EXPECT_FALSE(app.IsInstalled());
    ASSERT_TRUE(WriteFile(registry, "[SOFTWARE\\Classes\\QOPAVG.ProjFile]\ninsguid={A-B}\n"));
    EXPECT_TRUE(app.IsInstalled());
    EXPECT_EQ(TApp::GetInstallGUID(), QStringLiteral("{A-B}"));
    SetRegistryFileName({});
}

TEST(AppCore, OnlyOneInstanceHoldsTheLockUntilItEnds) {
    TScopedUserFolders folders;
    auto first = std::make_unique<TApp>();
    TApp second;
    EXPECT_TRUE(first->IsFirstInstance());
    EXPECT_NE(first->MutexHandle, nullptr);
    EXPECT_FALSE(second.IsFirstInstance());
    EXPECT_EQ(second.MutexHandle, nullptr);
    first.reset();
    EXPECT_TRUE(second.IsFirstInstance());
}

TEST(UIApp, MarkersAreReadOnceAndAMissingOneIsEmpty) {
    TScopedUserFolders folders;
    const QString resource = folders.Root() + QLatin1String("resource/");
    ASSERT_TRUE(QDir().mkpath(resource));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VG_PROGRAM_DIR "/resource/DeleteFlag.png"),
                            resource + QLatin1String("DeleteFlag.png")));
    TUIApp ui(resource);
    const QImage& first = ui.GetDeleteFlag();
    ASSERT_FALSE(first.isNull());
    EXPECT_GT(qAlpha(first.pixel(first.width() / 2, first.height() / 2)), 0);
    EXPECT_EQ(qAlpha(first.pixel(0, 0)), 0);
    ASSERT_TRUE(QFile::remove(resource + QLatin1String("DeleteFlag.png")));
    const QImage& second = ui.GetDeleteFlag();
    EXPECT_EQ(&first, &second);
    EXPECT_FALSE(second.isNull());
    EXPECT_TRUE(ui.GetSelectFlag().isNull());
    ASSERT_TRUE(QFile::copy(QStringLiteral(VG_PROGRAM_DIR "/resource/SelectFlag.png"),
                            resource + QLatin1String("SelectFlag.png")));
    EXPECT_TRUE(ui.GetSelectFlag().isNull()); // asked once: not read again
}
