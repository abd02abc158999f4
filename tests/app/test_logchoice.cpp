#include "app/VGApp.h"
#include "tests/support/TestUtils.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {
void MakeFile(const QString& name, qint64 size) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(size));
}
} // namespace

TEST(LogChoice, NumbersComeFromTheTextAfterTheFirstThreeCharacters) {
    EXPECT_EQ(LogFileNumber(QStringLiteral("/x/Log.txt")), 0);
    EXPECT_EQ(LogFileNumber(QStringLiteral("/x/Log7.txt")), 7);
    EXPECT_EQ(LogFileNumber(QStringLiteral("Log12.txt")), 12);
    EXPECT_EQ(LogFileNumber(QStringLiteral("/x/LogAbc.txt")), 0);
    EXPECT_EQ(LogFileNumber(QStringLiteral("/x/Log3b.txt")), 0);
    EXPECT_EQ(LogFileNumber(QStringLiteral("/x/Log0010.txt")), 10);
}

TEST(LogChoice, AnEmptyFolderGivesLogTxt) {
    TScopedUserFolders folders;
    EXPECT_EQ(ChooseLogFileName(folders.Root()), folders.Root() + QLatin1String("Log.txt"));
    // A folder that does not exist yet is empty too.
    EXPECT_EQ(ChooseLogFileName(folders.Root() + QLatin1String("none")),
              folders.Root() + QLatin1String("none/Log.txt"));
}

TEST(LogChoice, RotationHappensOnlyPastTheSizeLimit) {
    TScopedUserFolders folders;
    const QString log = folders.Root() + QLatin1String("Log.txt");
    MakeFile(log, LogSizeLimit);
    EXPECT_EQ(ChooseLogFileName(folders.Root()), log);
    MakeFile(log, LogSizeLimit + 1);
    EXPECT_EQ(ChooseLogFileName(folders.Root()), folders.Root() + QLatin1String("Log1.txt"));
}

TEST(LogChoice, TheHighestNumberIsChosenAndItsSuccessorFollowsIt) {
    TScopedUserFolders folders;
    const QString root = folders.Root();
    MakeFile(root + "Log.txt", LogSizeLimit + 100);
    MakeFile(root + "Log3.txt", 10);
    MakeFile(root + "LogAbc.txt", 10);
    MakeFile(root + "Other.txt", 10);
    EXPECT_EQ(ChooseLogFileName(root), root + QLatin1String("Log3.txt"));
    MakeFile(root + "Log3.txt", LogSizeLimit + 1);
    EXPECT_EQ(ChooseLogFileName(root), root + QLatin1String("Log4.txt"));
    MakeFile(root + "Log1.txt", 10);
    MakeFile(root + "Log2.txt", 10);
    EXPECT_EQ(ChooseLogFileName(root), root + QLatin1String("Log4.txt"));
    // Folders are not log files, whatever their name.
    ASSERT_TRUE(QDir().mkpath(root + "Log9.txt"));
    EXPECT_EQ(ChooseLogFileName(root), root + QLatin1String("Log4.txt"));
}

TEST(LogChoice, TiesKeepTheFirstListedFile) {
    TScopedUserFolders folders;
    const QString root = folders.Root();
    MakeFile(root + "LogB.txt", 10);
    MakeFile(root + "LogA.txt", 10);
    EXPECT_EQ(ChooseLogFileName(root), root + QLatin1String("LogA.txt"));
    MakeFile(root + "LogA.txt", LogSizeLimit + 1);
    EXPECT_EQ(ChooseLogFileName(root), root + QLatin1String("Log1.txt"));
}
