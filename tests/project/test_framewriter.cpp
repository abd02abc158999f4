// The background writer of frame pictures: readers always find a picture (in memory until its
// file is whole), queued pictures are written in order, a stop drops what waits, and a folder
// that cannot be written gives failures and no files.

#include "project/FrameWriter.h"

#include <QDir>
#include <QFile>
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
    EXPECT_TRUE(writer.Picture(missing).isNull());
}

} // namespace
