// The background writer of frame pictures: readers always find a picture (in memory until its
// file is whole), queued pictures are written in order, a stop drops what waits, and a folder
// that cannot be written gives failures and no files.

#include "project/FrameWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

QImage Picture(int shade, int width = 320, int height = 240) {
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(QColor(shade, 255 - shade, shade / 2));
    return image;
}

TEST(FrameWriter, ReadersFindEveryPictureWhileTheDiskCatchesUp) {
    QTemporaryDir dir;
    TFrameWriter writer;
    QStringList names;
    for (int i = 0; i < 40; ++i) {
        names << dir.filePath(QStringLiteral("f%1.bmp").arg(i));
        writer.Enqueue(Picture(i * 5), names.back());
    }
    // Another thread reads while the writer writes: every picture is whole, from memory or file.
    std::atomic<int> bad{0};
    std::thread reader([&] {
        for (int round = 0; round < 3; ++round)
            for (int i = 0; i < names.size(); ++i) {
                const QImage image = writer.Picture(names[i]);
                if (image.size() != QSize(320, 240) ||
                    image.pixelColor(100, 100) != QColor(i * 5, 255 - i * 5, i * 5 / 2))
                    ++bad;
            }
    });
    reader.join();
    writer.Flush();
    EXPECT_EQ(bad.load(), 0);
    for (const QString& name : names) {
        EXPECT_FALSE(writer.IsPending(name));
        EXPECT_TRUE(QFile::exists(name));
    }
    EXPECT_EQ(QImage(names[7]).pixelColor(5, 5), QColor(35, 220, 17));
    EXPECT_EQ(writer.Failures(), 0);
}

TEST(FrameWriter, StopDropsWhatWaitsAndAFullFolderFailsCleanly) {
    QTemporaryDir dir;
    {
        // A bound of one picture: queuing waits for the disk, nothing is lost.
        TFrameWriter writer(1);
        for (int i = 0; i < 5; ++i)
            writer.Enqueue(Picture(i), dir.filePath(QStringLiteral("b%1.bmp").arg(i)));
        writer.Flush();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 5);
    }
    {
        TFrameWriter writer;
        writer.Stop();
        writer.Enqueue(Picture(9), dir.filePath(QStringLiteral("late.bmp")));
        writer.Flush();
        EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("late.bmp"))));
        writer.Stop(); // twice is fine
    }
    TFrameWriter writer;
    const QString missing = dir.filePath(QStringLiteral("no/such/folder/x.bmp"));
    writer.Enqueue(Picture(1), missing);
    writer.Flush();
    EXPECT_EQ(writer.Failures(), 1);
    EXPECT_FALSE(QFile::exists(missing));
    // Not written, not lost: the picture stays in memory for the window.
    EXPECT_EQ(writer.Picture(missing).pixelColor(5, 5), Picture(1).pixelColor(5, 5));
}

TEST(FrameWriter, AFolderThatTakesNothingIsSaidOnceHeldInMemoryAndWrittenWhenItTakesAgain) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("work"));
    const size_t one = size_t(Picture(0).sizeInBytes());
    // Memory holds three pictures that could not be written.
    TFrameWriter writer(size_t(256) << 20, 3 * one);
    QStringList said;
    writer.SetWriteFailedHandler([&](const QString& where) { said << where; });
    QStringList names;
    for (int i = 0; i < 5; ++i)
        names << folder + QStringLiteral("/f%1.bmp").arg(i);
    writer.SetKept({names[0]}); // shown by the window
    for (int i = 0; i < 5; ++i)
        writer.Enqueue(Picture(i * 20), names[i]);
    writer.Flush();
    writer.SetKept({names[0]}); // the next strip: the rest are no longer new
    EXPECT_EQ(writer.Failures(), 5);
    EXPECT_EQ(said, QStringList({folder})) << "said once, naming the folder";
    // Past the bound the oldest not shown left memory; the shown one and the newest stayed.
    EXPECT_FALSE(writer.IsGone(names[0]));
    EXPECT_TRUE(writer.IsGone(names[1]));
    EXPECT_TRUE(writer.IsGone(names[2]));
    for (int i : {0, 3, 4})
        EXPECT_EQ(writer.Picture(names[i]).pixelColor(5, 5), Picture(i * 20).pixelColor(5, 5));
    EXPECT_TRUE(writer.Picture(names[1]).isNull());

    // Space again: the next picture is written, and the ones held follow it to disk.
    ASSERT_TRUE(QDir().mkpath(folder));
    writer.Enqueue(Picture(200), folder + QStringLiteral("/f5.bmp"));
    writer.Flush();
    for (int i : {0, 3, 4}) {
        EXPECT_TRUE(QFile::exists(names[i])) << i;
        EXPECT_FALSE(writer.IsPending(names[i]));
        EXPECT_EQ(writer.Picture(names[i]).pixelColor(5, 5), Picture(i * 20).pixelColor(5, 5));
    }
    EXPECT_FALSE(QFile::exists(names[1]));
    // A new failure after the recovery is said again.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    writer.Enqueue(Picture(7), names[1]);
    writer.Flush();
    EXPECT_EQ(said.size(), 2);
    EXPECT_FALSE(writer.IsGone(names[1]));
}

TEST(FrameWriter, TheFolderKeepsWithinItsBudgetLettingTheOldestNotShownGo) {
    QTemporaryDir dir;
    TFrameWriter writer;
    QStringList names;
    for (int i = 0; i < 6; ++i)
        names << dir.filePath(QStringLiteral("f%1.bmp").arg(i));
    writer.Enqueue(Picture(0), names[0]);
    writer.Flush();
    const qint64 one = QFileInfo(names[0]).size();
    writer.SetBudget(3 * one);
    writer.SetKept({names[0]});
    for (int i = 1; i < 6; ++i)
        writer.Enqueue(Picture(i * 30), names[i]);
    writer.Flush();
    // New pictures stay until the window has said what it shows.
    EXPECT_EQ(writer.WrittenBytes(), 6 * one);
    writer.SetKept({names[0], names[5]});
    EXPECT_EQ(writer.WrittenBytes(), 3 * one);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);
    for (int i : {0, 4, 5})
        EXPECT_FALSE(writer.IsGone(names[i])) << i;
    for (int i : {1, 2, 3}) {
        EXPECT_TRUE(writer.IsGone(names[i])) << i;
        EXPECT_FALSE(QFile::exists(names[i]));
        EXPECT_TRUE(writer.Picture(names[i]).isNull());
    }
    // Queued again, a picture comes back; a smaller budget lets more go, never a shown one.
    writer.Enqueue(Picture(60), names[2]);
    writer.Flush();
    EXPECT_FALSE(writer.IsGone(names[2]));
    writer.SetKept({names[0], names[5]});
    writer.SetBudget(1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"f0.bmp", "f5.bmp"}));
    EXPECT_GT(TFrameWriter::DefaultBudget(dir.path()), 0);
    EXPECT_LE(TFrameWriter::DefaultBudget(dir.path()), qint64(1) << 30);
}

} // namespace
