// Interlaced pictures come out deinterlaced: the combing of the two fields is gone, and no
// picture or time stamp is lost or moved on the way.

#include "DecoderTestUtils.h"
#include "FixtureList.h"

#include <QFileInfo>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

int Luma(QRgb pixel) {
    return (qRed(pixel) * 77 + qGreen(pixel) * 150 + qBlue(pixel) * 29) >> 8;
}

// The share of pixels where a line stands out from both its neighbours in the same direction
// while those neighbours agree: the teeth two fields of different moments leave along moving
// edges.
double CombShare(const QImage& picture) {
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    long combed = 0, counted = 0;
    for (int y = 1; y + 1 < image.height(); ++y) {
        const auto* above = reinterpret_cast<const QRgb*>(image.constScanLine(y - 1));
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        const auto* below = reinterpret_cast<const QRgb*>(image.constScanLine(y + 1));
        for (int x = 0; x < image.width(); ++x, ++counted) {
            const int up = Luma(line[x]) - Luma(above[x]);
            const int down = Luma(line[x]) - Luma(below[x]);
            if (((up > 12 && down > 12) || (up < -12 && down < -12)) &&
                std::abs(Luma(above[x]) - Luma(below[x])) < 12)
                ++combed;
        }
    }
    return counted > 0 ? double(combed) / double(counted) : 0;
}

struct TPass {
    std::vector<int64_t> Times;
    std::vector<double> Combs;
};

TPass DecodePass(const QString& path, bool deinterlace) {
    TPass pass;
    TFFDecoder decoder;
    decoder.SetDeinterlace(deinterlace);
    if (!decoder.LoadFile(path))
        return pass;
    QImage picture;
    while (decoder.Decode()) {
        pass.Times.push_back(decoder.CurrentPTS());
        if (!decoder.CopyToBitmap(picture))
            break;
        pass.Combs.push_back(CombShare(picture));
    }
    return pass;
}

int CombedFrames(const TPass& pass, double threshold) {
    int count = 0;
    for (double share : pass.Combs)
        if (share > threshold)
            ++count;
    return count;
}

// Bars moving in every field: stored as they are, every picture but the still first ones is
// combed; deinterlaced, none is, and the same pictures come at the same times.
TEST(Deinterlace, InterlacedPicturesLoseTheirCombingButNoFrame) {
    const QString path = FixtureFile(QString::fromUtf8(fixture::InterlacedFileName));
    ASSERT_TRUE(QFileInfo::exists(path)) << qPrintable(path);
    const TPass raw = DecodePass(path, false);
    const TPass clean = DecodePass(path, true);
    ASSERT_EQ(raw.Times.size(), size_t(fixture::InterlacedFrames));
    ASSERT_EQ(raw.Combs.size(), raw.Times.size());
    EXPECT_EQ(clean.Times, raw.Times);
    ASSERT_EQ(clean.Combs.size(), raw.Combs.size());
    for (size_t i = 0; i < raw.Times.size(); ++i)
        EXPECT_EQ(raw.Times[i], int64_t(i) * 1000000 / fixture::InterlacedRate) << i;
    EXPECT_EQ(CombedFrames(raw, 0.05), fixture::InterlacedFrames);
    EXPECT_EQ(CombedFrames(clean, 0.01), 0);
}

// A locate lands on the same deinterlaced picture as decoding from the start does, also after
// a seek emptied the filter and at the very last picture (let out when the stream ends).
TEST(Deinterlace, LocateGivesThePicturesOfTheSequentialPass) {
    const QString path = FixtureFile(QString::fromUtf8(fixture::InterlacedFileName));
    TFFDecoder decoder;
    ASSERT_TRUE(decoder.LoadFile(path));
    const std::vector<TDecodedFrame> frames = DecodeAll(decoder, false);
    ASSERT_EQ(frames.size(), size_t(fixture::InterlacedFrames));
    for (size_t index : {size_t(37), size_t(5), size_t(49), size_t(0), size_t(24)}) {
        ASSERT_TRUE(decoder.LocateVideoPTS(frames[index].Pts)) << index;
        EXPECT_EQ(decoder.CurrentPTS(), frames[index].Pts) << index;
        QImage picture;
        ASSERT_TRUE(decoder.CopyToBitmap(picture));
        EXPECT_EQ(PictureDigest(picture), frames[index].Digest) << index;
        EXPECT_LT(CombShare(picture), 0.01) << index;
    }
}

// Pictures the stream marks progressive are handed out exactly as decoded.
TEST(Deinterlace, ProgressivePicturesPassUntouched) {
    const QString path = MediaFile(QStringLiteral("bear-mpeg2video-320x192.ts"));
    if (!QFileInfo::exists(path))
        GTEST_SKIP() << "shared media missing";
    TFFDecoder plain, filtered;
    plain.SetDeinterlace(false);
    ASSERT_TRUE(plain.LoadFile(path));
    ASSERT_TRUE(filtered.LoadFile(path));
    const std::vector<TDecodedFrame> expected = DecodeAll(plain, false);
    const std::vector<TDecodedFrame> got = DecodeAll(filtered, false);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].Pts, expected[i].Pts) << i;
        EXPECT_EQ(got[i].Digest, expected[i].Digest) << i;
    }
}

} // namespace
