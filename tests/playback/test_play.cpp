// The playback worker against a fake decoder and a fake clock: pacing by time stamps, the tick
// wrap, sleeping in slices, stopping, the end of the stream, and freeing in every state.

#include "FakeClock.h"
#include "FakeDecoder.h"
#include "PlaybackTestUtils.h"
#include "playback/DecodePlayer.h"
#include "tests/support/TestUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>

namespace {

using ::testing::ElementsAre;

// A play thread wired to a fake decoder, a fake clock and a recording window.
struct TPlayRig {
    explicit TPlayRig(std::vector<TFakeFrame> frames, uint32_t startTick = 1000)
        : Decoder(std::move(frames)), Clock(startTick), Sink(&Order) {
        Thread = new TDecodePlayThread;
        Thread->Decoder = &Decoder;
        Thread->Clock = &Clock;
        Thread->OnFrame = RecordFrames(Shown, &Order, FakeFrameIndex);
        Thread->EndMessage = Msg::PlayEnded;
        Thread->NotifyWindow = &Sink;
    }
    ~TPlayRig() { TSafeThread::SafeFree(Thread); }

    // Runs the event loop until the worker has ended, then delivers what it posted.
    bool RunToEnd() {
        const bool ended = WaitFor([this] { return Thread->Finished(); });
        QCoreApplication::processEvents();
        return ended;
    }

    TFakeDecoder Decoder;
    TFakeClock Clock;
    QStringList Order;
    TMessageSink Sink;
    std::vector<TShownFrame> Shown;
    TDecodePlayThread* Thread = nullptr;
};

// Frames `ms` milliseconds after the first (the first at 5 s, as after a locate into a file).
std::vector<TFakeFrame> FramesAtMs(std::initializer_list<double> ms) {
    std::vector<TFakeFrame> frames;
    for (double at : ms)
        frames.push_back({5000000 + int64_t(at * 1000), frames.empty()});
    return frames;
}

int OpenDescriptors() {
    return int(QDir(QStringLiteral("/proc/self/fd")).count());
}

} // namespace

TEST(PlayPacing, EachFrameWaitsForItsTimeCountedFromTheFirstAndLateFramesAreNotSkipped) {
    TPlayRig rig(FramesAtMs({0, 40, 80, 120, 160, 200}));
    std::vector<uint32_t> ticksShown;
    auto record = rig.Thread->OnFrame;
    rig.Thread->OnFrame = [&](TCustomDecoder* decoder, QImage& picture) {
        record(decoder, picture);
        ticksShown.push_back(rig.Clock.TickCount() - 1000);
        if (rig.Shown.size() == 3)
            rig.Clock.Advance(100); // the window took long over frame 2: frames 3 and 4 are late
    };
    ASSERT_TRUE(rig.Thread->LocateAndStart(5000000));
    EXPECT_EQ(rig.Thread->StartPTS, 5000000);
    ASSERT_TRUE(rig.RunToEnd());

    EXPECT_THAT(Indexes(rig.Shown), ElementsAre(0, 1, 2, 3, 4, 5));
    EXPECT_THAT(rig.Clock.Sleeps(), ElementsAre(40u, 40u, 20u));
    EXPECT_THAT(ticksShown, ElementsAre(0u, 40u, 80u, 180u, 180u, 200u));
    for (const TShownFrame& frame : rig.Shown)
        EXPECT_TRUE(frame.OnMainThread);
    EXPECT_EQ(rig.Thread->GetLastPTS(), 5200000);
}

TEST(PlayPacing, AWrapOfTheTickCounterDoesNoHarm) {
    // The counter passes 2^32 between the first and the second frame.
    TPlayRig rig(FramesAtMs({0, 40, 80, 120}), 0xFFFFFFF0u);
    ASSERT_TRUE(rig.Thread->LocateAndStart(0));
    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_THAT(Indexes(rig.Shown), ElementsAre(0, 1, 2, 3));
    EXPECT_THAT(rig.Clock.Sleeps(), ElementsAre(40u, 40u, 40u));
}

TEST(PlayPacing, LongWaitsSleepInSlicesOfAtMost100MsAndDueTimesRoundToMilliseconds) {
    // 350.5 ms rounds up to 351; 351.4 ms rounds to 351 (due now); 351.6 ms to 352.
    TPlayRig rig(FramesAtMs({0, 350.5, 351.4, 351.6}));
    ASSERT_TRUE(rig.Thread->LocateAndStart(0));
    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_THAT(Indexes(rig.Shown), ElementsAre(0, 1, 2, 3));
    EXPECT_THAT(rig.Clock.Sleeps(), ElementsAre(100u, 100u, 100u, 51u, 1u));
}

TEST(PlayStop, AStopDuringALongWaitEndsAfterTheCurrentSliceWithoutShowingThePendingFrame) {
    TPlayRig rig(FramesAtMs({0, 10000, 10040}));
    rig.Clock.OnSlept = [&rig](uint32_t tick) {
        if (tick - 1000 >= 3050)
            rig.Thread->Terminate();
    };
    ASSERT_TRUE(rig.Thread->LocateAndStart(0));
    ASSERT_TRUE(rig.RunToEnd());

    EXPECT_THAT(Indexes(rig.Shown), ElementsAre(0));
    EXPECT_EQ(rig.Thread->GetLastPTS(), 5000000);
    // Slices of 100 ms; the stop came in the slice ending at 3100 ms and no sleep followed.
    for (uint32_t slice : rig.Clock.Sleeps())
        EXPECT_EQ(slice, 100u);
    EXPECT_EQ(rig.Clock.TotalSlept(), 3100u);
    EXPECT_TRUE(rig.Sink.Messages.empty());
    // The decoder stays on the frame after the last one shown: no decode after the stop.
    EXPECT_EQ(rig.Decoder.CountCalls(QStringLiteral("decode")), 1);
}

TEST(PlayEnd, TheLastFrameIsShownAndTheEndMessageFollowsOnce) {
    TPlayRig rig(FramesAtMs({0, 40, 80}));
    ASSERT_TRUE(rig.Thread->LocateAndStart(0));
    ASSERT_TRUE(rig.RunToEnd());

    EXPECT_THAT(rig.Order, ElementsAre("frame 0", "frame 1", "frame 2",
                                       QStringLiteral("message %1").arg(Msg::PlayEnded)));
    ASSERT_EQ(rig.Sink.Messages.size(), 1u);
    EXPECT_EQ(rig.Sink.Messages[0].WParam, 0);
    EXPECT_EQ(rig.Sink.Messages[0].LParam, 0);
    // Three decodes moved through the stream; the fourth found its end.
    EXPECT_EQ(rig.Decoder.CountCalls(QStringLiteral("decode")), 3);
}

TEST(PlayStart, AFailedLocateShowsNothingPostsNothingAndTheIdleThreadIsFreed) {
    TPlayRig rig(FramesAtMs({0, 40, 80}));
    rig.Decoder.FailLocate = true;
    EXPECT_FALSE(rig.Thread->LocateAndStart(0));
    EXPECT_FALSE(rig.Thread->Started());
    QCoreApplication::processEvents();
    TSafeThread::SafeFree(rig.Thread);
    QCoreApplication::processEvents();

    EXPECT_EQ(rig.Thread, nullptr);
    EXPECT_TRUE(rig.Shown.empty());
    EXPECT_TRUE(rig.Sink.Messages.empty());
    EXPECT_THAT(rig.Decoder.Calls(), ElementsAre("locate 0", "locate 0 failed"));
}

TEST(PlayStart, PlaybackStartsAtTheFrameTheLocateFound) {
    TPlayRig rig(FramesAtMs({0, 40, 80, 120}));
    // 90 ms after the first frame lies within frame 2.
    ASSERT_TRUE(rig.Thread->LocateAndStart(5090000));
    EXPECT_EQ(rig.Thread->StartPTS, 5080000);
    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_THAT(Indexes(rig.Shown), ElementsAre(2, 3));
    EXPECT_THAT(rig.Clock.Sleeps(), ElementsAre(40u));
}

TEST(PlayFree, FreeingTheWorkerWhileItWaitsInAHandOverFinishesWithoutShowingIt) {
    TPlayRig rig(FramesAtMs({0, 40, 80}));
    ASSERT_TRUE(rig.Thread->LocateAndStart(0));
    // The event loop does not run here, so the first hand-over cannot be served.
    ASSERT_TRUE(SpinUntil([&rig] { return rig.Thread->WaitingInHandOver(); }));
    TSafeThread::SafeFree(rig.Thread);
    QCoreApplication::processEvents();

    EXPECT_TRUE(rig.Shown.empty());
    EXPECT_TRUE(rig.Sink.Messages.empty());
    EXPECT_EQ(rig.Decoder.CountCalls(QStringLiteral("decode")), 0);
}

TEST(Workers, AThousandStartsAndStopsOfEachLeaveNoThreadDescriptorOrCallbackBehind) {
    // As the window does it: a playback worker, then a seek worker in its place, and again.
    auto token = std::make_shared<int>(0);
    TFakeDecoder decoder(EvenFrames(50, 40000, 10));
    TFakeClock clock;
    const int descriptorsBefore = OpenDescriptors();
    for (int round = 0; round < 1000; ++round) {
        auto* player = new TDecodePlayThread;
        player->Decoder = &decoder;
        player->Clock = &clock;
        player->OnFrame = [token](TCustomDecoder*, QImage&) {};
        ASSERT_TRUE(player->LocateAndStart(0));
        // Every other round the hand-overs get served for a moment; the rest are stopped while
        // the worker waits for the main thread.
        if (round % 2 == 0)
            QCoreApplication::processEvents();
        TSafeThread::SafeFree(player);

        auto* seeker = new TDecoderSeek;
        seeker->Decoder = &decoder;
        seeker->Clock = &clock;
        seeker->OnFrame = [token](TCustomDecoder*, QImage&) {};
        seeker->Start();
        seeker->RequestSeek(40000 * (round % 50));
        if (round % 2 == 1)
            QCoreApplication::processEvents();
        seeker->RequestSeek(40000 * (49 - round % 50));
        TSafeThread::SafeFree(seeker);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(OpenDescriptors(), descriptorsBefore);
    EXPECT_EQ(token.use_count(), 1);
}
