#include "common/Folders.h"
#include "common/Log.h"
#include "tests/support/TestUtils.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

TEST(Log, CreatesNothingUntilTheFirstLineAndThenAppends) {
    TScopedUserFolders folders;
    const QString file = folders.DataHome() + QLatin1String("deep/er/Log.txt");
    {
        TLog log(file, QStringLiteral("MX_TEST_Log"));
        EXPECT_EQ(log.FileName(), file);
        EXPECT_FALSE(QFileInfo::exists(file));
        log.LogMsg(QStringLiteral("first"));
        log.LogMsg(QStringLiteral("zweite Zeile \u00e4\u4e2d"));
    }
    TLog again(file, QStringLiteral("MX_TEST_Log"));
    again.LogMsg(QStringLiteral("third"));
    const QStringList lines = ReadLines(file);
    ASSERT_EQ(lines.size(), 3);
    const QRegularExpression layout(
        QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[\d+:[0-9a-f]+\] (.*)$)"));
    const QStringList texts = {QStringLiteral("first"), QStringLiteral("zweite Zeile \u00e4\u4e2d"),
                               QStringLiteral("third")};
    for (int i = 0; i < 3; ++i) {
        const auto match = layout.match(lines[i]);
        ASSERT_TRUE(match.hasMatch()) << lines[i].toStdString();
        EXPECT_EQ(match.captured(1), texts[i]);
    }
}

TEST(Log, LinesFromManyThreadsStayWhole) {
    TScopedUserFolders folders;
    const QString file = folders.DataHome() + QLatin1String("Log.txt");
    TLog log(file, QStringLiteral("MX_TEST_Log"));
    SetLogObj(&log);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 100; ++i)
                MsgOut(QStringLiteral("thread %1 line %2 ").arg(t).arg(i) + QString(200, 'x'));
        });
    for (auto& thread : threads)
        thread.join();
    SetLogObj(nullptr);
    const QStringList lines = ReadLines(file);
    ASSERT_EQ(lines.size(), 400);
    for (const QString& line : lines)
        EXPECT_TRUE(line.endsWith(QString(200, 'x'))) << line.left(60).toStdString();
}

TEST(Log, MsgOutWithoutALogObjectDropsTheLine) {
    TScopedUserFolders folders;
    SetLogObj(nullptr);
    MsgOut(QStringLiteral("nobody hears this"));
    EXPECT_EQ(LogObj(), nullptr);
}

TEST(Log, AnUnwritableFileLosesTheLineAndNothingElse) {
    TScopedUserFolders folders;
    // A folder stands where the file should be.
    const QString file = folders.DataHome() + QLatin1String("Log.txt");
    ASSERT_TRUE(ForceDirectories(file));
    TLog log(file, QStringLiteral("MX_TEST_Log"));
    log.LogMsg(QStringLiteral("lost"));
    EXPECT_TRUE(QFileInfo(file).isDir());
}

// Several starts at once on a new log (each with its own log object and lock handle, as separate
// processes have): the header is written exactly once, before any other line.
TEST(Log, TheHeaderOfANewLogIsWrittenOnceWhateverTheRace) {
    for (int round = 0; round < 20; ++round) {
        TScopedUserFolders folders;
        const QString file = folders.DataHome() + QLatin1String("Log.txt");
        std::vector<std::thread> starts;
        std::atomic<int> writers{0};
        for (int t = 0; t < 5; ++t)
            starts.emplace_back([&file, &writers, t] {
                TLog log(file, QStringLiteral("MX_TEST_Log"));
                if (log.LogHeaderIfNew({QStringLiteral("header 1"), QStringLiteral("header 2")}))
                    ++writers;
                log.LogMsg(QStringLiteral("start %1").arg(t));
            });
        for (auto& start : starts)
            start.join();
        EXPECT_EQ(writers, 1);
        const QStringList lines = ReadLines(file);
        ASSERT_EQ(lines.size(), 7);
        EXPECT_TRUE(lines[0].endsWith(QLatin1String("header 1")));
        EXPECT_TRUE(lines[1].endsWith(QLatin1String("header 2")));
        EXPECT_EQ(lines.filter(QStringLiteral("header")).size(), 2);
    }
    // A log that has lines already gets no header.
    TScopedUserFolders folders;
    TLog log(folders.DataHome() + QLatin1String("Log.txt"), QStringLiteral("MX_TEST_Log"));
    log.LogMsg(QStringLiteral("older line"));
    EXPECT_FALSE(log.LogHeaderIfNew({QStringLiteral("header")}));
    EXPECT_EQ(ReadLines(log.FileName()).size(), 1);
}
