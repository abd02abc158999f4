// The seek worker against a fake decoder: the three landing attempts, the exact frame after the
// near one, newest request first, and freeing it while it waits for the main thread.

#include "FakeClock.h"
#include "FakeDecoder.h"
#include "PlaybackTestUtils.h"
#include "playback/DecodePlayer.h"
#include "tests/support/TestUtils.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr int64_t FrameStep = 40000; // 25 frames a second, a key frame every 10 frames

struct TSeekRig {
    TSeekRig() : Decoder(EvenFrames(100, FrameStep, 10)) {
        Thread = new TDecoderSeek;
        Thread->Decoder = &Decoder;
        Thread->Clock = &Clock;
        Thread->OnFrame = RecordFrames(Shown, nullptr, FakeFrameIndex);
    }
    ~TSeekRig() { TSafeThread::SafeFree(Thread); }

    // Serves hand-overs until the worker has polled for work twice more: every request made
    // before the call has then been dealt with.
    bool WaitIdle() {
        const size_t polls = Clock.Sleeps().size();
        return WaitFor([this, polls] { return Clock.Sleeps().size() >= polls + 2; });
    }

    // The decoder calls of one kind ("seek", "locate") with their arguments.
    QStringList CallsOf(const QString& kind) const {
        return Decoder.Calls().filter(
            QRegularExpression(QStringLiteral("^%1 -?\\d+( \\d+)?$").arg(kind)));
    }

    TFakeDecoder Decoder;
    TFakeClock Clock;
    std::vector<TShownFrame> Shown;
    TDecoderSeek* Thread = nullptr;
};

struct TNearCase {
    std::set<uint32_t> Failing;
    std::vector<int> TriedFlags;
    std::vector<int> Shown;
};

} // namespace

TEST(SeekNear, EachLandingAttemptIsMadeOnlyWhenTheOneBeforeFailed) {
    // 1,010,000 lies within frame 25; the key frames around it are 20 and 30.
    const int64_t pts = 25 * FrameStep + 10000;
    const std::vector<TNearCase> cases = {
        {{}, {0}, {30, 25}},        // first key frame at or after, then the exact frame
        {{0}, {0, 1}, {20, 25}},    // last key frame at or before
        {{0, 1}, {0, 1, 4}, {25}},  // any frame: already the exact one, shown once
        {{0, 1, 4}, {0, 1, 4}, {}}, // nothing lands: nothing shown, no locate
    };
    for (const TNearCase& near : cases) {
        SCOPED_TRACE(testing::Message() << "failing flag sets " << near.Failing.size());
        TSeekRig rig;
        rig.Decoder.FailingSeekFlags = near.Failing;
        rig.Thread->Start();
        rig.Thread->RequestSeek(pts);
        ASSERT_TRUE(rig.WaitIdle());

        QStringList tried;
        for (int flags : near.TriedFlags)
            tried << QStringLiteral("seek %1 %2").arg(pts).arg(flags);
        EXPECT_EQ(rig.CallsOf(QStringLiteral("seek")), tried);
        EXPECT_THAT(Indexes(rig.Shown), ElementsAreArray(near.Shown));
        EXPECT_EQ(rig.CallsOf(QStringLiteral("locate")).size(), near.Shown.empty() ? 0 : 1);
        for (const TShownFrame& frame : rig.Shown)
            EXPECT_TRUE(frame.OnMainThread);
    }
}

TEST(SeekExact, AnExactFrameEqualToTheKeyFrameIsShownOnce) {
    TSeekRig rig;
    rig.Thread->Start();
    rig.Thread->RequestSeek(40 * FrameStep);
    ASSERT_TRUE(rig.WaitIdle());
    EXPECT_THAT(Indexes(rig.Shown), ElementsAre(40));
    EXPECT_EQ(rig.CallsOf(QStringLiteral("locate")),
              QStringList{QStringLiteral("locate %1").arg(40 * FrameStep)});
    EXPECT_EQ(rig.Shown[0].PTS, 40 * FrameStep);
}

TEST(SeekQueue, TwentyRequestsDuringOneLocateGiveOneMoreLocateOnlyForTheLast) {
    TSeekRig rig;
    rig.Decoder.HoldLocates = true;
    rig.Thread->Start();
    const int64_t first = 25 * FrameStep;
    rig.Thread->RequestSeek(first);
    // The near frame of the first request is shown, then its locate waits at the gate.
    ASSERT_TRUE(WaitFor([&rig] { return rig.Decoder.LocatesEntered() == 1; }));
    int64_t last = 0;
    for (int i = 1; i <= 20; ++i) {
        last = (50 + i) * FrameStep + 1000;
        rig.Thread->RequestSeek(last);
    }
    rig.Decoder.OpenGate();
    ASSERT_TRUE(rig.WaitIdle());

    // The held locate was abandoned at its first question; only the newest request came next.
    EXPECT_EQ(rig.CallsOf(QStringLiteral("locate")),
              (QStringList{QStringLiteral("locate %1").arg(first),
                           QStringLiteral("locate %1").arg(last)}));
    EXPECT_TRUE(rig.Decoder.Calls().contains(QStringLiteral("locate %1 abandoned").arg(first)));
    EXPECT_EQ(rig.CallsOf(QStringLiteral("seek")),
              (QStringList{QStringLiteral("seek %1 0").arg(first),
                           QStringLiteral("seek %1 0").arg(last)}));
    // Frame 30 for the first request, then key frame 80 and exact frame 70 for the last.
    EXPECT_THAT(Indexes(rig.Shown), ElementsAre(30, 80, 70));
}

TEST(SeekQueue, ANewerRequestStopsTheOlderOneBetweenAttemptsAndBeforeItsPictureIsShown) {
    const int64_t older = 25 * FrameStep + 10000;
    const int64_t newer = 63 * FrameStep;
    for (const bool firstAttemptFails : {false, true}) {
        SCOPED_TRACE(firstAttemptFails ? "first attempt fails" : "first attempt lands");
        TSeekRig rig;
        if (firstAttemptFails)
            rig.Decoder.FailingSeekFlags = {0};
        // The newer request arrives while the older one's first seek runs.
        bool requested = false;
        rig.Decoder.OnSeek = [&](int64_t pts, TSeekFlags) {
            if (pts == older && !requested) {
                requested = true;
                rig.Thread->RequestSeek(newer);
            }
        };
        rig.Thread->Start();
        rig.Thread->RequestSeek(older);
        ASSERT_TRUE(rig.WaitIdle());

        const QStringList seeks = rig.CallsOf(QStringLiteral("seek"));
        EXPECT_EQ(seeks.filter(QString::number(older)).size(), 1);
        EXPECT_EQ(rig.CallsOf(QStringLiteral("locate")),
                  QStringList{QStringLiteral("locate %1").arg(newer)});
        // Only the newer request's pictures: its key frame (70 after, 60 before), then frame 63.
        EXPECT_THAT(Indexes(rig.Shown), ElementsAre(firstAttemptFails ? 60 : 70, 63));
    }
}

TEST(SeekFree, FreeingTheWorkerWhileItWaitsInAHandOverFinishesWithoutShowingIt) {
    TSeekRig rig;
    rig.Thread->Start();
    rig.Thread->RequestSeek(25 * FrameStep);
    ASSERT_TRUE(SpinUntil([&rig] { return rig.Thread->WaitingInHandOver(); }));
    // More requests pile up meanwhile; they go with the worker.
    rig.Thread->RequestSeek(30 * FrameStep);
    TSafeThread::SafeFree(rig.Thread);
    QCoreApplication::processEvents();

    EXPECT_THAT(rig.Shown, IsEmpty());
    EXPECT_THAT(rig.CallsOf(QStringLiteral("locate")), IsEmpty());
}
