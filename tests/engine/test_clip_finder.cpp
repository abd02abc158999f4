// The clip finders on made-up videos whose pictures are known: a pattern that turns once every
// period (the loop end is one period after the start, whatever end was asked), a video that never
// repeats (the nearest frame is still chosen, with how alike it is), and still ends with sensor
// noise (trimmed to where the picture starts and stops moving).

#include "decoder/CustomDecoder.h"
#include "engine/ClipFinder.h"

#include <QImage>
#include <QPainter>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <random>

namespace {

constexpr int64_t FrameUs = 40000; // 25 frames per second

// A decoder of `count` frames whose pictures `draw` makes from the frame's index.
class TDrawnVideo : public TCustomDecoder {
public:
    TDrawnVideo(int count, std::function<void(QImage&, int)> draw)
        : FCount(count), FDraw(std::move(draw)) {}

    bool LoadFile(const QString&, const QString& = QString()) override { return true; }
    void CloseFile() override {}
    int VideoStreamIndex() const override { return 0; }
    TVideoStreamInfo GetVideoStreamInfos(int) const override {
        TVideoStreamInfo info;
        info.Width = 64;
        info.Height = 48;
        info.FrameRateNum = 25;
        info.FrameRateDen = 1;
        return info;
    }
    TFileStreamInfo GetFileStreamInfo() const override { return {FCount * FrameUs, 0, {}}; }
    void SetBitmapBitsPixel(int) override {}
    int BitmapBitsPixel() const override { return 32; }
    bool Decode(int count = -1) override {
        const int next = FCurrent + std::max(1, count);
        if (next >= FCount)
            return false;
        FCurrent = next;
        return true;
    }
    int64_t CurrentPTS() const override {
        return FCurrent < 0 ? AV_NOPTS_VALUE : FCurrent * FrameUs;
    }
    bool CopyToBitmap(QImage& bitmap) override {
        if (FCurrent < 0)
            return false;
        bitmap = QImage(64, 48, QImage::Format_RGB32);
        bitmap.fill(Qt::white);
        FDraw(bitmap, FCurrent);
        return true;
    }
    bool Seek(int64_t pts, TSeekFlags) override { return LocateVideoPTS(pts); }
    bool LocateVideoPTS(int64_t pts) override {
        FCurrent = static_cast<int>(std::clamp<int64_t>(pts / FrameUs, 0, FCount - 1));
        return true;
    }
    bool LocateVideoPTSCallback(int64_t pts, const TGoOnFunc& goOn) override {
        return goOn() && LocateVideoPTS(pts);
    }

private:
    int FCount;
    std::function<void(QImage&, int)> FDraw;
    int FCurrent = -1;
};

// A bar turning round the centre once every `period` frames.
void Turning(QImage& picture, int index, int period) {
    QPainter painter(&picture);
    painter.translate(32, 24);
    painter.rotate(360.0 * (index % period) / period);
    painter.fillRect(QRect(-4, -20, 8, 20), Qt::black);
}

TEST(ClipFinder, TheLoopEndIsOnePeriodAfterTheStartAndTheStartOnePeriodBeforeTheEnd) {
    const int period = 37;
    TDrawnVideo video(300, [&](QImage& picture, int index) { Turning(picture, index, period); });
    std::atomic<bool> cancel{false};
    const int64_t start = 10 * FrameUs;
    // An end asked a little after the first period's: the end goes back to the period.
    TLoopBound end = FindLoopEnd(video, start, start + (period + 9) * FrameUs, cancel);
    ASSERT_TRUE(end.Found) << end.Error.toStdString();
    EXPECT_EQ(end.Pts, start + period * FrameUs);
    EXPECT_GT(end.Likeness, 0.99);
    EXPECT_EQ(DescribeLoopBound(end), QStringLiteral("loop seam: 100 % alike"));
    // Asked near two periods: two periods, not one (the nearer of two as good).
    end = FindLoopEnd(video, start, start + (2 * period - 5) * FrameUs, cancel);
    EXPECT_EQ(end.Pts, start + 2 * period * FrameUs);
    // The same again gives the same end.
    EXPECT_EQ(FindLoopEnd(video, start, end.Pts, cancel).Pts, end.Pts);
    // The start, against an end at 150: one or more whole periods before it.
    const int64_t fixedEnd = 150 * FrameUs;
    const TLoopBound loopStart = FindLoopStart(video, fixedEnd - 80 * FrameUs, fixedEnd, cancel);
    ASSERT_TRUE(loopStart.Found);
    EXPECT_EQ((fixedEnd - loopStart.Pts) / FrameUs % period, 0);
    // Cancelled: nothing found and nothing to say.
    cancel = true;
    EXPECT_FALSE(FindLoopEnd(video, start, start + period * FrameUs, cancel).Found);
}

TEST(ClipFinder, AVideoThatNeverRepeatsStillGetsTheClosestEndAndSaysHowClose) {
    // A bar sliding across once: no frame comes back.
    TDrawnVideo video(100, [](QImage& picture, int index) {
        QPainter(&picture).fillRect(QRect(index * 64 / 100, 0, 6, 48), Qt::black);
    });
    std::atomic<bool> cancel{false};
    const TLoopBound end = FindLoopEnd(video, 0, 60 * FrameUs, cancel);
    ASSERT_TRUE(end.Found);
    EXPECT_LT(end.Likeness, 0.99);
    EXPECT_GT(end.Pts, 20 * FrameUs) << "no loop of a few frames";
    EXPECT_TRUE(DescribeLoopBound(end).startsWith(QStringLiteral("loop seam: ")));
}

TEST(ClipFinder, StillEndsAreTrimmedAndNoiseDoesNotCountAsMovement) {
    std::mt19937 random(7);
    // Still from 0 to 19 and from 60 on, with sensor noise on every pixel; a bar sliding in
    // between.
    TDrawnVideo video(80, [&](QImage& picture, int index) {
        const int at = std::clamp(index, 19, 60) - 19;
        QPainter(&picture).fillRect(QRect(at, 10, 8, 28), Qt::black);
        for (int y = 0; y < picture.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < picture.width(); ++x) {
                const int grey = std::clamp(qRed(row[x]) + int(random() % 13) - 6, 0, 255);
                row[x] = qRgb(grey, grey, grey);
            }
        }
    });
    std::atomic<bool> cancel{false};
    const TStillTrim trim = TrimStillEnds(video, 0, 79 * FrameUs, cancel);
    ASSERT_TRUE(trim.Ok) << trim.Error.toStdString();
    EXPECT_EQ(trim.Start, 19 * FrameUs);
    EXPECT_EQ(trim.End, 60 * FrameUs);
    // A clip without still ends stays as it is.
    const TStillTrim moving = TrimStillEnds(video, 25 * FrameUs, 50 * FrameUs, cancel);
    EXPECT_EQ(moving.Start, 25 * FrameUs);
    EXPECT_EQ(moving.End, 50 * FrameUs);
}

} // namespace
