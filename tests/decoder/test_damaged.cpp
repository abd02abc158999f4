// Damaged files: a stretch of garbage in the middle, or the end cut off. The decoder leaves out
// the pictures the codec reports damaged and ends where the file does, without garbage.

#include "DecoderTestUtils.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A copy of `source` in `folder` with `length` bytes at `offset` overwritten by a fixed
// pseudo-random pattern (0 length: the copy is cut off at `offset`).
QString DamagedCopy(const QString& source, const QTemporaryDir& folder, qint64 offset,
                    qint64 length) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = in.readAll();
    if (length == 0) {
        bytes.truncate(offset);
    } else {
        uint32_t state = 12345;
        for (qint64 i = offset; i < offset + length && i < bytes.size(); ++i) {
            state = state * 1103515245u + 12345u;
            bytes[i] = char(state >> 24);
        }
    }
    const QString path = folder.filePath(QStringLiteral("damaged-") + QFileInfo(source).fileName());
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        return {};
    return path;
}

} // namespace

// Garbage in the middle of a transport stream: every picture handed out shows its own index
// (no half-decoded picture), in order, and the pictures reported damaged are left out.
TEST(Damaged, GarbageStretchGivesNoGarbagePictures) {
    const QString source = FixtureFile(QStringLiteral("h264-start10s-256x144-29.97fps.ts"));
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const qint64 size = QFileInfo(source).size();
    const QString path = DamagedCopy(source, folder, size / 2, 188 * 6);
    ASSERT_FALSE(path.isEmpty());
    TFFDecoder decoder;
    ASSERT_TRUE(decoder.LoadFile(path));
    const std::vector<TDecodedFrame> frames = DecodeAll(decoder, true);
    // The pictures up to the damage and from the next key frame (every 25th) on are all there.
    EXPECT_GT(decoder.DamagedFramesLeftOut(), 0);
    EXPECT_EQ(int(frames.size()) + decoder.DamagedFramesLeftOut() + 3, 60)
        << "three pictures are lost with the overwritten packets";
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front().Index, 0);
    EXPECT_EQ(frames.back().Index, 59);
    int last = -1;
    for (const TDecodedFrame& frame : frames) {
        EXPECT_GT(frame.Index, last) << "pts " << frame.Pts;
        last = frame.Index;
    }
}

// A file cut off in the middle: the pictures up to the cut, each whole, in order, and a clean end.
// The picture whose packet the cut splits is left out (how many decoded after it survive depends
// on the decoding threads).
TEST(Damaged, CutShortFileEndsWhereTheDataDoes) {
    const QString source = FixtureFile(QStringLiteral("h264-bframes-320x240-25fps.mp4"));
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = DamagedCopy(source, folder, QFileInfo(source).size() / 2, 0);
    ASSERT_FALSE(path.isEmpty());
    TFFDecoder decoder;
    ASSERT_TRUE(decoder.LoadFile(path));
    // The header still promises the whole video.
    EXPECT_GT(decoder.GetFileStreamInfo().Duration, 5000000);
    const std::vector<TDecodedFrame> frames = DecodeAll(decoder, true);
    ASSERT_GT(frames.size(), 10u);
    EXPECT_LT(frames.size(), 150u);
    EXPECT_EQ(frames.front().Index, 0);
    for (size_t i = 1; i < frames.size(); ++i) {
        EXPECT_GT(frames[i].Index, frames[i - 1].Index) << "pts " << frames[i].Pts;
        // Pictures lie one after the other but for the one cut near the end.
        if (i + 2 < frames.size()) {
            EXPECT_EQ(frames[i].Index, int(i)) << "pts " << frames[i].Pts;
        }
    }
    EXPECT_LE(frames.back().Index, int(frames.size()) + 1);
}
