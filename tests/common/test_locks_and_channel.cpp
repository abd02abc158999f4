#include "common/InstanceChannel.h"
#include "common/Messages.h"
#include "common/NamedLock.h"
#include "tests/support/TestUtils.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QLocalSocket>
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
    // The waiter does not get the lock while it is held: no acquiring comes within a moment.
    EXPECT_FALSE(WaitFor([&] { return acquired.load(); }, 100));
    holder.Unlock();
    waiter.join();
    EXPECT_TRUE(acquired.load());
}

namespace {
class TMessageRecorder : public QObject {
public:
    bool event(QEvent* event) override {
        if (auto* message = dynamic_cast<TMessageEvent*>(event)) {
            Received.push_back(
                {message->Message(), message->WParam, message->LParam, message->Text});
            return true;
        }
        return QObject::event(event);
    }
    struct TEntry {
        int Message;
        qint64 WParam, LParam;
        QString Text;
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
        PostToRunningInstance(QStringLiteral("Some Title"), 0x1234, 7, -9,
                              QStringLiteral("/home/jörg/Videos/a clip #1.mp4"));
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
    EXPECT_TRUE(recorder.Received[0].Text.isEmpty());
    EXPECT_EQ(recorder.Received[1].Text, QStringLiteral("/home/jörg/Videos/a clip #1.mp4"));
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

namespace {
// Writes the bytes to the server in pieces of `piece` bytes, each flushed on its own.
void WriteInPieces(const QString& path, const QByteArray& bytes, int piece) {
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(2000))
        return;
    for (int at = 0; at < bytes.size(); at += piece) {
        socket.write(bytes.mid(at, piece));
        socket.waitForBytesWritten(2000);
        socket.flush();
    }
    socket.disconnectFromServer();
}

QByteArray Packet(quint32 magic, qint32 message, const QByteArray& text) {
    QByteArray packet;
    QDataStream out(&packet, QIODevice::WriteOnly);
    out << magic << message << qint64(1) << qint64(2) << quint32(text.size());
    return packet + text;
}
} // namespace

TEST(InstanceChannel, PacketsArriveWholeHoweverTheBytesAreCutAndGarbageIsDropped) {
    TScopedUserFolders folders;
    TMessageRecorder recorder;
    TInstanceServer server(QStringLiteral("Title G"), &recorder);
    ASSERT_TRUE(server.Listen());
    const QByteArray path = QByteArray("/tmp/") + QByteArray(3000, 'v') + ".mkv";
    std::thread senders([&] {
        // Garbage, then a packet whose text claims more than a path can be: both dropped.
        WriteInPieces(server.SocketPath(), QByteArray(64, 'z'), 64);
        WriteInPieces(server.SocketPath(),
                      Packet(0x51564732, 7, QByteArray(8, 'x')).left(24) +
                          QByteArray::fromHex("7fffffff"),
                      64);
        // Two packets, the first one's text cut across many small writes.
        WriteInPieces(server.SocketPath(),
                      Packet(0x51564732, 8, path) + Packet(0x51564732, 9, QByteArray()), 7);
    });
    ASSERT_TRUE(WaitFor([&] { return recorder.Received.size() >= 2; }));
    senders.join();
    QCoreApplication::processEvents();
    ASSERT_EQ(recorder.Received.size(), 2u);
    EXPECT_EQ(recorder.Received[0].Message, 8);
    EXPECT_EQ(recorder.Received[0].Text, QString::fromLatin1(path));
    EXPECT_EQ(recorder.Received[1].Message, 9);
    EXPECT_EQ(recorder.Received[1].LParam, 2);
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
