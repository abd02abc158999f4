// Both workers end to end on the real decoder and a generated video whose frames carry their
// index: playback from a located frame to the end, and a scrub that ends on the exact frame.

#include "FakeClock.h"
#include "FixtureList.h"
#include "FramePattern.h"
#include "PlaybackTestUtils.h"
#include "decoder/FFDecoder.h"
#include "playback/DecodePlayer.h"
#include "tests/support/TestUtils.h"

#include <QCoreApplication>
#include <QFile>
#include <cmath>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::Each;
using ::testing::Field;

const fixture::TFixture& Clip() {
    // 150 frames at 25 fps, a key frame every 50, B-frames.
    return fixture::Fixtures()[0];
}

class RealDecoder : public testing::Test {
protected:
    void SetUp() override {
        const QString path =
            QStringLiteral(VG_FIXTURE_DIR "/") + QString::fromUtf8(Clip().FileName);
        ASSERT_TRUE(QFile::exists(path)) << path.toStdString();
        ASSERT_TRUE(Decoder.LoadFile(path));
        Decoder.SetBitmapBitsPixel(32);
    }
    TFFDecoder Decoder;
    TFakeClock Clock;
    std::vector<TShownFrame> Shown;
};

int ReadIndex(const QImage& picture) {
    return fixture::ReadIndexPattern(picture);
}

} // namespace

TEST_F(RealDecoder, PlaybackShowsEveryFrameFromTheLocatedOneInOrderAtItsTimeThenEnds) {
    QStringList order;
    TMessageSink sink(&order);
    auto* thread = new TDecodePlayThread;
    thread->Decoder = &Decoder;
    thread->Clock = &Clock;
    thread->OnFrame = RecordFrames(Shown, &order, ReadIndex);
    thread->EndMessage = Msg::PlayEnded;
    thread->NotifyWindow = &sink;
    ASSERT_TRUE(thread->LocateAndStart(fixture::NominalPts(Clip(), 120) + 1000));
    ASSERT_TRUE(WaitFor([thread] { return thread->Finished(); }));
    QCoreApplication::processEvents();
    const int64_t lastPTS = thread->GetLastPTS();
    const int64_t startPTS = thread->StartPTS;
    TSafeThread::SafeFree(thread);

    std::vector<int> expected;
    for (int index = 120; index < Clip().Frames; ++index)
        expected.push_back(index);
    EXPECT_EQ(Indexes(Shown), expected);
    EXPECT_EQ(order.last(), QStringLiteral("message %1").arg(Msg::PlayEnded));
    EXPECT_EQ(sink.Messages.size(), 1u);
    EXPECT_EQ(lastPTS, Shown.back().PTS);
    // The fake clock moved only by sleeping, so the worker slept exactly until the last frame
    // was due.
    EXPECT_EQ(int64_t(Clock.TotalSlept()), std::llround((lastPTS - startPTS) / 1000.0));
}

TEST_F(RealDecoder, ScrubbingShowsAKeyFrameFirstAndEndsOnTheExactFrame) {
    auto* seeker = new TDecoderSeek;
    seeker->Decoder = &Decoder;
    seeker->Clock = &Clock;
    seeker->OnFrame = RecordFrames(Shown, nullptr, ReadIndex);
    seeker->Start();
    // The first key frame at or after the time, or the last one before it near the end, then
    // the exact frame.
    const std::vector<std::vector<int>> scrubs = {{100, 77}, {50, 12}, {100, 149}, {100, 50}};
    for (const std::vector<int>& expected : scrubs) {
        const int target = expected.back();
        SCOPED_TRACE(target);
        Shown.clear();
        seeker->RequestSeek(fixture::NominalPts(Clip(), target) + 1000);
        ASSERT_TRUE(
            WaitFor([this, target] { return !Shown.empty() && Shown.back().Index == target; }));
        EXPECT_EQ(Indexes(Shown), expected);
    }
    // Exactly on a key frame: the near picture is already the exact one and is shown once. The
    // worker has polled twice more once the request is done with.
    Shown.clear();
    const size_t polls = Clock.Sleeps().size();
    seeker->RequestSeek(fixture::NominalPts(Clip(), 50));
    ASSERT_TRUE(WaitFor([this, polls] { return Clock.Sleeps().size() >= polls + 2; }));
    EXPECT_EQ(Indexes(Shown), std::vector<int>{50});
    TSafeThread::SafeFree(seeker);
    EXPECT_THAT(Shown, Each(Field(&TShownFrame::OnMainThread, true)));
}
