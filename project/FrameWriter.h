#pragma once
// Writes frame pictures to their files on a thread of its own, so the frame strip fills while the
// disk catches up. Until a picture is on disk it stays in memory, where readers find it
// (`Picture`); it leaves memory only after its file is complete, so a reader that misses it in
// memory finds the file. The pictures waiting are bounded in bytes: when the disk falls that far
// behind, queuing waits for it.
//
// The work folder is kept under a budget: once the pictures written pass it, the oldest ones that
// are not kept (the strip's and the still view's) are removed, and their frames are made again
// from the video when they are needed (`IsGone`). A picture that cannot be written (a full disk)
// stays in memory, up to a bound, and is written again once a later picture could be.

#include <QHash>
#include <QImage>
#include <QSet>
#include <QString>
#include <QStringList>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

class TFrameWriter {
public:
    explicit TFrameWriter(size_t maxPendingBytes = size_t(256) << 20,
                          size_t maxHeldBytes = size_t(256) << 20);
    ~TFrameWriter();
    TFrameWriter(const TFrameWriter&) = delete;
    TFrameWriter& operator=(const TFrameWriter&) = delete;

    // Queues the picture for `fileName`. Waits while the pictures already waiting exceed the
    // bound. After Stop the picture is dropped.
    void Enqueue(const QImage& picture, const QString& fileName);
    // The picture of `fileName` from memory, or from its file once written. Thread-safe.
    QImage Picture(const QString& fileName) const;
    // True while the picture of `fileName` waits in memory. Thread-safe.
    bool IsPending(const QString& fileName) const;
    // Waits until every queued picture is written (or failed).
    void Flush();
    // Drops the pictures still waiting (their files are never created), waits for the one being
    // written and ends the thread. Idempotent.
    void Stop();
    // Pictures that could not be written (a full disk); their files do not exist.
    int Failures() const;

    // The most bytes of pictures the work folder holds (0: no bound).
    void SetBudget(qint64 bytes);
    // 1 GB, or a tenth of the free space of `folder`'s disk when that is less.
    static qint64 DefaultBudget(const QString& folder);
    // The pictures that must stay on disk whatever the budget: those the window shows. Pictures
    // queued since the last call stay too, until the next one.
    void SetKept(const QStringList& fileNames);
    // True when the picture of `fileName` is neither in memory nor on disk any more (removed to
    // keep within the budget, or never written and let go from memory): the frame must be made
    // again from the video. Queuing it again brings it back.
    bool IsGone(const QString& fileName) const;
    // The bytes of the pictures on disk now.
    qint64 WrittenBytes() const;
    // Called on the writer's thread when a picture cannot be written after the ones before could
    // (once for a full disk, until a picture is written again), with the folder.
    void SetWriteFailedHandler(std::function<void(const QString& folder)> handler);

private:
    void Run();
    void Written(const QString& fileName, qint64 bytes);
    void Held(const QString& fileName, const QImage& picture);
    void LetGoOfHeld();
    void KeepWithinBudget();
    bool IsProtected(const QString& fileName) const;

    mutable std::mutex FLock; // guards everything below
    std::condition_variable FChanged;
    std::deque<QString> FQueue;
    // Pictures waiting to be written, and those held after a failed write.
    QHash<QString, QImage> FPending;
    size_t FPendingBytes = 0;
    size_t FMaxPendingBytes;
    std::deque<QString> FHeld; // oldest first
    size_t FHeldBytes = 0;
    size_t FMaxHeldBytes;
    // The pictures on disk, oldest first, with their sizes.
    std::map<quint64, QString> FWrittenOrder;
    QHash<QString, std::pair<quint64, qint64>> FWritten;
    quint64 FNextOrder = 0;
    qint64 FWrittenBytes = 0;
    qint64 FBudget = 0;
    QSet<QString> FKept, FFresh, FGone;
    bool FWriting = false;
    bool FStopped = false;
    bool FFailing = false;
    int FFailures = 0;
    std::function<void(const QString&)> FOnWriteFailed;
    std::thread FThread;
};
