// The worker thread base: suspended creation, the hand-over to the main thread, termination, and
// the free step that must get a worker out of a hand-over nobody will serve.

#include "common/SafeThread.h"
#include "tests/support/TestUtils.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <thread>

namespace {

// What a probe saw, kept outside the probe so it can be read after the probe is freed.
struct TProbeRecord {
    std::atomic<int> BodyRuns{0};
    std::atomic<bool> BodyEnded{false};
    int Destroyed = 0; // SafeDestroy calls (main thread)
    bool EndedBeforeDestroy = false;
};

class TProbeThread : public TSafeThread {
public:
    explicit TProbeThread(std::shared_ptr<TProbeRecord> record) : Record(std::move(record)) {}
    ~TProbeThread() override { TerminateAndWait(); }

    using TSafeThread::Synchronize;
    std::function<void(TProbeThread&)> Body;
    std::shared_ptr<TProbeRecord> Record;

protected:
    void Execute() override {
        ++Record->BodyRuns;
        if (Body)
            Body(*this);
        Record->BodyEnded = true;
    }
    void SafeDestroy() override {
        ++Record->Destroyed;
        Record->EndedBeforeDestroy = !Started() || Finished();
        TSafeThread::SafeDestroy();
    }
};

// Waits without running the event loop, so no hand-over is served meanwhile.
bool SpinUntil(const std::function<bool()>& condition) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > 10000)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return true;
}

// Runs the event loop until `condition` holds, without the pauses of the usual wait.
bool ServeUntil(const std::function<bool()>& condition) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > 10000)
            return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    return true;
}

} // namespace

TEST(SafeThread, ANeverStartedThreadIsFreedWithoutRunningItsBody) {
    auto record = std::make_shared<TProbeRecord>();
    auto* thread = new TProbeThread(record);
    EXPECT_FALSE(thread->Started());
    TSafeThread::SafeFree(thread);
    EXPECT_EQ(thread, nullptr);
    EXPECT_EQ(record->BodyRuns, 0);
    EXPECT_EQ(record->Destroyed, 1);
    EXPECT_TRUE(record->EndedBeforeDestroy);
}

TEST(SafeThread, StartRunsTheBodyOnceAndNotAtAllAfterTermination) {
    auto record = std::make_shared<TProbeRecord>();
    auto* thread = new TProbeThread(record);
    thread->Start();
    thread->Start();
    ASSERT_TRUE(WaitFor([thread] { return thread->Finished(); }));
    TSafeThread::SafeFree(thread);
    EXPECT_EQ(record->BodyRuns, 1);

    auto late = std::make_shared<TProbeRecord>();
    auto* stopped = new TProbeThread(late);
    stopped->Terminate();
    stopped->Start();
    EXPECT_FALSE(stopped->Started());
    TSafeThread::SafeFree(stopped);
    EXPECT_EQ(late->BodyRuns, 0);
    EXPECT_EQ(late->Destroyed, 1);
}

TEST(SafeThread, AHandOverRunsOnTheMainThreadWhileTheWorkerWaitsForIt) {
    auto record = std::make_shared<TProbeRecord>();
    auto* thread = new TProbeThread(record);
    int shared = 1; // the worker's data, touched by the main thread only inside the hand-over
    std::thread::id ranOn;
    int seenByMain = 0;
    int seenByWorkerAfter = 0;
    bool ran = false;
    thread->Body = [&](TProbeThread& self) {
        shared = 2;
        ran = self.Synchronize([&] {
            ranOn = std::this_thread::get_id();
            seenByMain = shared;
            shared = 3;
        });
        seenByWorkerAfter = shared;
    };
    thread->Start();
    ASSERT_TRUE(WaitFor([thread] { return thread->Finished(); }));
    TSafeThread::SafeFree(thread);

    EXPECT_TRUE(ran);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_EQ(seenByMain, 2);
    EXPECT_EQ(seenByWorkerAfter, 3);
}

TEST(SafeThread, AfterTerminationAHandOverReturnsAtOnceWithoutRunning) {
    auto record = std::make_shared<TProbeRecord>();
    auto* thread = new TProbeThread(record);
    std::atomic<bool> ran{false};
    std::atomic<int> result{-1};
    thread->Body = [&](TProbeThread& self) {
        while (!self.Terminated())
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        result = self.Synchronize([&] { ran = true; }) ? 1 : 0;
    };
    thread->Start();
    thread->Terminate();
    // No event loop runs: the worker must get through on its own.
    ASSERT_TRUE(SpinUntil([thread] { return thread->Finished(); }));
    QCoreApplication::processEvents();
    TSafeThread::SafeFree(thread);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(ran);
}

TEST(SafeThread, TerminationReleasesAWorkerWaitingInAHandOverWithoutRunningIt) {
    for (const bool byFree : {false, true}) {
        SCOPED_TRACE(byFree ? "freed" : "terminated");
        auto record = std::make_shared<TProbeRecord>();
        auto* thread = new TProbeThread(record);
        std::atomic<bool> ran{false};
        std::atomic<int> result{-1};
        thread->Body = [&](TProbeThread& self) {
            result = self.Synchronize([&] { ran = true; }) ? 1 : 0;
        };
        thread->Start();
        ASSERT_TRUE(SpinUntil([thread] { return thread->WaitingInHandOver(); }));
        if (byFree) {
            TSafeThread::SafeFree(thread);
        } else {
            thread->Terminate();
            ASSERT_TRUE(SpinUntil([thread] { return thread->Finished(); }));
        }
        // The wake-up the worker sent is still queued: serving it now must not run anything.
        QCoreApplication::processEvents();
        TSafeThread::SafeFree(thread);
        EXPECT_EQ(result, 0);
        EXPECT_FALSE(ran);
        EXPECT_EQ(record->Destroyed, 1);
        EXPECT_TRUE(record->EndedBeforeDestroy);
    }
}

TEST(SafeThread, AnErrorThrownByTheBodyEndsTheThreadAndItIsFreedNormally) {
    TScopedUserFolders folders; // the error goes to the log
    auto record = std::make_shared<TProbeRecord>();
    auto* thread = new TProbeThread(record);
    thread->Body = [](TProbeThread&) { throw std::runtime_error("broken"); };
    thread->Start();
    ASSERT_TRUE(WaitFor([thread] { return thread->Finished(); }));
    TSafeThread::SafeFree(thread);
    EXPECT_EQ(record->BodyRuns, 1);
    EXPECT_FALSE(record->BodyEnded);
    EXPECT_EQ(record->Destroyed, 1);
}

TEST(SafeThread, AWorkerMadeWhereNoEventLoopRunsGetsItsHandOversRefusedInsteadOfHanging) {
    TScopedUserFolders folders; // the refusal is logged
    auto record = std::make_shared<TProbeRecord>();
    std::atomic<int> result{-1};
    std::atomic<bool> ran{false};
    std::thread owner([&] {
        auto* thread = new TProbeThread(record);
        thread->Body = [&](TProbeThread& self) {
            result = self.Synchronize([&] { ran = true; }) ? 1 : 0;
        };
        thread->Start();
        TSafeThread::SafeFree(thread);
    });
    owner.join();
    EXPECT_EQ(record->BodyRuns, 1);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(ran);
}

TEST(SafeThread, TheUniquePointerDeleterFreesThroughTheSafeStep) {
    auto record = std::make_shared<TProbeRecord>();
    {
        std::unique_ptr<TProbeThread, TSafeThreadDeleter> thread(new TProbeThread(record));
        thread->Body = [](TProbeThread& self) {
            while (self.Synchronize([] {}))
                std::this_thread::yield();
        };
        thread->Start();
    }
    EXPECT_EQ(record->Destroyed, 1);
    EXPECT_TRUE(record->EndedBeforeDestroy);
}

TEST(SafeThread, StoppingWorkersThatHandOverWithoutPauseNeverHangsOrLosesCount) {
    // Each worker hands over as fast as it can; the main thread serves 0 to 3 and then frees it,
    // landing at every point of the hand-over in turn. Every hand-over that reported success ran
    // exactly once, and none ran after the free.
    int servedInAll = 0;
    for (int round = 0; round < 300; ++round) {
        auto record = std::make_shared<TProbeRecord>();
        auto* thread = new TProbeThread(record);
        int ranOnMain = 0;
        std::atomic<int> reported{0};
        thread->Body = [&](TProbeThread& self) {
            while (!self.Terminated())
                if (self.Synchronize([&] { ++ranOnMain; }))
                    ++reported;
        };
        thread->Start();
        const int toServe = round % 4;
        ASSERT_TRUE(ServeUntil([&ranOnMain, toServe] { return ranOnMain >= toServe; }));
        TSafeThread::SafeFree(thread);
        const int ranBeforeLateEvents = ranOnMain;
        QCoreApplication::processEvents();
        ASSERT_EQ(ranOnMain, reported.load());
        ASSERT_EQ(ranOnMain, ranBeforeLateEvents);
        ASSERT_EQ(record->Destroyed, 1);
        servedInAll += ranOnMain;
    }
    EXPECT_GT(servedInAll, 0);
}
