#pragma once
// Writes frame pictures to their files on a thread of its own, so the frame strip fills while the
// disk catches up. Until a picture is on disk it stays in memory, where readers find it
// (`Picture`); it leaves memory only after its file is complete, so a reader that misses it in
// memory finds the file. The pictures waiting are bounded in bytes: when the disk falls that far
// behind, queuing waits for it.

#include <QHash>
#include <QImage>
#include <QString>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>

class TFrameWriter {
public:
    explicit TFrameWriter(size_t maxPendingBytes = size_t(256) << 20);
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

private:
    void Run();

    mutable std::mutex FLock; // guards everything below
    std::condition_variable FChanged;
    std::deque<QString> FQueue;
    QHash<QString, QImage> FPending;
    size_t FPendingBytes = 0;
    size_t FMaxPendingBytes;
    bool FWriting = false;
    bool FStopped = false;
    int FFailures = 0;
    std::thread FThread;
};
