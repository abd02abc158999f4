#include "project/FrameWriter.h"

#include "common/Bitmaps.h"
#include "common/Log.h"

#include <QFile>

TFrameWriter::TFrameWriter(size_t maxPendingBytes)
    : FMaxPendingBytes(maxPendingBytes), FThread([this] { Run(); }) {}

TFrameWriter::~TFrameWriter() {
    Stop();
}

void TFrameWriter::Enqueue(const QImage& picture, const QString& fileName) {
    std::unique_lock<std::mutex> lock(FLock);
    // One picture larger than the bound still goes through once the queue is empty.
    FChanged.wait(lock, [this] {
        return FStopped || FPendingBytes < FMaxPendingBytes || FPending.isEmpty();
    });
    if (FStopped)
        return;
    FPending.insert(fileName, picture);
    FPendingBytes += size_t(picture.sizeInBytes());
    FQueue.push_back(fileName);
    FChanged.notify_all();
}

QImage TFrameWriter::Picture(const QString& fileName) const {
    {
        const std::lock_guard<std::mutex> lock(FLock);
        const auto found = FPending.constFind(fileName);
        if (found != FPending.constEnd())
            return *found;
    }
    return QImage(fileName);
}

bool TFrameWriter::IsPending(const QString& fileName) const {
    const std::lock_guard<std::mutex> lock(FLock);
    return FPending.contains(fileName);
}

void TFrameWriter::Flush() {
    std::unique_lock<std::mutex> lock(FLock);
    FChanged.wait(lock, [this] { return FStopped || (FQueue.empty() && !FWriting); });
}

void TFrameWriter::Stop() {
    {
        const std::lock_guard<std::mutex> lock(FLock);
        if (FStopped && !FThread.joinable())
            return;
        FStopped = true;
        FQueue.clear();
        FChanged.notify_all();
    }
    if (FThread.joinable())
        FThread.join();
    const std::lock_guard<std::mutex> lock(FLock);
    FPending.clear();
    FPendingBytes = 0;
}

int TFrameWriter::Failures() const {
    const std::lock_guard<std::mutex> lock(FLock);
    return FFailures;
}

void TFrameWriter::Run() {
    std::unique_lock<std::mutex> lock(FLock);
    for (;;) {
        FChanged.wait(lock, [this] { return FStopped || !FQueue.empty(); });
        if (FStopped)
            return;
        const QString fileName = FQueue.front();
        FQueue.pop_front();
        const QImage picture = FPending.value(fileName);
        FWriting = true;
        lock.unlock();
        const bool written = SaveBitmapFile(picture, fileName);
        if (!written) {
            QFile::remove(fileName);
            MsgOut(QStringLiteral("cannot write frame picture ") + fileName);
        }
        lock.lock();
        FWriting = false;
        if (!written)
            ++FFailures;
        // Only now may readers go to the file.
        FPending.remove(fileName);
        FPendingBytes -= size_t(picture.sizeInBytes());
        FChanged.notify_all();
    }
}
