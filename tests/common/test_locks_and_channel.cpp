#include "common/InstanceChannel.h"
#include "common/Messages.h"
#include "common/NamedLock.h"
#include "tests/support/TestUtils.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>
#include <thread>

TEST(NamedLock, OnlyOneHolderAtATimeAndFreedOnRelease) {
    TScopedUserFolders folders;
    TNamedLock first(QStringLiteral("MX_TEST_EXE"));
    TNamedLock second(QStringLiteral("MX_TEST_EXE"));
    TNamedLock other(QStringLiteral("MX_TEST_OTHER"));
    ASSERT_TRUE(first.TryLock());
    EXPECT_TRUE(first.FileName().startsWith(folders.RuntimeDir()));
    EXPECT_FALSE(second.TryLock());
    EXPECT_TRUE(other.TryLock());
    first.Unlock();
    EXPECT_TRUE(second.TryLock());
}

TEST(NamedLock, ABlockingLockWaitsForTheHolder) {
    TScopedUserFolders folders;
    TNamedLock holder(QStringLiteral("MX_TEST_Log"));
    ASSERT_TRUE(holder.Lock());
    std::atomic<bool> acquired{false};
    std::thread waiter([&] {
        TNamedLock lock(QStringLiteral("MX_TEST_Log"));
        acquired = lock.Lock();
    });
    QThread::msleep(100);
    EXPECT_FALSE(acquired.load());
    holder.Unlock();
    waiter.join();
    EXPECT_TRUE(acquired.load());
}

namespace {
class TMessageRecorder : public QObject {
public:
    bool event(QEvent* event) override {
        if (auto* message = dynamic_cast<TMessageEvent*>(event)) {
            Received.push_back({message->Message(), message->WParam, message->LParam});
            return true;
        }
        return QObject::event(event);
    }
    struct TEntry {
        int Message;
        qint64 WParam, LParam;
    };
    std::vector<TEntry> Received;
};
} // namespace

TEST(InstanceChannel, CarriesTheMessageAndItsParametersToTheReceiver) {
    TScopedUserFolders folders;
    TMessageRecorder recorder;
    TInstanceServer server(QStringLiteral("Some Title"), &recorder);
    ASSERT_TRUE(server.Listen());
    EXPECT_TRUE(server.SocketPath().startsWith(folders.RuntimeDir()));
    std::atomic<bool> sent{false};
    std::thread second([&] {
        sent = PostToRunningInstance(QStringLiteral("Some Title"), Msg::InstanceStarted, 0, 0);
        PostToRunningInstance(QStringLiteral("Some Title"), 0x1234, 7, -9);
    });
    ASSERT_TRUE(WaitFor([&] { return recorder.Received.size() == 2; }));
    second.join();
    EXPECT_TRUE(sent.load());
    EXPECT_EQ(recorder.Received[0].Message, Msg::InstanceStarted);
    EXPECT_EQ(recorder.Received[0].WParam, 0);
    EXPECT_EQ(recorder.Received[0].LParam, 0);
    EXPECT_EQ(recorder.Received[1].Message, 0x1234);
    EXPECT_EQ(recorder.Received[1].WParam, 7);
    EXPECT_EQ(recorder.Received[1].LParam, -9);
}

TEST(InstanceChannel, ADifferentTitleOrNoListenerReachesNobodyQuickly) {
    TScopedUserFolders folders;
    TMessageRecorder recorder;
    TInstanceServer server(QStringLiteral("Title A"), &recorder);
    ASSERT_TRUE(server.Listen());
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(PostToRunningInstance(QStringLiteral("Title B"), Msg::InstanceStarted, 0, 0));
    EXPECT_LT(timer.elapsed(), 1500);
    QCoreApplication::processEvents();
    EXPECT_TRUE(recorder.Received.empty());
}

TEST(InstanceChannel, GarbageOnTheSocketIsDropped) {
    TScopedUserFolders folders;
    TMessageRecorder recorder;
    TInstanceServer server(QStringLiteral("Title G"), &recorder);
    ASSERT_TRUE(server.Listen());
    std::thread intruder([&] {
        QLocalSocket socket;
        socket.connectToServer(server.SocketPath());
        if (socket.waitForConnected(2000)) {
            socket.write(QByteArray(64, 'z'));
            socket.waitForBytesWritten(2000);
            socket.disconnectFromServer();
        }
    });
    intruder.join();
    QTest::qWait(200);
    EXPECT_TRUE(recorder.Received.empty());
}

TEST(Messages, CheckPostMessagePostsOnlyToALiveReceiver) {
    QPointer<QObject> target;
    EXPECT_FALSE(CheckPostMessage(target, Msg::ConvertProgress, 50, 0));
    auto* recorder = new TMessageRecorder;
    target = recorder;
    EXPECT_TRUE(CheckPostMessage(target, Msg::ConvertError, 0, 0, QStringLiteral("text")));
    QCoreApplication::processEvents();
    ASSERT_EQ(recorder->Received.size(), 1u);
    EXPECT_EQ(recorder->Received[0].Message, Msg::ConvertError);
    delete recorder;
    EXPECT_FALSE(CheckPostMessage(target, Msg::ConvertProgress, 50, 0));
}
