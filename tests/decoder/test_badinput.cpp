// Files that are not videos, or broken ones: the decoder refuses them or ends where they break,
// and never crashes, hangs or leaks (these tests also run under AddressSanitizer).

#include "DecoderTestUtils.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class BadInput : public testing::Test {
protected:
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = Dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    static QByteArray Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Every operation of a decoder without a usable file fails quietly.
    static void ExpectNothingOpen(TFFDecoder& decoder) {
        EXPECT_LT(decoder.VideoStreamIndex(), 0);
        EXPECT_EQ(decoder.GetVideoStreamInfo().Width, 0);
        EXPECT_EQ(decoder.GetVideoStreamInfo().Height, 0);
        EXPECT_EQ(decoder.GetFileStreamInfo().Duration, 0);
        EXPECT_FALSE(decoder.Decode(-1));
        EXPECT_EQ(decoder.CurrentPTS(), AV_NOPTS_VALUE);
        QImage picture(4, 4, QImage::Format_RGB888);
        EXPECT_FALSE(decoder.CopyToBitmap(picture));
        EXPECT_EQ(picture.size(), QSize(4, 4));
        EXPECT_FALSE(decoder.Seek(0, TSeekFlag::Backward));
        EXPECT_FALSE(decoder.LocateVideoPTS(0));
    }

    QTemporaryDir Dir;
    TFFDecoder Decoder;
};

TEST_F(BadInput, FilesThatAreNoVideoAreRefused) {
    const QStringList paths = {
        Dir.filePath("missing.mp4"),
        Write("empty.mp4", QByteArray()),
        Write("text.mp4", QByteArray("This is a plain text file, not a video.\n").repeated(50)),
        Write("noise.ts",
              [] {
                  std::mt19937 random(7);
                  QByteArray bytes(200000, '\0');
                  for (char& ch : bytes)
                      ch = char(random());
                  return bytes;
              }()),
        MediaFile("audio-only-mp3-with-cover-art-30s.mp3"),
        Dir.path(), // a folder
    };
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_FALSE(Decoder.LoadFile(path));
        ExpectNothingOpen(Decoder);
    }
    // A forced container that does not exist, and one that does not fit the file.
    EXPECT_FALSE(Decoder.LoadFile(MediaFile("bear-h264-1280x720.mp4"), "no-such-format"));
    EXPECT_FALSE(Decoder.LoadFile(paths[2], "mpegts"));
    ExpectNothingOpen(Decoder);
}

TEST_F(BadInput, PipeIsRefusedWithoutWaitingForAWriter) {
    const QString path = Dir.filePath("pipe.mp4");
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    EXPECT_FALSE(Decoder.LoadFile(path));
    ExpectNothingOpen(Decoder);
}

TEST_F(BadInput, UnreadableFileIsRefused) {
    const QString path = Write("locked.mp4", Read(MediaFile("bear-theora-320x180.ogv")));
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::Permissions()));
    if (::geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind the superuser";
    EXPECT_FALSE(Decoder.LoadFile(path));
    ExpectNothingOpen(Decoder);
}

TEST_F(BadInput, MovieWhoseIndexAtTheEndWasCutOffIsRefused) {
    // The index of this file follows the pictures: without its end there is nothing to read.
    const QByteArray whole = Read(MediaFile("bbb-h264-854x480-30s.mp4"));
    ASSERT_GT(whole.size(), 1000000);
    EXPECT_FALSE(Decoder.LoadFile(Write("cut.mp4", whole.left(whole.size() - 20000))));
    ExpectNothingOpen(Decoder);
    EXPECT_FALSE(Decoder.LoadFile(Write("half.mp4", whole.left(whole.size() / 2))));
    ExpectNothingOpen(Decoder);
}

TEST_F(BadInput, OpeningABadFileClosesTheGoodOneBefore) {
    ASSERT_TRUE(Decoder.LoadFile(MediaFile("bear-theora-320x180.ogv")));
    ASSERT_TRUE(Decoder.Decode(-1));
    EXPECT_FALSE(Decoder.LoadFile(Dir.filePath("missing.mp4")));
    ExpectNothingOpen(Decoder);
}

TEST_F(BadInput, TruncatedMovieEndsWhereItBreaks) {
    // The index comes first here, so the first half of the pictures survives the cut.
    const QByteArray whole = Read(MediaFile("bear-h264-1280x720.mp4"));
    ASSERT_TRUE(Decoder.LoadFile(Write("half.mp4", whole.left(whole.size() / 2))));
    const std::vector<TDecodedFrame> frames = DecodeAll(Decoder, false);
    EXPECT_GT(frames.size(), 10u);
    EXPECT_LT(frames.size(), 82u);
    EXPECT_FALSE(Decoder.Decode(-1));

    // Past the break, a locate ends on the last frame there is; before it, it is exact.
    const int64_t lastPts = frames.back().Pts;
    EXPECT_TRUE(Decoder.LocateVideoPTS(Decoder.GetFileStreamInfo().Duration));
    EXPECT_EQ(Decoder.CurrentPTS(), lastPts);
    ASSERT_TRUE(Decoder.LocateVideoPTS(frames[5].Pts));
    EXPECT_EQ(Decoder.CurrentPTS(), frames[5].Pts);
    QImage picture;
    ASSERT_TRUE(Decoder.CopyToBitmap(picture));
    EXPECT_EQ(PictureDigest(picture), frames[5].Digest);
}

TEST_F(BadInput, DamagedPicturesDecodeToTheEndWithoutHanging) {
    // The middle of the file overwritten with noise: the decoder conceals or skips what it
    // cannot read and goes on.
    QByteArray bytes = Read(MediaFile("bear-mpeg2video-320x192.ts"));
    std::mt19937 random(3);
    for (qsizetype i = bytes.size() / 3; i < bytes.size() / 2; ++i)
        bytes[i] = char(random());
    ASSERT_TRUE(Decoder.LoadFile(Write("damaged.ts", bytes)));
    const std::vector<TDecodedFrame> frames = DecodeAll(Decoder, false);
    EXPECT_GT(frames.size(), 5u);
    EXPECT_LE(frames.size(), 40u);
    for (int64_t target : {int64_t(0), int64_t(500000), int64_t(900000)})
        EXPECT_TRUE(Decoder.LocateVideoPTS(target));
}

TEST_F(BadInput, NoTimeGivenIsNoPlaceToGo) {
    ASSERT_TRUE(Decoder.LoadFile(MediaFile("bear-theora-320x180.ogv")));
    EXPECT_FALSE(Decoder.LocateVideoPTS(AV_NOPTS_VALUE));
    EXPECT_FALSE(Decoder.Seek(AV_NOPTS_VALUE, TSeekFlags()));
    // An empty "go on" function counts as no function at all.
    EXPECT_TRUE(Decoder.LocateVideoPTSCallback(0, TGoOnFunc()));
}

} // namespace
