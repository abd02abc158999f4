// The interface's own scaled part, for decoders that cannot do better: the whole picture, cut,
// then scaled smoothly, always RGB32, whatever depth the decoder gives.

#include <QImage>
#include <QPainter>
#include <QRect>
#include <gtest/gtest.h>

#include "decoder/CustomDecoder.h"
#include "decoder/KeptFrame.h"
#include "decoder/PlanarRgb.h"

namespace {

// A decoder whose only picture is red on the left half and blue on the right, 24 bits a pixel.
class TTwoColourDecoder : public TCustomDecoder {
public:
    bool HasFrame = true;
    bool LoadFile(const QString&, const QString&) override { return true; }
    void CloseFile() override {}
    int VideoStreamIndex() const override { return 0; }
    TVideoStreamInfo GetVideoStreamInfos(int) const override { return {}; }
    TFileStreamInfo GetFileStreamInfo() const override { return {}; }
    void SetBitmapBitsPixel(int) override {}
    int BitmapBitsPixel() const override { return 24; }
    bool Decode(int) override { return true; }
    int64_t CurrentPTS() const override { return 0; }
    bool CopyToBitmap(QImage& bitmap) override {
        if (!HasFrame)
            return false;
        QImage picture(200, 100, QImage::Format_RGB888);
        QPainter painter(&picture);
        painter.fillRect(0, 0, 100, 100, Qt::red);
        painter.fillRect(100, 0, 100, 100, Qt::blue);
        painter.end();
        bitmap = picture;
        return true;
    }
    bool Seek(int64_t, TSeekFlags) override { return true; }
    bool LocateVideoPTS(int64_t) override { return true; }
    bool LocateVideoPTSCallback(int64_t, const TGoOnFunc&) override { return true; }
};

TEST(DefaultScaledPart, CutsScalesAndGivesRgb32) {
    TTwoColourDecoder decoder;
    QImage part;
    ASSERT_TRUE(decoder.CopyToBitmapScaled(part, QRect(110, 10, 80, 80), QSize(20, 20)));
    EXPECT_EQ(part.size(), QSize(20, 20));
    EXPECT_EQ(part.format(), QImage::Format_RGB32);
    for (int y = 0; y < part.height(); ++y)
        for (int x = 0; x < part.width(); ++x)
            ASSERT_EQ(part.pixel(x, y), qRgb(0, 0, 255)) << x << ',' << y;
    // Across the border: red on the left of the small picture, blue on the right.
    ASSERT_TRUE(decoder.CopyToBitmapScaled(part, QRect(0, 0, 200, 100), QSize(50, 25)));
    EXPECT_EQ(part.pixel(2, 12), qRgb(255, 0, 0));
    EXPECT_EQ(part.pixel(47, 12), qRgb(0, 0, 255));
}

TEST(DefaultScaledPart, RefusesWithoutTouchingThePicture) {
    TTwoColourDecoder decoder;
    QImage kept(3, 3, QImage::Format_RGB32);
    kept.fill(Qt::green);
    const QImage before = kept.copy();
    EXPECT_FALSE(decoder.CopyToBitmapScaled(kept, QRect(300, 0, 10, 10), QSize(5, 5)));
    EXPECT_FALSE(decoder.CopyToBitmapScaled(kept, QRect(0, 0, 10, 10), QSize()));
    decoder.HasFrame = false;
    EXPECT_FALSE(decoder.CopyToBitmapScaled(kept, QRect(0, 0, 10, 10), QSize(5, 5)));
    EXPECT_EQ(kept, before);
}

// A kept frame of a decoder without its own form is its finished picture: the same planes and
// parts as the current frame gives, and nothing when no frame is current.
TEST(DefaultScaledPart, KeptFramesGiveTheSamePictures) {
    TTwoColourDecoder decoder;
    const std::shared_ptr<const TKeptFrame> kept = decoder.KeepCurrent();
    ASSERT_TRUE(kept);
    const std::unique_ptr<TFramePictures> pictures = decoder.NewFramePictures();
    QImage direct, fromKept;
    ASSERT_TRUE(decoder.CopyToBitmapScaled(direct, QRect(90, 0, 20, 100), QSize(10, 50)));
    ASSERT_TRUE(pictures->Scaled(*kept, QRect(90, 0, 20, 100), QSize(10, 50), fromKept));
    EXPECT_EQ(fromKept, direct);
    TRgbPlanes planes, keptPlanes;
    ASSERT_TRUE(decoder.CopyToPlanes(planes));
    ASSERT_TRUE(pictures->Planes(*kept, keptPlanes));
    ASSERT_EQ(keptPlanes.Size(), QSize(200, 100));
    EXPECT_EQ(PackedPart(keptPlanes, QRect(0, 0, 200, 100)),
              PackedPart(planes, QRect(0, 0, 200, 100)));
    EXPECT_FALSE(pictures->Scaled(*kept, QRect(300, 0, 10, 10), QSize(5, 5), fromKept));
    decoder.HasFrame = false;
    EXPECT_FALSE(decoder.KeepCurrent());
}

} // namespace
